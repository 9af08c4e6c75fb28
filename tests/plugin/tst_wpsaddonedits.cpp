#include "plugin/WpsAddonEdits.h"

#include "core/Failure.h"

#include "FakeWpsAddons.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins>\n";
const QByteArray other = "  <jsplugin name=\"OtherAddin\" url=\"file:///a/OtherAddin_1.0/\"/>\n";
// The list as the removal leaves it: the blanks before and after a removed element went with it.
const QByteArray joined = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins><jsplugin name=\"OtherAddin\" url=\"file:///a/OtherAddin_1.0/\"/>\n</jsplugins>\n";

QString thrown(const std::function<void()> &step)
{
    try {
        step();
    } catch (const Failure &error) {
        return error.sentence();
    }
    return {};
}

QJsonObject entry(const QString &name, const QString &path)
{
    return {{"name", name}, {"path", path}};
}

} // namespace

class tst_WpsAddonEdits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void removesPublishEntries_data();
    void removesPublishEntries();
    void removesAuthEntries_data();
    void removesAuthEntries();
    void unreadableListsAreReported();
};

void tst_WpsAddonEdits::removesPublishEntries_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("self-closing") << head + "  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"/>\n" + other + "</jsplugins>\n" << joined;
    QTest::newRow("paired with a self-closing child, removed whole")
        << head + "  <jsplugin name=\"CorvantaAnalysis\" url=\"u\"><x/></jsplugin>\n" + other + "</jsplugins>\n" << joined;
    QTest::newRow("online element by url") << head + "  <jspluginonline name=\"CA\" url=\"https://h/CorvantaAnalysis_2/\"/>\n"
                                                  + other + "</jsplugins>\n" << joined;
    QTest::newRow("CorvantaAnalysisBeta stays") << head + "  <jsplugin name=\"CorvantaAnalysisBeta\" url=\"u\"/>\n</jsplugins>\n"
                                                << head + "  <jsplugin name=\"CorvantaAnalysisBeta\" url=\"u\"/>\n</jsplugins>\n";
}

void tst_WpsAddonEdits::removesPublishEntries()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.writePublishXmlText(before);
    WpsAddonEdits::removePublishEntries(addons.path());
    QCOMPARE(addons.readPublishXml().toUtf8(), after);
    QCOMPARE(addons.entryNames(), QStringList{"publish.xml"});
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
}

void tst_WpsAddonEdits::removesAuthEntries()
{
    QFETCH(QByteArray, before);
    QFETCH(QJsonObject, after);
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.writeAuthAddinJsonText(before);
    WpsAddonEdits::removeAuthEntries(addons.path());
    QFile file(addons.filePath("authaddin.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    if (after.isEmpty())
        QCOMPARE(written, before);
    else
        QCOMPARE(QJsonDocument::fromJson(written).object(), after);
}

void tst_WpsAddonEdits::unreadableListsAreReported()
{
    QTemporaryDir dir;
    FakeWpsAddons addons(dir.path());
    addons.writePublishXmlText("<jsplugins>\xff\xfe</jsplugins>");
    QCOMPARE(thrown([&] { WpsAddonEdits::removePublishEntries(addons.path()); }),
             QStringLiteral("未能打开文件“publish.xml”，因为无法确定其内容的文本编码。"));

    // Registering reads and understands both lists before it writes either.
    addons.writePublishXmlText(head + other + "</jsplugins>\n");
    addons.writeAuthAddinJsonText("{\"et\": ");
    QCOMPARE(thrown([&] { WpsAddonEdits::registerPlugin(addons.path(), "CorvantaAnalysis_1.4.2", "1.4.2"); }),
             QStringLiteral("未能读取数据，因为它的格式不正确。"));
    QCOMPARE(addons.readPublishXml().toUtf8(), head + other + "</jsplugins>\n");
}

QTEST_GUILESS_MAIN(tst_WpsAddonEdits)
#include "tst_wpsaddonedits.moc"
