#include "platform/ToolFiles.h"

#include <QTest>

class tst_ToolFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layout_data();
    void layout();
};

void tst_ToolFiles::layout_data()
{
    QTest::addColumn<bool>("mac");
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QStringList>("dirs"); // plug-in, payload root, data

    const QString contents = "/Applications/Corvanta/Corvanta 管理工具.app/Contents";
    QTest::newRow("Mac: the bundle") << true << contents + "/MacOS/"
                                     << QStringList{contents + "/PlugIns", contents + "/Resources", contents + "/Resources"};
    const QString lib = "/usr/lib/corvanta-manager";
    QTest::newRow("Linux: installed") << false << lib << QStringList{lib, lib, "/usr/share/corvanta-manager"};
    const QString build = "/work/build/test/usr/lib/corvanta-manager";
    QTest::newRow("Linux: the build tree") << false << build + "/."
                                           << QStringList{build, build, "/work/build/test/usr/share/corvanta-manager"};
}

void tst_ToolFiles::layout()
{
    QFETCH(bool, mac);
    QFETCH(QString, programDir);
    QFETCH(QStringList, dirs);
    const ToolFiles::Dirs found = ToolFiles::forProgramDir(programDir, mac ? HostSystem::Mac : HostSystem::Linux);
    QCOMPARE((QStringList{found.pluginDir, found.payloadRoot, found.dataDir}), dirs);
}

QTEST_GUILESS_MAIN(tst_ToolFiles)
#include "tst_toolfiles.moc"
