#include "core/DescribedError.h"
#include "core/LocalFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class tst_LocalFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reasons_data();
    void reasons();
    void noReasonIsEnglish();
    void tooLongNameReachesTheUserInChinese();
};

void tst_LocalFiles::reasons_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason");
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << QStringLiteral("文件名或路径过长");
    QTest::newRow("ENOSPC") << ENOSPC << QStringLiteral("磁盘空间不足");
    QTest::newRow("EDQUOT") << EDQUOT << QStringLiteral("超出磁盘配额");
    QTest::newRow("EACCES") << EACCES << QStringLiteral("没有权限");
    QTest::newRow("EROFS") << EROFS << QStringLiteral("所在磁盘为只读");
    QTest::newRow("EMFILE") << EMFILE << QStringLiteral("打开的文件过多");
    QTest::newRow("unknown") << 4242 << QStringLiteral("系统错误（错误码 4242）");
}

void tst_LocalFiles::reasons()
{
    QFETCH(int, error);
    QFETCH(QString, reason);
    QCOMPARE(LocalFiles::reasonForErrno(error), reason);
}

// The C library's texts are English; none of them may reach the user.
void tst_LocalFiles::noReasonIsEnglish()
{
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (int error = 0; error < 200; ++error)
        QVERIFY2(!LocalFiles::reasonForErrno(error).contains(latin), qPrintable(QString::number(error)));
}

void tst_LocalFiles::tooLongNameReachesTheUserInChinese()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString(300, u'a'));
    QString description;
    try {
        LocalFiles::entryNames(folder);
    } catch (const DescribedError &error) {
        description = error.description();
    }
    QCOMPARE(description, QStringLiteral("无法读取文件夹“") + folder + QStringLiteral("”：文件名或路径过长。"));
}

QTEST_GUILESS_MAIN(tst_LocalFiles)
#include "tst_localfiles.moc"
