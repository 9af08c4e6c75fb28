#pragma once

#include "core/PluginInstallState.h"
#include "core/ToolPaths.h"
#include "platform/ManagedPolicy.h"
#include "plugin/CachedPluginPackage.h"
#include "platform/WpsInstallations.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// What the status command reports, as text for people and as one JSON object for scripts.
struct StatusReport
{
    // How the latest release became known, or why it is not.
    enum class ReleaseQuery { Answered, Skipped, Offline, Failed };

    QString toolVersion;
    // Null strings are absent values.
    QString installedVersion;
    QString latestVersion;
    PluginInstallState installState = PluginInstallState::Unknown;
    ReleaseQuery releaseQuery = ReleaseQuery::Skipped;
    QString releaseQueryError;
    bool online = false;
    bool wpsRunning = false;
    QString addonDir;
    // Each WPS found and whether it runs (none listed on the Mac).
    QList<WpsInstallation> wpsInstallations;
    // Where the tool keeps its own files (addonDir above is WPS's).
    ToolPaths::Locations locations = ToolPaths::current();
    QString settingsFile = ToolPaths::settingsFile();
    // Newest first.
    QList<CachedPluginPackage> cachedPackages;
    ManagedPolicy policy;

    // Every usable package in the plugin package cache, newest first; none when it cannot be read.
    static QList<CachedPluginPackage> readCachedPackages();

    QJsonObject toJson() const;
    QString toText() const;

private:
    QString policyText() const;
};
