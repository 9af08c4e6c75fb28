#include "platform/AppBundle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <plist/plist++.h>

#include <memory>

namespace {

// Creates "<dir>/<name>/Contents/{MacOS,Resources}" with the given Info.plist bytes.
QString makeBundle(const QTemporaryDir &dir, const QString &name, const QByteArray &infoPlist)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(path + QStringLiteral("/Contents/MacOS"));
    QDir().mkpath(path + QStringLiteral("/Contents/Resources"));
    QFile file(path + QStringLiteral("/Contents/Info.plist"));
    if (file.open(QIODevice::WriteOnly))
        file.write(infoPlist);
    return path;
}

QByteArray binaryInfoPlist()
{
    PList::Dictionary info;
    info.Set("CFBundleIdentifier", PList::String("com.example.binary"));
    info.Set("CFBundleName", PList::String("二进制"));
    info.Set("LSUIElement", PList::Boolean(true));
    info.Set("Build", PList::Integer(uint64_t(42)));
    PList::Array schemes;
    PList::String first("corvanta");
    PList::String second("https");
    schemes.Append(&first);
    schemes.Append(&second);
    info.Set("CFBundleURLSchemes", schemes);
    const std::vector<char> bytes = info.ToBin();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

const QByteArray xmlInfoPlist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "    <key>CFBundleIdentifier</key><string>com.example.xml</string>\n"
    "    <key>CFBundleName</key><string>Corvanta 管理工具</string>\n"
    "    <key>LSUIElement</key><false/>\n"
    "    <key>Build</key><integer>7</integer>\n"
    "    <key>CFBundleURLTypes</key>\n"
    "    <array><dict><key>CFBundleURLSchemes</key><array><string>corvanta</string></array></dict></array>\n"
    "</dict>\n"
    "</plist>\n";

} // namespace

class tst_AppBundle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsXmlInfoPlist();
    void readsBinaryInfoPlist();
    void unreadableInfoPlistIsEmpty_data();
    void unreadableInfoPlistIsEmpty();
    void hostilePropertyListsRead_data();
    void hostilePropertyListsRead();
    void pathsOutsideBundles_data();
    void pathsOutsideBundles();
};

void tst_AppBundle::readsXmlInfoPlist()
{
    QTemporaryDir dir;
    const QString path = makeBundle(dir, QStringLiteral("Xml.app"), xmlInfoPlist);
    const AppBundle bundle = AppBundle::containingExecutable(path + QStringLiteral("/Contents/MacOS/tool"));
    QVERIFY(bundle.isValid());
    QCOMPARE(bundle.path(), QDir::cleanPath(path));
    QCOMPARE(bundle.resourcePath(), path + QStringLiteral("/Contents/Resources"));
    QCOMPARE(bundle.identifier(), QStringLiteral("com.example.xml"));
    const QVariantMap info = bundle.infoDictionary();
    QCOMPARE(info.value(QStringLiteral("CFBundleName")).toString(), QStringLiteral("Corvanta 管理工具"));
    QCOMPARE(info.value(QStringLiteral("LSUIElement")), QVariant(false));
    QCOMPARE(info.value(QStringLiteral("Build")).toLongLong(), 7);
    // Arrays of dictionaries, as URL types are written, come through whole.
    const QVariantList urlTypes = info.value(QStringLiteral("CFBundleURLTypes")).toList();
    QCOMPARE(urlTypes.size(), 1);
    QCOMPARE(urlTypes.first().toMap().value(QStringLiteral("CFBundleURLSchemes")).toStringList(),
             QStringList{QStringLiteral("corvanta")});
}

void tst_AppBundle::readsBinaryInfoPlist()
{
    QTemporaryDir dir;
    const QByteArray bytes = binaryInfoPlist();
    QVERIFY(bytes.startsWith("bplist00"));
    const AppBundle bundle(makeBundle(dir, QStringLiteral("Binary.app"), bytes));
    QCOMPARE(bundle.identifier(), QStringLiteral("com.example.binary"));
    const QVariantMap info = bundle.infoDictionary();
    QCOMPARE(info.value(QStringLiteral("CFBundleName")).toString(), QStringLiteral("二进制"));
    QCOMPARE(info.value(QStringLiteral("LSUIElement")), QVariant(true));
    QCOMPARE(info.value(QStringLiteral("Build")).toLongLong(), 42);
    QCOMPARE(info.value(QStringLiteral("CFBundleURLSchemes")).toStringList(),
             (QStringList{QStringLiteral("corvanta"), QStringLiteral("https")}));
}

void tst_AppBundle::unreadableInfoPlistIsEmpty_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("not a plist") << QByteArray("CFBundleName = Corvanta");
    QTest::newRow("truncated binary") << binaryInfoPlist().left(20);
    QTest::newRow("top level array")
        << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
}

void tst_AppBundle::unreadableInfoPlistIsEmpty()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const AppBundle bundle(makeBundle(dir, QStringLiteral("Broken.app"), bytes));
    QVERIFY(bundle.isValid());
    QVERIFY(bundle.infoDictionary().isEmpty());
    QVERIFY(bundle.identifier().isEmpty());
}

void tst_AppBundle::pathsOutsideBundles_data()
{
    QTest::addColumn<QString>("executable");
    QTest::newRow("system program") << QStringLiteral("/usr/bin/true");
    QTest::newRow("not an .app") << QStringLiteral("/opt/Tool/Contents/MacOS/tool");
    QTest::newRow("no Contents") << QStringLiteral("/opt/Tool.app/MacOS/tool");
    QTest::newRow("not in MacOS") << QStringLiteral("/opt/Tool.app/Contents/Resources/tool");
    QTest::newRow("this suite") << QCoreApplication::applicationFilePath();
}

void tst_AppBundle::pathsOutsideBundles()
{
    QFETCH(QString, executable);
    const AppBundle bundle = AppBundle::containingExecutable(executable);
    QVERIFY(!bundle.isValid());
    QVERIFY(bundle.infoDictionary().isEmpty());
    QVERIFY(bundle.resourcePath().isEmpty());
    QVERIFY(bundle.identifier().isEmpty());
}

// Inputs the fuzzer found: libplist aborted the whole process on a text or key holding a NUL, and
// its C++ wrappers leaked the items of a top-level array. Any running application's Info.plist
// is read, so none of them may take the tool down.
void tst_AppBundle::hostilePropertyListsRead_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("keys"); // 0: no dictionary
    QTest::newRow("NUL in a text") << QStringLiteral("string-with-nul.bin") << 10;
    QTest::newRow("NUL in a key") << QStringLiteral("key-with-nul.bin") << 10;
    QTest::newRow("top-level array") << QStringLiteral("top-level-array-leak.xml") << 0;
}

void tst_AppBundle::hostilePropertyListsRead()
{
    QFETCH(QString, file);
    QFETCH(int, keys);
    QFile input(QStringLiteral(TEST_SOURCE_DIR "/tests/fuzz/corpus/fuzz_info_plist/") + file);
    QVERIFY(input.open(QIODevice::ReadOnly));
    QCOMPARE(AppBundle::propertyListFromBytes(input.readAll()).size(), keys);
}

QTEST_GUILESS_MAIN(tst_AppBundle)
#include "tst_appbundle.moc"
