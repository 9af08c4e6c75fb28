#include "StandinOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

const QMap<QString, StandinOptions::Layout> layoutNames = {
    {QStringLiteral("top"), StandinOptions::Layout::TopLevel},
    {QStringLiteral("folder"), StandinOptions::Layout::OneFolder},
    {QStringLiteral("two-folders"), StandinOptions::Layout::TwoFolders},
    {QStringLiteral("missing-index"), StandinOptions::Layout::MissingIndex},
    {QStringLiteral("dotdot"), StandinOptions::Layout::DotDot},
    {QStringLiteral("empty"), StandinOptions::Layout::Empty},
    {QStringLiteral("not-zip"), StandinOptions::Layout::NotZip},
};

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "corvanta-standin-service: %s\n", qPrintable(message));
    std::exit(2);
}

int nonNegative(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0)
        fail(QStringLiteral("--%1 needs a non-negative number").arg(name));
    return value;
}

} // namespace

StandinOptions StandinOptions::parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local stand-in of the Corvanta vendor service on 127.0.0.1: latest release, download token,\n"
        "release archives built at start from sample packages, and the vendor's web pages.\n"
        "Prints \"listening on 127.0.0.1:PORT\" as its first line. Each request is printed as\n"
        "\"request: METHOD TARGET\"; every archive answer as \"archive: status=S range=R if-range=V sent=N\".\n"
        "Archives carry an ETag and a Last-Modified date and answer Range requests (If-Range honoured).\n"
        "Credentials: \"standin-valid-token\" (and every --credential) is\n"
        "accepted; \"standin-expired-token\" (and every --expired-credential) is refused with status\n"
        "400 and reason refresh_token_invalid under \"data\"; any other or no credential gets 401.\n"
        "Sign-in on the site (/account/sign-in) as demo@corvanta.test with password corvanta-demo issues a\n"
        "new accepted credential and hands it to the desktop tool as corvanta-manager://signed-in?credential=..."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1; 0 picks a free one."), QStringLiteral("N"),
         QStringLiteral("0")},
        {QStringLiteral("host"), QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("ADDRESS"),
         QStringLiteral("127.0.0.1")},
        {QStringLiteral("packages"), QStringLiteral("Directory of sample packages, one folder per version."),
         QStringLiteral("DIR"), QStringLiteral(STANDIN_PACKAGES_DIR)},
        {QStringLiteral("latest"), QStringLiteral("Version offered as latest (default: the highest)."),
         QStringLiteral("VERSION")},
        {QStringLiteral("min-manager-version"),
         QStringLiteral("minManagerVersion of the latest release and its version.json; empty leaves it out."),
         QStringLiteral("VERSION")},
        {QStringLiteral("layout"),
         QStringLiteral("Archive layout: top, folder (default), two-folders, missing-index, dotdot, empty, not-zip."),
         QStringLiteral("LAYOUT"), QStringLiteral("folder")},
        {QStringLiteral("pad-mb"), QStringLiteral("Adds N MiB of incompressible padding to every archive."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("no-file-name"), QStringLiteral("Descriptors carry no fileName.")},
        {QStringLiteral("no-download-url"), QStringLiteral("The download token's descriptor has an empty downloadUrl.")},
        {QStringLiteral("upper-case-sha"), QStringLiteral("Descriptors carry the SHA-256 in upper case.")},
        {QStringLiteral("wrong-sha256"), QStringLiteral("Descriptors carry a SHA-256 that matches no archive.")},
        {QStringLiteral("descriptor-file-name"), QStringLiteral("fileName sent in descriptors (e.g. ../evil.zip)."),
         QStringLiteral("NAME")},
        {QStringLiteral("descriptor-version"), QStringLiteral("version sent in descriptors (e.g. 1.0/../x)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("descriptor-sha256"), QStringLiteral("sha256 sent in descriptors (e.g. 12ab)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("download-url"), QStringLiteral("downloadUrl of the download token (e.g. file:///etc/passwd)."),
         QStringLiteral("URL")},
        {QStringLiteral("signing-key"),
         QStringLiteral("Signs descriptors (\"signature\") with this PEM Ed25519 private key, over the release's version, file name, SHA-256 and minManagerVersion."),
         QStringLiteral("FILE")},
        {QStringLiteral("redirect-archive"), QStringLiteral("Answers archive requests with 302 to URL."),
         QStringLiteral("URL")},
        {QStringLiteral("endless-answer"),
         QStringLiteral("Answer ENDPOINT (latest, token) with 200 and a JSON body that never ends; repeatable."),
         QStringLiteral("ENDPOINT")},
        {QStringLiteral("answer-pad-mb"), QStringLiteral("Pads the latest and token answers to more than N MiB."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("trickle-ms"), QStringLiteral("Sends archive bodies one byte every N ms."), QStringLiteral("N"),
         QStringLiteral("0")},
        {QStringLiteral("trickle-from"), QStringLiteral("With --trickle-ms, the first N bytes go at full speed."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("trickle-bytes"),
         QStringLiteral("With --trickle-ms, only N bytes trickle and the rest goes at full speed (0: all)."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("status"),
         QStringLiteral("Answer ENDPOINT (latest, token, archive, page) with STATUS and no body; repeatable."),
         QStringLiteral("ENDPOINT=STATUS")},
        {QStringLiteral("slow-ms"), QStringLiteral("Waits N ms before every answer."), QStringLiteral("N"),
         QStringLiteral("0")},
        {QStringLiteral("drop-connection"), QStringLiteral("Closes the connection halfway through an archive body.")},
        {QStringLiteral("drop-after-bytes"),
         QStringLiteral("Closes the connection of the first archive answer after N body bytes; later answers are whole."),
         QStringLiteral("N")},
        {QStringLiteral("credential"), QStringLiteral("Another accepted credential; repeatable."),
         QStringLiteral("TOKEN")},
        {QStringLiteral("expired-credential"), QStringLiteral("Another expired credential; repeatable."),
         QStringLiteral("TOKEN")},
    };
    parser.addOptions(options);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    StandinOptions result;
    result.port = nonNegative(parser, QStringLiteral("port"));
    if (result.port > 65535)
        fail(QStringLiteral("--port must be below 65536"));
    result.host = parser.value(QStringLiteral("host"));
    result.packagesDir = parser.value(QStringLiteral("packages"));
    result.latest = parser.value(QStringLiteral("latest"));
    if (parser.isSet(QStringLiteral("min-manager-version")))
        result.minManagerVersion = parser.value(QStringLiteral("min-manager-version"));
    const QString layout = parser.value(QStringLiteral("layout"));
    if (!layoutNames.contains(layout))
        fail(QStringLiteral("unknown layout %1").arg(layout));
    result.layout = layoutNames.value(layout);
    result.padMegabytes = nonNegative(parser, QStringLiteral("pad-mb"));
    result.noFileName = parser.isSet(QStringLiteral("no-file-name"));
    result.noDownloadUrl = parser.isSet(QStringLiteral("no-download-url"));
    result.upperCaseSha = parser.isSet(QStringLiteral("upper-case-sha"));
    result.wrongSha256 = parser.isSet(QStringLiteral("wrong-sha256"));
    if (parser.isSet(QStringLiteral("descriptor-file-name")))
        result.descriptorFileName = parser.value(QStringLiteral("descriptor-file-name"));
    if (parser.isSet(QStringLiteral("descriptor-version")))
        result.descriptorVersion = parser.value(QStringLiteral("descriptor-version"));
    if (parser.isSet(QStringLiteral("descriptor-sha256")))
        result.descriptorSha256 = parser.value(QStringLiteral("descriptor-sha256"));
    if (parser.isSet(QStringLiteral("download-url")))
        result.downloadUrl = parser.value(QStringLiteral("download-url"));
    result.signingKey = parser.value(QStringLiteral("signing-key"));
    result.redirectArchive = parser.value(QStringLiteral("redirect-archive"));
    result.endlessEndpoints = parser.values(QStringLiteral("endless-answer"));
    for (const QString &endpoint : std::as_const(result.endlessEndpoints)) {
        if (endpoint != QLatin1String("latest") && endpoint != QLatin1String("token"))
            fail(QStringLiteral("--endless-answer needs latest or token, got %1").arg(endpoint));
    }
    result.answerPadMegabytes = nonNegative(parser, QStringLiteral("answer-pad-mb"));
    result.trickleMs = nonNegative(parser, QStringLiteral("trickle-ms"));
    result.trickleFrom = nonNegative(parser, QStringLiteral("trickle-from"));
    result.trickleBytes = nonNegative(parser, QStringLiteral("trickle-bytes"));
    const QStringList statuses = parser.values(QStringLiteral("status"));
    for (const QString &entry : statuses) {
        const QString endpoint = entry.section(QLatin1Char('='), 0, 0);
        bool ok = false;
        const int status = entry.section(QLatin1Char('='), 1).toInt(&ok);
        if (!endpoints.contains(endpoint) || !ok || status < 100 || status > 999)
            fail(QStringLiteral("--status needs ENDPOINT=STATUS, got %1").arg(entry));
        result.statusByEndpoint.insert(endpoint, status);
    }
    result.slowMs = nonNegative(parser, QStringLiteral("slow-ms"));
    result.dropConnection = parser.isSet(QStringLiteral("drop-connection"));
    if (parser.isSet(QStringLiteral("drop-after-bytes")))
        result.dropAfterBytes = nonNegative(parser, QStringLiteral("drop-after-bytes"));
    result.validCredentials = QStringList{QStringLiteral("standin-valid-token")} + parser.values(QStringLiteral("credential"));
    result.expiredCredentials =
        QStringList{QStringLiteral("standin-expired-token")} + parser.values(QStringLiteral("expired-credential"));
    return result;
}
