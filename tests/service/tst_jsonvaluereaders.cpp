#include "core/Failure.h"
#include "service/JsonValueReaders.h"
#include "service/PluginRelease.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <functional>

using namespace JsonValueReaders;

namespace {

// The value under "v" of a JSON text, so the cases read as the service would send them.
QJsonValue parsed(const QByteArray &json)
{
    return QJsonDocument::fromJson("{\"v\":" + json + "}").object().value(QLatin1String("v"));
}

// The kind of what step throws; Internal when it throws nothing of ours.
FailureKind kindOf(const std::function<void()> &step)
{
    try {
        step();
    } catch (const Failure &failure) {
        return failure.kind();
    }
    return FailureKind::Internal;
}

} // namespace

class tst_JsonValueReaders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stringValueReads_data();
    void stringValueReads();
    void intValueReads_data();
    void intValueReads();
    void dictionaryValueReads();
    void dictionaryFromJSONReads_data();
    void dictionaryFromJSONReads();
    void pluginRelease_data();
    void pluginRelease();
};

void tst_JsonValueReaders::stringValueReads_data()
{
    QTest::addColumn<QByteArray>("json"); // empty: the key is missing
    QTest::addColumn<std::optional<QString>>("expected");
    QTest::newRow("missing") << QByteArray() << std::optional<QString>();
    QTest::newRow("text") << QByteArray(R"("1.4.2")") << std::optional<QString>(QStringLiteral("1.4.2"));
    QTest::newRow("empty text") << QByteArray(R"("")") << std::optional<QString>(QString());
    QTest::newRow("integer") << QByteArray("2") << std::optional<QString>(QStringLiteral("2"));
    QTest::newRow("large integer") << QByteArray("9007199254740993") << std::optional<QString>(QStringLiteral("9007199254740993"));
    QTest::newRow("fraction") << QByteArray("2.5") << std::optional<QString>(QStringLiteral("2.5"));
    QTest::newRow("true") << QByteArray("true") << std::optional<QString>(QStringLiteral("1"));
    QTest::newRow("false") << QByteArray("false") << std::optional<QString>(QStringLiteral("0"));
    QTest::newRow("null") << QByteArray("null") << std::optional<QString>();
}

void tst_JsonValueReaders::stringValueReads()
{
    QFETCH(QByteArray, json);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(stringValue(json.isEmpty() ? QJsonValue(QJsonValue::Undefined) : parsed(json)), expected);
}

void tst_JsonValueReaders::intValueReads_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<std::optional<qint64>>("expected");
    using I = std::optional<qint64>;
    QTest::newRow("missing") << QByteArray() << I();
    QTest::newRow("integer") << QByteArray("-7") << I(-7);
    QTest::newRow("fraction truncates") << QByteArray("2.9") << I(2);
    QTest::newRow("negative fraction truncates") << QByteArray("-2.9") << I(-2);
    QTest::newRow("huge double") << QByteArray("1e300") << I();
    QTest::newRow("text") << QByteArray(R"("0")") << I(0);
    QTest::newRow("signed text") << QByteArray(R"("+12")") << I(12);
    QTest::newRow("negative text") << QByteArray(R"("-12")") << I(-12);
    QTest::newRow("text with blank") << QByteArray(R"(" 12")") << I();
    QTest::newRow("text fraction") << QByteArray(R"("1.5")") << I();
    QTest::newRow("text beyond 64 bits") << QByteArray(R"("99999999999999999999")") << I();
    QTest::newRow("boolean") << QByteArray("true") << I();
    QTest::newRow("null") << QByteArray("null") << I();
}

void tst_JsonValueReaders::intValueReads()
{
    QFETCH(QByteArray, json);
    QFETCH(std::optional<qint64>, expected);
    QCOMPARE(intValue(json.isEmpty() ? QJsonValue(QJsonValue::Undefined) : parsed(json)), expected);
}

