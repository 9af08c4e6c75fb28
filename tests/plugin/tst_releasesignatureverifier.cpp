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
    // Signs the digest of archive.zip with the documented commands; base64 like the descriptor's.
    QString signArchive(const QString &keyName);

    QTemporaryDir m_dir;
    QString m_sha256;
};

void tst_ReleaseSignatureVerifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile archive(m_dir.filePath(QStringLiteral("archive.zip")));
    QVERIFY(archive.open(QIODevice::WriteOnly));
    const QByteArray content = QByteArray("PK\x03\x04 a release archive ").repeated(1000);
    archive.write(content);
    archive.close();
    m_sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
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

QString tst_ReleaseSignatureVerifier::signArchive(const QString &keyName)
{
    const QString digest = m_dir.filePath(QStringLiteral("digest"));
    QFile out(digest);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(openssl({"dgst", "-sha256", "-binary", m_dir.filePath(QStringLiteral("archive.zip"))}));
    out.close();
    const QByteArray signature = openssl(
        {"pkeyutl", "-sign", "-inkey", m_dir.filePath(keyName + QStringLiteral(".pem")), "-rawin", "-in", digest});
    return QString::fromLatin1(signature.toBase64());
}

void tst_ReleaseSignatureVerifier::verdicts_data()
{
    QTest::addColumn<QStringList>("keys"); // names of the configured keys
    QTest::addColumn<QString>("signedWith"); // empty: the release carries no signature
    QTest::addColumn<bool>("tamperedDigest");
    QTest::addColumn<std::optional<FailureKind>>("kind");

    using K = FailureKind;
    const std::optional<K> accepted;
    QTest::newRow("correct") << QStringList{"current"} << "current" << false << accepted;
    QTest::newRow("wrong key") << QStringList{"current"} << "stranger" << false << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("tampered digest") << QStringList{"current"} << "current" << true
                                     << std::optional(K::ReleaseSignatureInvalid);
    QTest::newRow("missing") << QStringList{"current"} << QString() << false << std::optional(K::ReleaseUnsigned);
    QTest::newRow("two keys, the second matches") << QStringList{"current", "next"} << "next" << false << accepted;
    QTest::newRow("two keys, neither matches") << QStringList{"current", "next"} << "stranger" << false
                                               << std::optional(K::ReleaseSignatureInvalid);
}

void tst_ReleaseSignatureVerifier::verdicts()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, signedWith);
    QFETCH(bool, tamperedDigest);
    QFETCH(std::optional<FailureKind>, kind);
    QStringList publicKeys;
    for (const QString &name : std::as_const(keys))
        publicKeys.append(makeKey(name));
    makeKey(QStringLiteral("stranger"));
    std::optional<QString> signature;
    if (!signedWith.isEmpty()) {
        signature = signArchive(signedWith);
        QVERIFY(!signature->isEmpty());
    }
    // One digit changed: the archive the descriptor now names is another one.
    QString digest = m_sha256;
    if (tamperedDigest)
        digest[0] = digest[0] == u'0' ? u'1' : u'0';

    const ReleaseSignatureVerifier verifier(publicKeys);
    QVERIFY(verifier.isRequired());
    try {
        verifier.verify(digest, signature);
        QVERIFY2(!kind, "refused");
    } catch (const Failure &failure) {
        QVERIFY2(kind, qPrintable(failure.sentence()));
        QCOMPARE(failure.kind(), *kind);
        QCOMPARE(failure.sentence(), *kind == FailureKind::ReleaseUnsigned
                     ? QStringLiteral("插件安装包没有厂商签名，无法确认来源，已拒绝安装。请稍后重试或联系厂商。")
                     : QStringLiteral("插件安装包的厂商签名无效，文件可能已被篡改，已拒绝安装。请联系厂商。"));
    }
}

void tst_ReleaseSignatureVerifier::buildWithoutKeysAcceptsAnything()
{
    // The suites are built without release keys, as the stand-in's default run is.
    QVERIFY(ReleaseSignatureVerifier::buildPublicKeys().isEmpty());
    const ReleaseSignatureVerifier verifier;
    QVERIFY(!verifier.isRequired());
    verifier.verify(m_sha256, std::nullopt);
    verifier.verify(m_sha256, QStringLiteral("not a signature"));
}

QTEST_GUILESS_MAIN(tst_ReleaseSignatureVerifier)
#include "tst_releasesignatureverifier.moc"
