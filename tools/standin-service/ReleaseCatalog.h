#pragma once

#include "ReleaseSigner.h"
#include "StandinOptions.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// One release archive built at start from a sample package.
struct ReleaseArchive
{
    QString version;
    std::optional<QString> minManagerVersion;
    QString fileName;
    QString path;
    QString sha256; // lower-case hex of the archive as served
    qint64 size = 0;
};

// The archives of every sample package, laid out as the options ask, and the descriptors the
// service sends for them. Throws std::runtime_error when a package cannot be read or built.
class ReleaseCatalog
{
public:
    ReleaseCatalog(const StandinOptions &options, const QString &workDir);

    const ReleaseArchive &latest() const { return m_archives.at(m_latestIndex); }
    const ReleaseArchive *archiveNamed(const QString &fileName) const;
    // The "data" of a release answer; without a downloadUrl the key is left out.
    QJsonObject descriptor(const ReleaseArchive &archive, const std::optional<QString> &downloadUrl) const;

private:
    ReleaseArchive build(const QString &packageDir, bool isLatest, const QString &workDir) const;

    const StandinOptions &m_options;
    QList<ReleaseArchive> m_archives;
    qsizetype m_latestIndex = 0;
    std::shared_ptr<ReleaseSigner> m_signer;
};
