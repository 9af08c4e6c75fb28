#include "plugin/WpsAddonEdits.h"

#include "core/Failure.h"
#include "plugin/AuthAddinJsonEdit.h"
#include "plugin/PublishXmlEdit.h"

#include "FakeWpsAddons.h"

#include <QJsonArray>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

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
QByteArray edited(const std::function<QByteArray()> &edit,
                  const QString &sentence = QStringLiteral("WPS 的加载项列表“publish.xml”格式无法识别，未做修改。"))
{
    try {
        return edit();
    } catch (const Failure &failure) {
        if (failure.kind() == FailureKind::UnrecognisedWpsFile && failure.sentence() == sentence)
            return refused;
        throw;
    }
}

QByteArray authEdited(const std::function<QByteArray()> &edit)
{
    return edited(edit, QStringLiteral("WPS 的加载项注册表“authaddin.json”格式无法识别，未做修改。"));
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
    QTest::newRow("a second byte-order mark, which the reader would not count")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF<jsplugins>\n</jsplugins>\n") << refused << refused;
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
    const QByteArray tail = "<jsplugins>\n  <jsplugin name=\"OtherAddin\" url=\"o\"/>\n  &ours;\n</jsplugins>\n";
    QTest::newRow("DOCTYPE: an entity that expands to our element")
        << "<!DOCTYPE jsplugins [<!ENTITY ours \"<jsplugin name='CorvantaAnalysis' url='u'/>\">]>\n" + tail << refused << refused;
    QTest::newRow("DOCTYPE: a default name from ATTLIST")
        << QByteArray("<!DOCTYPE jsplugins [\n<!ATTLIST jsplugin name CDATA \"CorvantaAnalysis\">\n]>\n<jsplugins><jsplugin url=\"o\"/></jsplugins>")
        << refused << refused;
    QTest::newRow("DOCTYPE: external, nothing of ours") << "<?xml version=\"1.0\"?>\n<!DOCTYPE jsplugins SYSTEM \"p.dtd\">\n" + head.mid(39)
        + other + "</jsplugins>\n" << refused << refused;
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
    QTest::addColumn<QByteArray>("removed");    // when set: the whole file after the uninstall
    QTest::addColumn<QByteArray>("registered"); // when set: the whole file after registering 1.4.2

    const QJsonObject c = entry("OtherAddin", "/a/OtherAddin_1.0");
    QTest::newRow("by name and by path, namelist rebuilt, other members kept")
        << QJsonDocument(QJsonObject{{"et", QJsonObject{{"a", entry("CorvantaAnalysis", "/x")}, {"b", entry("B", "/a/Corvanta_1.0")},
                                                        {"c", c}, {"namelist", "a;b;c"}}},
                                     {"version", "1"}, {"list", QJsonArray{entry("Corvanta", "")}}}).toJson()
        << QJsonObject{{"et", QJsonObject{{"c", c}, {"namelist", "c"}}}, {"version", "1"}, {"list", QJsonArray{entry("Corvanta", "")}}}
        << QByteArray() << QByteArray();
    QTest::newRow("a group without entries of ours gains no namelist")
        << QJsonDocument(QJsonObject{{"wps", QJsonObject{{"z", c}, {"a", c}, {"flag", true}}}}).toJson() << QJsonObject()
        << QByteArray() << QByteArray();
    QTest::newRow("a location that is no text names no folder of ours")
        << QByteArray(R"({"wps": {"namelist": "a", "a": {"name": "A", "path": {"dir": "/a/Corvanta_1.0"}}}})") << QJsonObject()
        << QByteArray() << QByteArray();
    QTest::newRow("array at the top, not rewritten") << QByteArray("[{\"name\": \"CorvantaAnalysis\"}]\n") << QJsonObject()
                                                     << QByteArray() << QByteArray();
    QTest::newRow("blank, not rewritten") << QByteArray(" \n") << QJsonObject() << QByteArray() << QByteArray();
    const QByteArray theirs = "{\r\n  \"wps\": {\"namelist\": \"z;a\", \"z\": {\"name\": \"Z\", \"size\": 12345678901234567890},"
                              " \"a\": {\"path\": \"\\u4e2d\"}},\r\n  \"settings\": {\"theme\": {\"dark\": 1.0e2}},\r\n  \"et\": {\r\n"
                              "    \"namelist\": \"b;CorvantaAnalysis_1.3.0\",\r\n    \"b\": {\"name\": \"B\"}";
    QTest::newRow("only our entry and its group's namelist change, in the file's layout")
        << theirs + ",\r\n    \"CorvantaAnalysis_1.3.0\": {\r\n      \"name\": \"Corvanta\"\r\n    }\r\n  }\r\n}" << QJsonObject()
        << QByteArray(theirs + "\r\n  }\r\n}").replace("b;CorvantaAnalysis_1.3.0", "b")
        << QByteArray(theirs + ",\r\n    \"CorvantaAnalysis_1.4.2\": {\r\n      \"enable\": true,\r\n      \"isload\": true,\r\n"
                               "      \"name\": \"CorvantaAnalysis\",\r\n      \"path\": \"/a/CorvantaAnalysis_1.4.2\"\r\n    }\r\n  }\r\n}")
               .replace("b;CorvantaAnalysis_1.3.0", "CorvantaAnalysis_1.4.2;b");
    const QByteArray compact = R"({"wps":{"namelist":"x","x":{"name":"X","path":"/x"}})";
    QTest::newRow("one line without a spreadsheet group: a new one in the same style")
        << compact + "}" << QJsonObject() << QByteArray()
        << compact + R"(,"et":{"CorvantaAnalysis_1.4.2":{"enable":true,"isload":true,"name":"CorvantaAnalysis",)"
                     R"("path":"/a/CorvantaAnalysis_1.4.2"},"namelist":"CorvantaAnalysis_1.4.2"}})";
    QTest::newRow("a key twice: which one WPS reads is unknown") << QByteArray(R"({"et": {"a": {"name": "A", "name": "Corvanta"}}})")
                                 << QJsonObject() << refused << refused;
}

