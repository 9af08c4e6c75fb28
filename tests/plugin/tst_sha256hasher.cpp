#include "core/Failure.h"
#include "plugin/Sha256Hasher.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

class tst_Sha256Hasher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownVectors_data();
    void knownVectors();
    void chunkingDoesNotMatter();
    void multiChunkFileMatchesSha256sum();
    void fileThenChunksAreOneHash();
    void unreadableFileThrows_data();
    void unreadableFileThrows();
};

void tst_Sha256Hasher::knownVectors_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QByteArray() << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    QTest::newRow("abc") << QByteArray("abc") << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
}

void tst_Sha256Hasher::knownVectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, digest);
    Sha256Hasher hasher;
    hasher.addData(input);
    QCOMPARE(hasher.hexDigest(), digest);

    QTemporaryDir dir;
    QFile file(dir.filePath("vector"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(input);
    file.close();
    QCOMPARE(sha256File(file.fileName()), digest);
}

void tst_Sha256Hasher::chunkingDoesNotMatter()
{
    Sha256Hasher hasher;
    for (const char *piece : {"a", "", "b", "c"})
        hasher.addData(QByteArrayView(piece));
    QCOMPARE(hasher.hexDigest(), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    hasher.addData("abc"); // a finished hasher starts afresh
    QCOMPARE(hasher.hexDigest(), QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
}

// 3.5 MiB of random bytes: several 1 MiB reads and a partial one.
void tst_Sha256Hasher::multiChunkFileMatchesSha256sum()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.zip");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray data(3 * 1024 * 1024 + 512 * 1024 + 7, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    file.write(data);
    file.close();

    QProcess sha256sum;
    sha256sum.start(QStringLiteral("sha256sum"), {path});
    QVERIFY(sha256sum.waitForFinished());
    const QString expected = QString::fromLatin1(sha256sum.readAllStandardOutput().left(64));
    QCOMPARE(expected.size(), 64);
    QCOMPARE(sha256File(path), expected);
    QCOMPARE(QCoro::waitFor(sha256FileAsync(path)), expected);
}

void tst_Sha256Hasher::unreadableFileThrows_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing") << QStringLiteral("missing.zip");
    QTest::newRow("directory") << QStringLiteral(".");
}

void tst_Sha256Hasher::unreadableFileThrows()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    const QString path = dir.filePath(relative);
    try {
        sha256File(path);
        QFAIL("no error");
    } catch (const Failure &error) {
        QCOMPARE(error.sentence(), QStringLiteral("无法读取文件 ") + path + QStringLiteral("，请确认文件存在且可读后重试。"));
    }
}

// A resumed download reads its partial file back and hashes on with what arrives; a reset starts
// over, as for a server that sends the whole body again.
void tst_Sha256Hasher::fileThenChunksAreOneHash()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("partial"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1500000, 'a'));
    file.close();
    Sha256Hasher hasher;
    hasher.addData("stale bytes of an answer that was dropped");
    hasher.reset();
    hasher.addFile(file.fileName());
    hasher.addData(QByteArray(500000, 'a'));
    // SHA-256 of 2,000,000 times "a".
    QCOMPARE(hasher.hexDigest(), QStringLiteral("bcf7f9d1b4311c3352e60502255ce09a6744df84e8f2c89f79c4b5d74933a95a"));
}

QTEST_GUILESS_MAIN(tst_Sha256Hasher)
#include "tst_sha256hasher.moc"
