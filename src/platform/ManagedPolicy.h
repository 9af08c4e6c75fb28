#pragma once

#include "core/Failure.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What the IT department has set for every user of the machine, which the window shows and cannot
// change: where packages come from, the version no install goes past, whether the vendor's online
// pages show, when the tool asks for updates by itself. A policy that cannot be read governs by
// refusing: nothing is installed, no online page shows and no update check runs by itself, so a
// broken policy never leaves a desktop less restricted than a good one would.
class ManagedPolicy
{
public:
    enum class UpdateCheck { AtStart, Daily, Manual };

    // The keys a policy may carry; anything else makes it invalid (a misspelt key must not be
    // silently ignored).
    static inline const QString packageSourceKey = QStringLiteral("packageSource");
    static inline const QString pinnedVersionKey = QStringLiteral("pinnedVersion");
    static inline const QString showOnlinePagesKey = QStringLiteral("showOnlinePages");
    static inline const QString updateCheckKey = QStringLiteral("updateCheck");

    // No policy: the vendor's service, no pin, online pages, a check at start.
    ManagedPolicy() = default;
    // The settings of `values` (later sources already merged in), read from `origins`.
    static ManagedPolicy fromValues(const QJsonObject &values, const QStringList &origins);
    // A policy at `origin` that cannot be used, for `reason`.
    static ManagedPolicy invalid(const QString &origin, const QString &reason);

    bool isSet() const { return !m_origins.isEmpty(); }
    bool isValid() const { return !m_problem; }
    // Where it was read from (files, or the managed preferences' domain); empty without a policy.
    const QStringList &origins() const { return m_origins; }
    // The mirror's root, always ending in "/"; absent: the vendor's service.
    const std::optional<QUrl> &mirror() const { return m_mirror; }
    // Null when none is pinned.
    const QString &pinnedVersion() const { return m_pinnedVersion; }
    bool showsOnlinePages() const { return m_showOnlinePages; }
    UpdateCheck updateCheck() const { return m_updateCheck; }

    // Throws PolicyInvalid when the policy cannot be used.
    void requireValid() const;
    // The failure of an invalid policy, for the window and status; null when valid.
    QString problemSentence() const;
    std::exception_ptr problem() const;

    // What the window tells its user about the policy; null without one.
    QString summary() const;

    // The policy in force, for status --json: where it came from, its values, whether it is valid.
    QJsonObject toJson() const;

private:
    void applyValue(const QString &key, const QJsonValue &value);

    QStringList m_origins;
    std::optional<QUrl> m_mirror;
    QString m_pinnedVersion;
    bool m_showOnlinePages = true;
    UpdateCheck m_updateCheck = UpdateCheck::AtStart;
    std::optional<Failure> m_problem;
};
