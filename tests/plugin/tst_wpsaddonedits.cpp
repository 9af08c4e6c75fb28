#include "plugin/WpsAddonEdits.h"

#include "core/Failure.h"
#include "plugin/PublishXmlEdit.h"

#include "FakeWpsAddons.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins>\n";
const QByteArray other = "  <jsplugin name=\"OtherAddin\" url=\"file:///a/OtherAddin_1.0/\"/>\n";
const QString url = QStringLiteral("file:///a/CorvantaAnalysis_1.4.2/");
// What registering `url` at 1.4.2 writes.
const QByteArray ours = "<jsplugin name=\"CorvantaAnalysis\" type=\"et\" url=\"file:///a/CorvantaAnalysis_1.4.2/\" version=\"1.4.2\"/>";
const QByteArray refused = "(refused, left as it was)";

QString thrown(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &error) {
        return describeError(error);
    }
    return {};
}

// The edit's result, or `refused` when it threw the unrecognised-list failure.
QByteArray edited(const std::function<QByteArray()> &edit)
{
    try {
        return edit();
    } catch (const Failure &failure) {
        if (failure.kind() == FailureKind::UnrecognisedWpsFile
            && failure.sentence() == QStringLiteral("WPS 的加载项列表“publish.xml”格式无法识别，未做修改。"))
            return refused;
        throw;
    }
}

QJsonObject entry(const QString &name, const QString &path)
{
    return {{"name", name}, {"path", path}};
}

QByteArray bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

class tst_WpsAddonEdits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void publishShapes_data();
    void publishShapes();
    void removesAuthEntries_data();
    void removesAuthEntries();
    void listsChangeTogether();
    void interruptedWriteIsFinished_data();
    void interruptedWriteIsFinished();
};

// Every row is edited both ways; the expected bytes are the whole file.
void tst_WpsAddonEdits::publishShapes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("removed");
    QTest::addColumn<QByteArray>("registered");

    const QByteArray older = "  <jsplugin name=\"CorvantaAnalysis\" type=\"et\" url=\"file:///a/CorvantaAnalysis_1.3.0/\" version=\"1.3.0\"/>\n";
    QTest::newRow("typical: ours replaced in its place, its line removed")
        << head + older + other + "</jsplugins>\n" << head + other + "</jsplugins>\n"
        << head + "  " + ours + "\n" + other + "</jsplugins>\n";
    QTest::newRow("new entry before the real closing tag, not in the commented-out list after it")
        << head + other + "</jsplugins>\n<!-- offline\n<jsplugins>\n  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n</jsplugins>\n-->\n"
        << head + other + "</jsplugins>\n<!-- offline\n<jsplugins>\n  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n</jsplugins>\n-->\n"
        << head + other + "  " + ours + "\n</jsplugins>\n<!-- offline\n<jsplugins>\n  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n</jsplugins>\n-->\n";
    const QByteArray hidden = "  <!-- <jsplugin name=\"CorvantaAnalysis\" url=\"x\"/> -->\n"
                              "  <jsplugin name=\"OtherAddin\" url=\"u\"><![CDATA[<jsplugin name=\"Corvanta\"/>]]></jsplugin>\n";
    QTest::newRow("look-alikes in a comment and in CDATA are text")
        << head + hidden + "</jsplugins>\n" << head + hidden + "</jsplugins>\n"
        << head + hidden + "  " + ours + "\n</jsplugins>\n";
    QTest::newRow("'>' in an attribute value does not end the element")
        << head + "  <jsplugin note=\"a > b\" name=\"CorvantaAnalysis\" url=\"u\"></jsplugin>\n  <jsplugin name=\"B\" url=\"v\"></jsplugin>\n</jsplugins>\n"
        << head + "  <jsplugin name=\"B\" url=\"v\"></jsplugin>\n</jsplugins>\n"
        << head + "  " + ours + "\n  <jsplugin name=\"B\" url=\"v\"></jsplugin>\n</jsplugins>\n";
    QTest::newRow("mismatched closing tag")
        << head + "  <jspluginonline name=\"CorvantaAnalysis\" url=\"u\"></jsplugin>\n</jsplugins>\n" << refused << refused;
    const QByteArray bom = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<jsplugins>\r\n";
    QTest::newRow("byte-order mark, CRLF and tabs kept; online entry by name")
        << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n\t<jspluginonline name=\"Corvanta\" url=\"https://h/\"/>\r\n\t<jsplugin name=\"B\" url=\"b\"/>\r\n</jsplugins>\r\n"
        << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n\t<jsplugin name=\"B\" url=\"b\"/>\r\n</jsplugins>\r\n"
        << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n\t" + ours + "\r\n\t<jsplugin name=\"B\" url=\"b\"/>\r\n</jsplugins>\r\n";
    QTest::newRow("added with the file's own line end and indentation")
        << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n</jsplugins>" << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n</jsplugins>"
        << bom + "\t<jsplugin name=\"A\" url=\"a\"/>\r\n\t" + ours + "\r\n</jsplugins>";
    QTest::newRow("one line: attribute order, entities and neighbours kept; every entry of ours goes")
        << QByteArray("<jsplugins><jsplugin url=\"file:///a/Corvanta_old/\" name=\"X\"/><jsplugin version=\"1\" name=\"A&amp;B\" "
                      "url=\"u\"/> <jsplugin name=\"Corvanta&#65;nalysis\" url=\"w\"></jsplugin></jsplugins>")
        << QByteArray("<jsplugins><jsplugin version=\"1\" name=\"A&amp;B\" url=\"u\"/></jsplugins>")
        << "<jsplugins>" + ours + "<jsplugin version=\"1\" name=\"A&amp;B\" url=\"u\"/></jsplugins>";
    QTest::newRow("another root") << QByteArray("<addins>\n  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n</addins>\n")
                                  << refused << refused;
    QTest::newRow("only a comment") << QByteArray("<!-- <jsplugins></jsplugins> -->\n") << refused << refused;
    QTest::newRow("empty file: nothing to remove, a new list to register in")
        << QByteArray("") << QByteArray("") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins>\n  " + ours + "\n</jsplugins>\n";
    QTest::newRow("self-closing root") << QByteArray("<?xml version=\"1.0\"?>\n<jsplugins />\n")
                                       << QByteArray("<?xml version=\"1.0\"?>\n<jsplugins />\n")
                                       << "<?xml version=\"1.0\"?>\n<jsplugins >\n  " + ours + "\n</jsplugins>\n";
    QTest::newRow("deeper elements are not entries")
        << head + "  <group>\n    <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n  </group>\n</jsplugins>\n"
        << head + "  <group>\n    <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n  </group>\n</jsplugins>\n"
        << head + "  <group>\n    <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n  </group>\n  " + ours + "\n</jsplugins>\n";
    // "中文" in GBK: the declared encoding is read, kept and written back.
    const QByteArray gbk = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<jsplugins>\n  <!-- \xD6\xD0\xCE\xC4 -->\n";
    QTest::newRow("declared GBK") << gbk + "</jsplugins>\n" << gbk + "</jsplugins>\n" << gbk + "  " + ours + "\n</jsplugins>\n";
    QTest::newRow("not the declared encoding") << QByteArray("<jsplugins><!-- \xff\xfe --></jsplugins>") << refused << refused;
    QTest::newRow("CorvantaAnalysisBeta is another add-in")
        << head + "  <jsplugin name=\"CorvantaAnalysisBeta\" url=\"u\"/>\n</jsplugins>\n"
        << head + "  <jsplugin name=\"CorvantaAnalysisBeta\" url=\"u\"/>\n</jsplugins>\n"
        << head + "  <jsplugin name=\"CorvantaAnalysisBeta\" url=\"u\"/>\n  " + ours + "\n</jsplugins>\n";
}

