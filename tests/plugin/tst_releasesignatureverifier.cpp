#include "core/Failure.h"
#include "plugin/ReleaseSignatureVerifier.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// Runs the openssl command line as the vendor would; an empty result means it failed.
QByteArray openssl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

} // namespace

class tst_ReleaseSignatureVerifier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void verdicts_data();
    void verdicts();
    void buildWithoutKeysAcceptsAnything();

private:
    // Makes an Ed25519 key pair; returns the base64 raw public key the build option takes.
    QString makeKey(const QString &name);
    // Signs the release's canonical text (or the bare digest of archive.zip, the old form) with the
    // documented commands; base64 like the descriptor's.
    QString signRelease(const QString &keyName, bool bareDigest);

    QTemporaryDir m_dir;
    PluginRelease m_release;
};

void tst_ReleaseSignatureVerifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile archive(m_dir.filePath(QStringLiteral("archive.zip")));
    QVERIFY(archive.open(QIODevice::WriteOnly));
    const QByteArray content = QByteArray("PK\x03\x04 a release archive ").repeated(1000);
    archive.write(content);
    archive.close();
    m_release.version = QStringLiteral("1.4.2");
    m_release.fileName = QStringLiteral("CorvantaAnalysis_1.4.2.zip");
    m_release.sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    m_release.minManagerVersion = QStringLiteral("0.2.0");
    QVERIFY2(!makeKey(QStringLiteral("current")).isEmpty(), "openssl genpkey -algorithm ed25519 works");
}

QString tst_ReleaseSignatureVerifier::makeKey(const QString &name)
{
    const QString pem = m_dir.filePath(name + QStringLiteral(".pem"));
    if (!QFile::exists(pem) && openssl({"genpkey", "-algorithm", "ed25519", "-out", pem}).isNull()
        && !QFile::exists(pem))
        return {};
    // The DER form of an Ed25519 public key ends with the 32 raw bytes.
    const QByteArray der = openssl({"pkey", "-in", pem, "-pubout", "-outform", "DER"});
    return der.size() < 32 ? QString() : QString::fromLatin1(der.right(32).toBase64());
}

QString tst_ReleaseSignatureVerifier::signRelease(const QString &keyName, bool bareDigest)
{
    const QString message = m_dir.filePath(QStringLiteral("message"));
    QFile out(message);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(bareDigest ? openssl({"dgst", "-sha256", "-binary", m_dir.filePath(QStringLiteral("archive.zip"))})
                         : "corvanta-release-v1\nversion=1.4.2\nfileName=CorvantaAnalysis_1.4.2.zip\nsha256="
                             + m_release.sha256.toLatin1() + "\nminManagerVersion=0.2.0\n");
    out.close();
    const QByteArray signature = openssl(
        {"pkeyutl", "-sign", "-inkey", m_dir.filePath(keyName + QStringLiteral(".pem")), "-rawin", "-in", message});
    return QString::fromLatin1(signature.toBase64());
}

void tst_ReleaseSignatureVerifier::verdicts_data()
{
    QTest::addColumn<QStringList>("keys"); // names of the configured keys
    QTest::addColumn<QString>("signedWith"); // empty: the release carries no signature
    QTest::addColumn<QString>("tampered"); // the field changed after signing
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<std::optional<FailureKind>>("kind");

    using K = FailureKind;
    const std::optional<K> accepted;
    const QString none;
    QTest::newRow("correct") << QStringList{"current"} << "current" << none << false << accepted;
    QTest::newRow("wrong key") << QStringList{"current"} << "stranger" << none << false << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("tampered digest") << QStringList{"current"} << "current" << "sha256" << false
                                     << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("missing") << QStringList{"current"} << QString() << none << false << std::optional(K::ReleaseUnsigned);
    QTest::newRow("two keys, the second matches") << QStringList{"current", "next"} << "next" << none << false << accepted;
    QTest::newRow("two keys, neither matches") << QStringList{"current", "next"} << "stranger" << none << false
                                               << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("changed version") << QStringList{"current"} << "current" << "version" << false
                                     << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("stripped minManagerVersion") << QStringList{"current"} << "current" << "minManagerVersion" << false
                                                << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("changed file name") << QStringList{"current"} << "current" << "fileName" << false
                                       << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("over the bare digest") << QStringList{"current"} << "current digest" << none << false
                                          << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("unreadable key list") << QStringList{"current", "garbage"} << "current" << none << false
                                         << std::optional(K::ReleaseKeysInvalid);
    QTest::newRow("three keys") << QStringList{"current", "next", "stranger"} << "current" << none << false
                                << std::optional(K::ReleaseKeysInvalid);
    QTest::newRow("mirrored, signed") << QStringList{"current"} << "current" << none << true << accepted;
    QTest::newRow("mirrored, unsigned") << QStringList{"current"} << QString() << none << true
                                        << std::optional(K::MirrorUnsigned);
}

