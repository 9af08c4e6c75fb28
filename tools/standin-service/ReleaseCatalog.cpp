#include "ReleaseCatalog.h"

#include "ZipWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QVersionNumber>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

QList<QPair<QString, QByteArray>> readPackage(const QString &packageDir)
{
    QList<QPair<QString, QByteArray>> files;
    QDirIterator it(packageDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("cannot read %1").arg(path));
        files.append({QDir(packageDir).relativeFilePath(path), file.readAll()});
    }
    std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    return files;
}

QByteArray padding(int megabytes)
{
    QByteArray bytes(qsizetype(megabytes) * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(20240611);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

QString fileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

ReleaseCatalog::ReleaseCatalog(const StandinOptions &options, const QString &workDir)
    : m_options(options)
{
    if (!options.signingKey.isEmpty())
        m_signer = std::make_shared<ReleaseSigner>(options.signingKey);
    QStringList versions = QDir(options.packagesDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (versions.isEmpty())
        fail(QStringLiteral("no sample packages in %1").arg(options.packagesDir));
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) {
        return QVersionNumber::fromString(a) < QVersionNumber::fromString(b);
    });
    const QString latest = options.latest.isEmpty() ? versions.last() : options.latest;
    if (!versions.contains(latest))
        fail(QStringLiteral("no sample package for version %1 (have %2)").arg(latest, versions.join(QLatin1Char(' '))));
    for (const QString &version : std::as_const(versions)) {
        if (version == latest)
            m_latestIndex = m_archives.size();
        m_archives.append(build(QDir(options.packagesDir).filePath(version), version == latest, workDir));
    }
}

ReleaseArchive ReleaseCatalog::build(const QString &packageDir, bool isLatest, const QString &workDir) const
{
    QList<QPair<QString, QByteArray>> files = readPackage(packageDir);
    ReleaseArchive archive;
    archive.version = QDir(packageDir).dirName();
    for (auto &[name, bytes] : files) {
        if (name != QLatin1String("version.json"))
            continue;
        QJsonObject metadata = QJsonDocument::fromJson(bytes).object();
        if (metadata.contains(QLatin1String("minManagerVersion")))
            archive.minManagerVersion = metadata.value(QLatin1String("minManagerVersion")).toString();
        if (isLatest && m_options.minManagerVersion) {
            archive.minManagerVersion = *m_options.minManagerVersion;
            if (archive.minManagerVersion->isEmpty())
                metadata.remove(QLatin1String("minManagerVersion"));
            else
                metadata.insert(QLatin1String("minManagerVersion"), *archive.minManagerVersion);
            bytes = QJsonDocument(metadata).toJson();
        }
    }
    if (archive.minManagerVersion && archive.minManagerVersion->isEmpty())
        archive.minManagerVersion.reset();

    using Layout = StandinOptions::Layout;
    const Layout layout = m_options.layout;
    const QString folder = QStringLiteral("CorvantaAnalysis_") + archive.version + QLatin1Char('/');
    archive.fileName = QStringLiteral("CorvantaAnalysis_") + archive.version + QStringLiteral(".zip");
    archive.path = QDir(workDir).filePath(archive.fileName);

    if (layout == Layout::NotZip) {
        QFile file(archive.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(padding(1).left(64 * 1024)) != 64 * 1024)
            fail(QStringLiteral("cannot write %1").arg(archive.path));
        file.close();
        archive.sha256 = fileSha256(archive.path);
        archive.size = file.size();
        return archive;
    }
    ZipWriter zip(archive.path);
    if (!zip.isOpen())
        fail(QStringLiteral("cannot write %1").arg(archive.path));
    if (layout == Layout::TwoFolders)
        zip.addFile(QStringLiteral("CorvantaAnalysis_docs/说明.txt"), QByteArrayLiteral("示例说明文件，没有插件。\n"));
    if (layout != Layout::Empty) {
        const QString root = layout == Layout::TopLevel ? QString() : folder;
        for (const auto &[name, bytes] : std::as_const(files)) {
            if (layout == Layout::MissingIndex && name == QLatin1String("app/index.html"))
                continue;
            zip.addFile(root + name, bytes);
        }
        if (m_options.padMegabytes > 0)
            zip.addFile(root + QStringLiteral("app/assets/padding.bin"), padding(m_options.padMegabytes));
        if (layout == Layout::DotDot) {
            zip.addFile(QStringLiteral("../corvanta-escaped.txt"), QByteArrayLiteral("outside\n"));
            zip.addFile(folder + QStringLiteral("../../corvanta-escaped-deeper.txt"), QByteArrayLiteral("outside\n"));
        }
    }
    if (!zip.close())
        fail(QStringLiteral("cannot write %1").arg(archive.path));
    archive.sha256 = fileSha256(archive.path);
    archive.size = QFileInfo(archive.path).size();
    return archive;
}

const ReleaseArchive *ReleaseCatalog::archiveNamed(const QString &fileName) const
{
    for (const ReleaseArchive &archive : m_archives) {
        if (archive.fileName == fileName)
            return &archive;
    }
    return nullptr;
}

QJsonObject ReleaseCatalog::descriptor(const ReleaseArchive &archive, const std::optional<QString> &downloadUrl) const
{
    QString sha256 = m_options.wrongSha256
        ? QString::fromLatin1(QCryptographicHash::hash("not this archive", QCryptographicHash::Sha256).toHex())
        : archive.sha256;
    if (m_options.upperCaseSha)
        sha256 = sha256.toUpper();
    sha256 = m_options.descriptorSha256.value_or(sha256);
    QJsonObject data{
        {QStringLiteral("version"), m_options.descriptorVersion.value_or(archive.version)},
        {QStringLiteral("sha256"), sha256},
    };
    if (!m_options.noFileName)
        data.insert(QStringLiteral("fileName"), m_options.descriptorFileName.value_or(archive.fileName));
    if (archive.minManagerVersion)
        data.insert(QStringLiteral("minManagerVersion"), *archive.minManagerVersion);
    if (downloadUrl)
        data.insert(QStringLiteral("downloadUrl"), *downloadUrl);
    // Always over the release as built: a descriptor whose fields were altered keeps the genuine signature.
    if (m_signer)
        data.insert(QStringLiteral("signature"),
                    m_signer->sign(ReleaseSigner::signedBytes(archive.version, archive.fileName, archive.sha256,
                                                              archive.minManagerVersion.value_or(QString()))));
    return data;
}
