#include "ManagedPolicy.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace {

const QString vendorSource = QStringLiteral("vendor");

const QList<QPair<QString, ManagedPolicy::UpdateCheck>> &updateCheckNames()
{
    static const QList<QPair<QString, ManagedPolicy::UpdateCheck>> names = {
        {QStringLiteral("atStart"), ManagedPolicy::UpdateCheck::AtStart},
        {QStringLiteral("daily"), ManagedPolicy::UpdateCheck::Daily},
        {QStringLiteral("manual"), ManagedPolicy::UpdateCheck::Manual},
    };
    return names;
}

// Thrown inside the reading of values; the origin is added where the values came from.
struct InvalidValue
{
    QString reason;
};

std::optional<QUrl> mirrorRoot(const QString &text)
{
    if (text == vendorSource)
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    const bool remote = (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
    const bool local = scheme == u"file" && url.host().isEmpty() && url.path().startsWith(u'/');
    if (!url.isValid() || (!remote && !local) || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        throw InvalidValue{QStringLiteral("“packageSource”应为 vendor 或镜像的 http、https、file 地址")};
    if (!url.path().endsWith(u'/'))
        url.setPath(url.path() + u'/');
    return url;
}

} // namespace

ManagedPolicy ManagedPolicy::fromValues(const QJsonObject &values, const QStringList &origins)
{
    ManagedPolicy policy;
    policy.m_origins = origins;
    try {
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            policy.applyValue(it.key(), it.value());
    } catch (const InvalidValue &invalid) {
        return ManagedPolicy::invalid(origins.join(QStringLiteral("、")), invalid.reason);
    }
    return policy;
}

void ManagedPolicy::applyValue(const QString &key, const QJsonValue &value)
{
    if (key == packageSourceKey && value.isString()) {
        m_mirror = mirrorRoot(value.toString());
    } else if (key == pinnedVersionKey && value.isString()) {
        static const QRegularExpression dotted(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
        if (!dotted.match(value.toString()).hasMatch())
            throw InvalidValue{QStringLiteral("“pinnedVersion”应为 1.4.2 这样的版本号")};
        m_pinnedVersion = value.toString();
    } else if (key == showOnlinePagesKey && value.isBool()) {
        m_showOnlinePages = value.toBool();
    } else if (key == updateCheckKey && value.isString()) {
        const auto &names = updateCheckNames();
        const auto found = std::find_if(names.cbegin(), names.cend(),
                                        [&value](const auto &name) { return name.first == value.toString(); });
        if (found == names.cend())
            throw InvalidValue{QStringLiteral("“updateCheck”应为 atStart、daily 或 manual")};
        m_updateCheck = found->second;
    } else {
        throw InvalidValue{QStringLiteral("不认识的设置或类型不对：“") + key + QStringLiteral("”")};
    }
}

ManagedPolicy ManagedPolicy::invalid(const QString &origin, const QString &reason)
{
    ManagedPolicy policy;
    policy.m_origins = QStringList{origin};
    FailureDetails details;
    details.path = origin;
    details.output = reason;
    policy.m_problem = Failure(FailureKind::PolicyInvalid, std::move(details));
    policy.m_showOnlinePages = false;
    policy.m_updateCheck = UpdateCheck::Manual;
    return policy;
}

void ManagedPolicy::requireValid() const
{
    if (m_problem)
        throw *m_problem;
}

QString ManagedPolicy::problemSentence() const
{
    return m_problem ? m_problem->sentence() : QString();
}

std::exception_ptr ManagedPolicy::problem() const
{
    return m_problem ? std::make_exception_ptr(*m_problem) : std::exception_ptr();
}

QString ManagedPolicy::summary() const
{
    if (!isSet() || !isValid())
        return problemSentence();
    QString text = QStringLiteral("本机由 IT 部门管理：插件从")
        + (m_mirror ? QStringLiteral("内部镜像 ") + m_mirror->toString(QUrl::PreferLocalFile) + QStringLiteral(" ")
                    : QStringLiteral(" Corvanta 服务"))
        + QStringLiteral("安装");
    if (!m_pinnedVersion.isNull())
        text += QStringLiteral("，版本锁定为 ") + m_pinnedVersion + QStringLiteral("，不会安装更新的版本");
    if (!m_showOnlinePages)
        text += QStringLiteral("，在线页面已关闭");
    return text + QStringLiteral("。");
}

QJsonObject ManagedPolicy::toJson() const
{
    const auto name = std::find_if(updateCheckNames().cbegin(), updateCheckNames().cend(),
                                   [this](const auto &entry) { return entry.second == m_updateCheck; });
    const auto nullable = [](const QString &text) { return text.isNull() ? QJsonValue() : QJsonValue(text); };
    return QJsonObject{
        {QStringLiteral("origins"), QJsonArray::fromStringList(m_origins)},
        {QStringLiteral("valid"), isValid()},
        {QStringLiteral("problem"), nullable(problemSentence())},
        {packageSourceKey, m_mirror ? m_mirror->toString() : vendorSource},
        {pinnedVersionKey, nullable(m_pinnedVersion)},
        {showOnlinePagesKey, m_showOnlinePages},
        {updateCheckKey, name->first},
    };
}
