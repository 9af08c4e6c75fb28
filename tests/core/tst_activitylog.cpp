#include "core/ActivityLog.h"
#include "ScratchHome.h"
#include "model/AuthToolModel.h"
#include "core/ToolPaths.h"
#include "core/ConfirmationPrompt.h"
#include "StagedModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QTime>

namespace {

struct Confirming : ConfirmationPrompt
{
    bool confirm(const ConfirmationRequest &) override { return true; }
};

QByteArray logContents()
{
    QFile file(ToolPaths::logFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "[HH:mm:ss] " in front of each entry; the captured time is checked separately.
const QRegularExpression entryPrefix(QStringLiteral("^\\[(\\d\\d:\\d\\d:\\d\\d)\\] "));

} // namespace

class tst_ActivityLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstEntryCreatesDirectoryAndFile();
    void entriesAppendInCallOrder();
    void deletedFileStartsOverWithNextEntry();
    void entryFormat_data();
    void entryFormat();
    void timePrefixIsTheTimeOfTheCall();
    void blockedLogDirLosesEntriesSilently();
};

void tst_ActivityLog::firstEntryCreatesDirectoryAndFile()
{
    ScratchHome home;
    QVERIFY(!QFileInfo::exists(QFileInfo(home.logFile()).path()));
    AuthToolModel model;
    model.appendLog(QStringLiteral("开始安装"));
    QCOMPARE(ToolPaths::logFile(), home.logFile());
    const QByteArray contents = logContents();
    QVERIFY(contents.startsWith('['));
    QVERIFY(contents.endsWith(QStringLiteral("] 开始安装\n").toUtf8()));
}

void tst_ActivityLog::entriesAppendInCallOrder()
{
    ScratchHome home;
    AuthToolModel model;
    model.appendLog(QStringLiteral("一"));
    model.appendLog(QStringLiteral("二"));
    AuthToolModel secondRun;
    secondRun.appendLog(QStringLiteral("三"));
    const QList<QByteArray> lines = logContents().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).endsWith(QStringLiteral("] 一").toUtf8()));
    QVERIFY(lines.at(1).endsWith(QStringLiteral("] 二").toUtf8()));
    QVERIFY(lines.at(2).endsWith(QStringLiteral("] 三").toUtf8()));
    QVERIFY(lines.at(3).isEmpty());
}

void tst_ActivityLog::deletedFileStartsOverWithNextEntry()
{
    ScratchHome home;
    AuthToolModel model;
    model.appendLog(QStringLiteral("旧的一行"));
    QVERIFY(QFile::remove(ToolPaths::logFile()));
    model.appendLog(QStringLiteral("新的一行"));
    const QString contents = QString::fromUtf8(logContents());
    QVERIFY2(entryPrefix.match(contents).hasMatch(), qPrintable(contents));
    QCOMPARE(contents.mid(11), QStringLiteral("新的一行\n"));
}

void tst_ActivityLog::entryFormat_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("afterPrefix");
    QTest::newRow("sentence") << QStringLiteral("检查更新已拦截：当前离线")
                              << QStringLiteral("检查更新已拦截：当前离线\n");
    // Only the first physical line carries the time.
    QTest::newRow("multi-line") << QStringLiteral("安装失败：脚本输出\n第二行\n第三行")
                                << QStringLiteral("安装失败：脚本输出\n第二行\n第三行\n");
    QTest::newRow("empty") << QString() << QStringLiteral("\n");
    QTest::newRow("blanks kept") << QStringLiteral("  前后空格  ") << QStringLiteral("  前后空格  \n");
}

void tst_ActivityLog::entryFormat()
{
    QFETCH(QString, message);
    QFETCH(QString, afterPrefix);
    ScratchHome home;
    AuthToolModel model;
    model.appendLog(message);
    const QByteArray bytes = logContents();
    QVERIFY2(bytes.startsWith('['), "no byte-order mark or header before the entry");
    const QString contents = QString::fromUtf8(bytes);
    QVERIFY2(entryPrefix.match(contents).hasMatch(), qPrintable(contents));
    QCOMPARE(contents.mid(11), afterPrefix);
}

void tst_ActivityLog::timePrefixIsTheTimeOfTheCall()
{
    // Two-digit hours, minutes and seconds at any time of day.
    QCOMPARE(ActivityLog::entry(QStringLiteral("时间"), QTime(9, 5, 3)), QStringLiteral("[09:05:03] 时间\n").toUtf8());
    QCOMPARE(ActivityLog::entry(QString(), QTime(23, 59, 59)), QByteArray("[23:59:59] \n"));

    ScratchHome home;
    AuthToolModel model;
    const QTime before = QTime::currentTime();
    model.appendLog(QStringLiteral("时间"));
    const QTime after = QTime::currentTime();
    const QRegularExpressionMatch match = entryPrefix.match(QString::fromUtf8(logContents()));
    QVERIFY(match.hasMatch());
    const QTime written = QTime::fromString(match.captured(1), QStringLiteral("HH:mm:ss"));
    QVERIFY(written.isValid());
    if (after < before)
        QSKIP("the call straddled midnight");
    QVERIFY2(written >= QTime(before.hour(), before.minute(), before.second()) && written <= after,
             qPrintable(match.captured(1)));
}

// A plain file where the log directory belongs: no entry can be written, nothing is shown for it,
// and neither an operation nor the online gate is disturbed.
void tst_ActivityLog::blockedLogDirLosesEntriesSilently()
{
    ScratchHome home;
    QVERIFY(QDir().mkpath(QFileInfo(ToolPaths::logDir()).path()));
    QFile blocker(ToolPaths::logDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a directory");
    blocker.close();

    StagedModel staged;
    AuthToolModel &model = staged.model;
    // An uninstall with nothing to remove: it runs through to its success all the same.
    model.setConfirmationPrompt(std::make_shared<Confirming>());
    QCOMPARE(QCoro::waitFor(model.uninstallPlugin()).result(), OperationOutcome::Result::Done);
    QVERIFY(!model.isUninstalling());
    QCOMPARE(model.operationMessage(), QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"));
    QCOMPARE(model.operationTone(), OperationTone::Success);

    staged.setOnline(false);
    QVERIFY(!model.requireOnline(QStringLiteral("检查更新")));
    QCOMPARE(model.operationMessage(), QStringLiteral("检查更新需要连接 Corvanta 服务，请联网后重试。"));
    QCOMPARE(model.operationTone(), OperationTone::Error);

    QVERIFY(QFileInfo(ToolPaths::logDir()).isFile());
    QVERIFY(!QFileInfo::exists(ToolPaths::logFile()));
}

QTEST_GUILESS_MAIN(tst_ActivityLog)
#include "tst_activitylog.moc"
