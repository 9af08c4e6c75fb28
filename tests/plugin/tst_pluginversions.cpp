#include "plugin/PluginVersions.h"
#include "core/Failure.h"

#include <QTest>

namespace {

// "2,0,1", or "absent", so a failing row shows what came back.
QString described(const std::optional<QList<qint64>> &parts)
{
    if (!parts)
        return QStringLiteral("absent");
    QStringList numbers;
    for (const qint64 n : *parts)
        numbers.append(QString::number(n));
    return numbers.join(u',');
}

} // namespace

class TestPluginVersions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString absent = QStringLiteral("absent");

        QTest::newRow("suffix and blanks") << QStringLiteral(" v2.0.1-rc1 ") << QStringLiteral("2,0,1");
        QTest::newRow("capital V") << QStringLiteral("V3") << QStringLiteral("3");
        QTest::newRow("only one v removed") << QStringLiteral("vv1") << absent;
        QTest::newRow("build metadata") << QStringLiteral("1.2.3+build.5") << QStringLiteral("1,2,3");
        QTest::newRow("pre-release and build") << QStringLiteral("1.2.3-beta+7") << QStringLiteral("1,2,3");
        QTest::newRow("dash inside") << QStringLiteral("1.-2") << QStringLiteral("1");
        QTest::newRow("twenty nines") << QStringLiteral("99999999999999999999") << absent;
        QTest::newRow("largest 64-bit") << QStringLiteral("9223372036854775807") << QStringLiteral("9223372036854775807");
        QTest::newRow("one past 64-bit") << QStringLiteral("9223372036854775808") << absent;
        QTest::newRow("empty pieces dropped") << QStringLiteral("1..2") << QStringLiteral("1,2");
        QTest::newRow("trailing dot") << QStringLiteral("1.2.") << QStringLiteral("1,2");
        QTest::newRow("leading dash keeps the word") << QStringLiteral("-beta") << absent;
        QTest::newRow("leading plus") << QStringLiteral("+1") << QStringLiteral("1");
        QTest::newRow("leading minus") << QStringLiteral("-1") << QStringLiteral("1");
        QTest::newRow("only separators") << QStringLiteral("-+") << absent;
        QTest::newRow("only v") << QStringLiteral("v") << absent;
        QTest::newRow("only dots") << QStringLiteral("...") << absent;
        QTest::newRow("empty") << QString() << absent;
        QTest::newRow("word") << QStringLiteral("abc") << absent;
        QTest::newRow("letter piece") << QStringLiteral("1.2.x") << absent;
        QTest::newRow("line breaks and tabs") << QStringLiteral("\n1.2\t") << QStringLiteral("1,2");
        QTest::newRow("blank inside a piece") << QStringLiteral("1. 2") << absent;
        QTest::newRow("full-width digits") << QStringLiteral("１.２") << absent;
        QTest::newRow("leading zeros") << QStringLiteral("v01.002") << QStringLiteral("1,2");
    }

    void versionParts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(described(PluginVersions::versionParts(text)), expected);
    }

    void managerSatisfies_data()
    {
        QTest::addColumn<QString>("required");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("satisfied");

        QTest::newRow("newer required") << QStringLiteral("0.2") << QStringLiteral("0.1.3") << false;
        QTest::newRow("older required") << QStringLiteral("0.1") << QStringLiteral("0.1.3") << true;
        QTest::newRow("same") << QStringLiteral("0.1.3") << QStringLiteral("0.1.3") << true;
        QTest::newRow("absent") << QString() << QStringLiteral("0.1.3") << true;
        QTest::newRow("one blank") << QStringLiteral(" ") << QStringLiteral("0.1.3") << true;
        QTest::newRow("unparsable required") << QStringLiteral("beta") << QStringLiteral("0.1.3") << true;
        QTest::newRow("missing position is zero") << QStringLiteral("1") << QStringLiteral("1.0") << true;
        QTest::newRow("trailing zero required") << QStringLiteral("0.1.3.0") << QStringLiteral("0.1.3") << true;
        QTest::newRow("trailing one required") << QStringLiteral("0.1.3.1") << QStringLiteral("0.1.3") << false;
        QTest::newRow("numeric not textual") << QStringLiteral("0.10") << QStringLiteral("0.9") << false;
        QTest::newRow("decided at first difference") << QStringLiteral("1.0.9") << QStringLiteral("1.1.0") << true;
        QTest::newRow("v prefix and suffix") << QStringLiteral("v0.2.0-rc1") << QStringLiteral("0.1.9") << false;
        QTest::newRow("tool unparsable") << QStringLiteral("9.9") << QStringLiteral("dev") << true;
    }

    void managerSatisfies()
    {
        QFETCH(QString, required);
        QFETCH(QString, tool);
        QFETCH(bool, satisfied);
        QCOMPARE(PluginVersions::managerSatisfies(required, tool), satisfied);
    }

    // Outside a bundle the tool's version is the fallback 0.1.3.
    void ensureManagerSupportsAgainstOwnVersion()
    {
        QVERIFY(PluginVersions::managerSatisfies(QStringLiteral("0.1.3")));
        PluginVersions::ensureManagerSupports({QStringLiteral("/x"), QStringLiteral("1.4.2"), QStringLiteral("0.1.3")});
        PluginVersions::ensureManagerSupports({QStringLiteral("/x"), QStringLiteral("1.4.2"), QString()});
        try {
            PluginVersions::ensureManagerSupports({QStringLiteral("/x"), QStringLiteral("1.5.0"), QStringLiteral("0.2")});
            QFAIL("a package that needs a newer tool was accepted");
        } catch (const Failure &error) {
            QCOMPARE(error.kind(), FailureKind::ToolTooOld);
            QCOMPARE(error.sentence(), QStringLiteral("插件 1.5.0 要求管理工具不低于 0.2，请联网后升级管理工具再安装。"));
        }
    }

    void installState_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<PluginInstallState>("state");

        const QString v142 = QStringLiteral("1.4.2");
        QTest::newRow("same") << v142 << v142 << PluginInstallState::UpToDate;
        QTest::newRow("v prefix is a difference") << v142 << QStringLiteral("V1.4.2") << PluginInstallState::UpdateAvailable;
        QTest::newRow("installed newer") << v142 << QStringLiteral("1.5.0") << PluginInstallState::UpdateAvailable;
        QTest::newRow("textual not numeric") << QStringLiteral("1.4") << QStringLiteral("1.4.0")
                                             << PluginInstallState::UpdateAvailable;
        QTest::newRow("latest absent") << QString() << v142 << PluginInstallState::Unknown;
        QTest::newRow("latest empty") << QStringLiteral("") << v142 << PluginInstallState::Unknown;
        QTest::newRow("latest blank") << QStringLiteral(" \n") << QString() << PluginInstallState::Unknown;
        QTest::newRow("installed absent") << v142 << QString() << PluginInstallState::NotInstalled;
        QTest::newRow("installed empty") << v142 << QStringLiteral("") << PluginInstallState::NotInstalled;
        QTest::newRow("letter case ignored") << QStringLiteral("1.4.2-RC") << QStringLiteral("1.4.2-rc")
                                             << PluginInstallState::UpToDate;
        QTest::newRow("blanks trimmed") << QStringLiteral(" 1.4.2\n") << QStringLiteral("\t1.4.2 ")
                                        << PluginInstallState::UpToDate;
    }

    void installState()
    {
        QFETCH(QString, latest);
        QFETCH(QString, installed);
        QFETCH(PluginInstallState, state);
        QCOMPARE(PluginVersions::installStateFor(latest, installed), state);
    }
};

QTEST_GUILESS_MAIN(TestPluginVersions)
#include "tst_pluginversions.moc"