void tst_WpsAddonEdits::removesAuthEntries()
{
    QFETCH(QByteArray, before);
    QFETCH(QJsonObject, after);
    QFETCH(QByteArray, removed);
    QFETCH(QByteArray, registered);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.writeAuthAddinJsonText(before);
    const QByteArray result = authEdited([&] {
        WpsAddonEdits::unregisterPlugin(addons.path());
        return bytes(addons.filePath("authaddin.json"));
    });
    const QByteArray written = bytes(addons.filePath("authaddin.json"));
    if (!removed.isNull())
        QCOMPARE(result, removed);
    if (after.isEmpty())
        QCOMPARE(written, removed.isNull() || removed == refused ? before : removed);
    else
        QCOMPARE(QJsonDocument::fromJson(written).object(), after);
    QCOMPARE(addons.entryNames(), QStringList{"authaddin.json"});
    if (registered.isNull())
        return;
    const auto registering = [](const QByteArray &file) {
        return authEdited([&] { return AuthAddinJsonEdit::withPluginEntry(file, "CorvantaAnalysis_1.4.2", "/a/CorvantaAnalysis_1.4.2"); });
    };
    QCOMPARE(registering(before), registered);
    // What the install wrote, the uninstall removes, and registering again changes nothing.
    if (registered != refused) {
        QCOMPARE(registering(registered), registered);
        QVERIFY(!AuthAddinJsonEdit::withoutPluginEntries(registered).contains("CorvantaAnalysis_1.4.2"));
    }
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

// A journal left by a run killed between its renames: the next edit carries it to its end, unless a
// list has changed since (WPS switched an add-in off meanwhile): then the lists stay as they are.
void tst_WpsAddonEdits::interruptedWriteIsFinished_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QByteArray>("authBefore"); // null: there was no registry
    QTest::addColumn<QByteArray>("publishNow"); // what "publish.xml" holds when the next run starts
    QTest::addColumn<QByteArray>("publish");    // what the lists say afterwards
    QTest::addColumn<QByteArray>("auth");

    QTest::newRow("forward: killed after the first rename")
        << QByteArray("forward") << QByteArray("old-a") << QByteArray("new-p") << QByteArray("new-p") << QByteArray("new-a");
    QTest::newRow("back: a failed rename was being undone")
        << QByteArray("back") << QByteArray() << QByteArray("new-p") << QByteArray("old-p") << QByteArray("(missing)");
    QTest::newRow("forward, but publish.xml changed since: not replayed")
        << QByteArray("forward") << QByteArray("old-a") << QByteArray("wps-p") << QByteArray("wps-p") << QByteArray("old-a");
    QTest::newRow("back, but publish.xml changed since: its old text not put back")
        << QByteArray("back") << QByteArray() << QByteArray("wps-p") << QByteArray("wps-p") << QByteArray("(missing)");
}

void tst_WpsAddonEdits::interruptedWriteIsFinished()
{
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, authBefore);
    QFETCH(QByteArray, publishNow);
    QFETCH(QByteArray, publish);
    QFETCH(QByteArray, auth);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(addons.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    };
    const auto sum = [](const QByteArray &text) { return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex(); };
    // publish.xml already renamed (its old text kept aside), the registry's new text still hidden.
    write("publish.xml", publishNow);
    write(".corvanta-lists-old-publish.xml", "old-p");
    write(".corvanta-lists-new-authaddin.json", "new-a");
    if (!authBefore.isNull()) {
        write("authaddin.json", authBefore);
        QCOMPARE(::link(QFile::encodeName(addons.filePath("authaddin.json")).constData(),
                        QFile::encodeName(addons.filePath(".corvanta-lists-old-authaddin.json")).constData()), 0);
    }
    write(".corvanta-lists-journal", state + "\npublish.xml\t1\t" + sum("old-p") + "\t" + sum("new-p") + "\nauthaddin.json\t"
                                         + (authBefore.isNull() ? QByteArray("0\t") : "1\t" + sum(authBefore)) + "\t" + sum("new-a") + "\n");

    const WpsListPair::Recovery recovery = WpsAddonEdits::removeLeftovers(addons.path());
    QCOMPARE(recovery, publishNow == "new-p" ? WpsListPair::Recovery::Finished : WpsListPair::Recovery::Abandoned);
    QCOMPARE(bytes(addons.filePath("publish.xml")), publish);
    QCOMPARE(bytes(addons.filePath("authaddin.json")), auth);
    QCOMPARE(addons.entryNames(), auth == "(missing)" ? QStringList{"publish.xml"} : (QStringList{"authaddin.json", "publish.xml"}));
}

QTEST_GUILESS_MAIN(tst_WpsAddonEdits)
#include "tst_wpsaddonedits.moc"
