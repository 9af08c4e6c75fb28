#include "core/Failure.h"
#include "core/LocalFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class tst_LocalFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noReasonIsEnglish();
    void tooLongNameReachesTheUserInChinese();
};

// The C library's texts are English; none of them may reach the user.
void tst_LocalFiles::noReasonIsEnglish()
{
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (int error = 0; error < 200; ++error)
        QVERIFY2(!LocalFiles::reasonForErrno(error).contains(latin), qPrintable(QString::number(error)));
    QCOMPARE(LocalFiles::reasonForErrno(4242), QStringLiteral("系统错误（错误码 4242）"));
}

void tst_LocalFiles::tooLongNameReachesTheUserInChinese()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString(300, u'a'));
    QString description;
    try {
        LocalFiles::entryNames(folder);
    } catch (const Failure &error) {
        description = error.sentence();
    }
    QCOMPARE(description, QStringLiteral("无法读取文件夹“") + folder + QStringLiteral("”：文件名或路径过长。"));
}

QTEST_GUILESS_MAIN(tst_LocalFiles)
#include "tst_localfiles.moc"