void tst_WpsAddonEdits::publishShapes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, removed);
    QFETCH(QByteArray, registered);
    QCOMPARE(edited([&] { return PublishXmlEdit::withoutPluginEntries(before); }), removed);
    QCOMPARE(edited([&] { return PublishXmlEdit::withPluginEntry(before, url, "1.4.2"); }), registered);
    // What the install wrote, the uninstall removes, and registering again changes nothing.
    if (registered != refused) {
        QVERIFY(!PublishXmlEdit::withoutPluginEntries(registered).contains("CorvantaAnalysis_1.4.2"));
        QCOMPARE(PublishXmlEdit::withPluginEntry(registered, url, "1.4.2"), registered);
    }
}

void tst_WpsAddonEdits::removesAuthEntries_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QJsonObject>("after"); // empty: the file is left byte for byte

    const QJsonObject c = entry("OtherAddin", "/a/OtherAddin_1.0");
    QTest::newRow("by name and by path, namelist rebuilt, other members kept")
        << QJsonDocument(QJsonObject{{"et", QJsonObject{{"a", entry("CorvantaAnalysis", "/x")}, {"b", entry("B", "/a/Corvanta_1.0")},
                                                        {"c", c}, {"namelist", "a;b;c"}}},
                                     {"version", "1"}, {"list", QJsonArray{entry("Corvanta", "")}}}).toJson()
        << QJsonObject{{"et", QJsonObject{{"c", c}, {"namelist", "c"}}}, {"version", "1"}, {"list", QJsonArray{entry("Corvanta", "")}}};
    QTest::newRow("namelist made where there was none")
        << QJsonDocument(QJsonObject{{"wps", QJsonObject{{"z", c}, {"a", c}, {"flag", true}}}}).toJson()
        << QJsonObject{{"wps", QJsonObject{{"z", c}, {"a", c}, {"flag", true}, {"namelist", "a;z"}}}};
    QTest::newRow("array at the top, not rewritten") << QByteArray("[{\"name\": \"CorvantaAnalysis\"}]\n") << QJsonObject();
    QTest::newRow("blank, not rewritten") << QByteArray(" \n") << QJsonObject();
}