void tst_JsonValueReaders::dictionaryValueReads()
{
    QCOMPARE(dictionaryValue(parsed(R"({"a":1})")), std::optional<QJsonObject>(QJsonObject{{QStringLiteral("a"), 1}}));
    QVERIFY(!dictionaryValue(parsed("[1]")));
    QVERIFY(!dictionaryValue(parsed(R"("{}")")));
    QVERIFY(!dictionaryValue(QJsonValue(QJsonValue::Undefined)));
}

void tst_JsonValueReaders::dictionaryFromJSONReads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("outcome"); // object, format, parse
    QTest::newRow("object") << QByteArray(R"({"code":0})") << QStringLiteral("object");
    QTest::newRow("array") << QByteArray("[1,2]") << QStringLiteral("format");
    QTest::newRow("bare scalar") << QByteArray("3") << QStringLiteral("parse");
    QTest::newRow("garbage") << QByteArray("{code") << QStringLiteral("parse");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("parse");
}

void tst_JsonValueReaders::dictionaryFromJSONReads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    if (outcome == QLatin1String("object"))
        QCOMPARE(dictionaryFromJSON(bytes).value(QLatin1String("code")).toInt(-1), 0);
    else
        QCOMPARE(kindOf([&bytes] { dictionaryFromJSON(bytes); }),
                 outcome == QLatin1String("format") ? FailureKind::MalformedAnswer : FailureKind::NotJson);
}

void tst_JsonValueReaders::pluginRelease_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("downloadURL");

    const QString noVersion = QStringLiteral("插件发布信息缺少版本号。");
    const QString noSha = QStringLiteral("插件发布信息缺少 sha256。");
    QTest::newRow("complete") << QByteArray(R"({"version":"1.4.2","sha256":"AB","downloadUrl":"http://h/a.zip","fileName":"a.zip"})")
                              << QString() << QStringLiteral("1.4.2") << QStringLiteral("http://h/a.zip");
    QTest::newRow("both missing: version first") << QByteArray("{}") << noVersion << QString() << QString();
    QTest::newRow("empty version") << QByteArray(R"({"version":"","sha256":"ab"})") << noVersion << QString() << QString();
    QTest::newRow("missing sha256") << QByteArray(R"({"version":"1.0"})") << noSha << QString() << QString();
    QTest::newRow("empty sha256") << QByteArray(R"({"version":"1.0","sha256":""})") << noSha << QString() << QString();
    QTest::newRow("number version") << QByteArray(R"({"version":2,"sha256":"ab"})") << QString() << QStringLiteral("2") << QString();
    QTest::newRow("empty downloadUrl") << QByteArray(R"({"version":"1","sha256":"ab","downloadUrl":""})") << QString()
                                       << QStringLiteral("1") << QString();
    QTest::newRow("unparsable downloadUrl") << QByteArray(R"({"version":"1","sha256":"ab","downloadUrl":"http://[x"})")
                                            << QString() << QStringLiteral("1") << QString();
}

void tst_JsonValueReaders::pluginRelease()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    QFETCH(QString, version);
    QFETCH(QString, downloadURL);
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    if (!error.isEmpty()) {
        try {
            PluginRelease::fromData(object);
            QFAIL("the descriptor was accepted");
        } catch (const Failure &thrown) {
            QCOMPARE(thrown.sentence(), error);
        }
        return;
    }
    const PluginRelease release = PluginRelease::fromData(object);
    QCOMPARE(release.version, version);
    QCOMPARE(release.downloadURL.has_value(), !downloadURL.isEmpty());
    if (release.downloadURL)
        QCOMPARE(release.downloadURL->toString(), downloadURL);
    QCOMPARE(release.sha256, object.value(QLatin1String("sha256")).toString());
    QCOMPARE(release.fileName.has_value(), object.contains(QLatin1String("fileName")));
}

QTEST_GUILESS_MAIN(tst_JsonValueReaders)
#include "tst_jsonvaluereaders.moc"