void tst_ReleaseSignatureVerifier::verdicts()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, signedWith);
    QFETCH(QString, tampered);
    QFETCH(bool, mirrored);
    QFETCH(std::optional<FailureKind>, kind);
    QStringList publicKeys;
    for (const QString &name : std::as_const(keys))
        publicKeys.append(name == u"garbage" ? QStringLiteral("bm90IGEga2V5") : makeKey(name));
    makeKey(QStringLiteral("stranger"));
    PluginRelease release = m_release;
    if (!signedWith.isEmpty()) {
        release.signature = signRelease(signedWith.section(u' ', 0, 0), signedWith.endsWith(u" digest"));
        QVERIFY(!release.signature->isEmpty());
    }
    // Changed after signing: the release the descriptor now describes is another one.
    if (tampered == u"sha256")
        release.sha256[0] = release.sha256[0] == u'0' ? u'1' : u'0';
    if (tampered == u"version")
        release.version = QStringLiteral("1.4.3");
    if (tampered == u"minManagerVersion")
        release.minManagerVersion.reset();
    if (tampered == u"fileName")
        release.fileName = QStringLiteral("CorvantaAnalysis_1.3.0.zip");

    const ReleaseSignatureVerifier verifier(publicKeys);
    QVERIFY(verifier.isRequired());
    try {
        mirrored ? verifier.verifyMirrored(release) : verifier.verify(release);
        QVERIFY2(!kind, "refused");
    } catch (const Failure &failure) {
        QVERIFY2(kind, qPrintable(failure.sentence()));
        QCOMPARE(failure.kind(), *kind);
        if (*kind == FailureKind::ReleaseUnsigned)
            QCOMPARE(failure.sentence(), QStringLiteral("插件安装包没有厂商签名，无法确认来源，已拒绝安装。请稍后重试或联系厂商。"));
        if (*kind == FailureKind::ReleaseSignatureInvalid)
            QCOMPARE(failure.sentence(), QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。"));
    }
}

void tst_ReleaseSignatureVerifier::buildWithoutKeysAcceptsAnything()
{
    // The suites are built without release keys, as the stand-in's default run is.
    QVERIFY(ReleaseSignatureVerifier::buildPublicKeys().isEmpty());
    const ReleaseSignatureVerifier verifier;
    QVERIFY(!verifier.isRequired());
    verifier.verify(m_release);
    PluginRelease forged = m_release;
    forged.signature = QStringLiteral("not a signature");
    verifier.verify(forged);
    // A mirror is never taken on trust: without a key nothing from it is installed.
    try {
        verifier.verifyMirrored(forged);
        QFAIL("a mirror accepted without keys");
    } catch (const Failure &failure) {
        QCOMPARE(failure.sentence(), QStringLiteral("此版本的管理工具没有内置厂商公钥，无法确认内部镜像的来源，已拒绝安装。请安装管理工具的正式版本。"));
    }
}

QTEST_GUILESS_MAIN(tst_ReleaseSignatureVerifier)
#include "tst_releasesignatureverifier.moc"