void tst_WpsAddonEdits::removesAuthEntries()
{
    QFETCH(QByteArray, before);
    QFETCH(QJsonObject, after);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.writeAuthAddinJsonText(before);
    WpsAddonEdits::unregisterPlugin(addons.path());
    const QByteArray written = bytes(addons.filePath("authaddin.json"));
    if (after.isEmpty())
        QCOMPARE(written, before);
    else
        QCOMPARE(QJsonDocument::fromJson(written).object(), after);
    QCOMPARE(addons.entryNames(), QStringList{"authaddin.json"});
}

// Both lists are understood before either is written, and a list that cannot be edited stops the
// uninstall before any directory goes.
void tst_WpsAddonEdits::listsChangeTogether()
{
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.installTypical("1.3.0");
    const QStringList entries = addons.entryNames();
    const QByteArray publish = bytes(addons.filePath("publish.xml"));

    addons.writeAuthAddinJsonText("{\"et\": ");
    QCOMPARE(thrown([&] { WpsAddonEdits::registerPlugin(addons.path(), "CorvantaAnalysis_1.4.2", "1.4.2"); }),
             QStringLiteral("未能读取数据，因为它的格式不正确。"));
    QCOMPARE(bytes(addons.filePath("publish.xml")), publish);
    addons.writeAuthAddinJsonText("[]");
    QCOMPARE(thrown([&] { WpsAddonEdits::registerPlugin(addons.path(), "CorvantaAnalysis_1.4.2", "1.4.2"); }),
             QStringLiteral("WPS 的加载项注册表“authaddin.json”格式无法识别，未做修改。"));
    QCOMPARE(bytes(addons.filePath("publish.xml")), publish);

    addons.installTypical("1.3.0");
    const QByteArray auth = bytes(addons.filePath("authaddin.json"));
    addons.writePublishXmlText(publish + "<extra/>");
    QCOMPARE(thrown([&] { WpsAddonEdits::unregisterPlugin(addons.path()); }),
             QStringLiteral("WPS 的加载项列表“publish.xml”格式无法识别，未做修改。"));
    QCOMPARE(addons.entryNames(), entries);
    QCOMPARE(bytes(addons.filePath("authaddin.json")), auth);

    // A new list cannot be written: neither is.
    addons.writePublishXmlText(publish);
    QVERIFY(QDir().mkpath(addons.filePath(".corvanta-lists-new-authaddin.json/blocked")));
    QVERIFY(!thrown([&] { WpsAddonEdits::registerPlugin(addons.path(), "CorvantaAnalysis_1.4.2", "1.4.2"); }).isEmpty());
    QCOMPARE(bytes(addons.filePath("publish.xml")), publish);
    QCOMPARE(bytes(addons.filePath("authaddin.json")), auth);
    QVERIFY(!QFile::exists(addons.filePath(".corvanta-lists-journal")));
}

// A journal left by a run killed between its renames: the next edit carries it to its end.
void tst_WpsAddonEdits::interruptedWriteIsFinished_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QByteArray>("authBefore"); // null: there was no registry
    QTest::addColumn<QByteArray>("publish");    // what the lists say afterwards
    QTest::addColumn<QByteArray>("auth");

    QTest::newRow("forward: killed after the first rename")
        << QByteArray("forward\npublish.xml\t1\nauthaddin.json\t1\n") << QByteArray("old-a") << QByteArray("new-p")
        << QByteArray("new-a");
    QTest::newRow("back: a failed rename was being undone")
        << QByteArray("back\npublish.xml\t1\nauthaddin.json\t0\n") << QByteArray() << QByteArray("old-p")
        << QByteArray("(missing)");
}

void tst_WpsAddonEdits::interruptedWriteIsFinished()
{
    QFETCH(QByteArray, journal);
    QFETCH(QByteArray, authBefore);
    QFETCH(QByteArray, publish);
    QFETCH(QByteArray, auth);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(addons.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    };
    // publish.xml already renamed (its old text kept aside), the registry's new text still hidden.
    write("publish.xml", "new-p");
    write(".corvanta-lists-old-publish.xml", "old-p");
    write(".corvanta-lists-new-authaddin.json", "new-a");
    if (!authBefore.isNull()) {
        write("authaddin.json", authBefore);
        write(".corvanta-lists-old-authaddin.json", authBefore);
    }
    write(".corvanta-lists-journal", journal);

    WpsAddonEdits::removeLeftovers(addons.path());
    QCOMPARE(bytes(addons.filePath("publish.xml")), publish);
    QCOMPARE(bytes(addons.filePath("authaddin.json")), auth);
    QCOMPARE(addons.entryNames(), auth == "(missing)" ? QStringList{"publish.xml"} : (QStringList{"authaddin.json", "publish.xml"}));
}

QTEST_GUILESS_MAIN(tst_WpsAddonEdits)
#include "tst_wpsaddonedits.moc"
