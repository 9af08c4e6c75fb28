#include "AppBundle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist++.h>

#include <memory>

namespace {

QVariant toVariant(const PList::Node *node)
{
    switch (node->GetType()) {
    case PLIST_STRING:
        return QString::fromStdString(static_cast<const PList::String *>(node)->GetValue());
    case PLIST_BOOLEAN:
        return static_cast<const PList::Boolean *>(node)->GetValue();
    case PLIST_UINT:
        return QVariant::fromValue<qint64>(static_cast<const PList::Integer *>(node)->GetValue());
    case PLIST_REAL:
        return static_cast<const PList::Real *>(node)->GetValue();
    case PLIST_DATA: {
        const std::vector<char> bytes = static_cast<const PList::Data *>(node)->GetValue();
        return QByteArray(bytes.data(), qsizetype(bytes.size()));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const auto *array = static_cast<const PList::Array *>(node);
        for (unsigned int i = 0; i < array->GetSize(); ++i)
            list.append(toVariant((*const_cast<PList::Array *>(array))[i]));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        auto *dict = const_cast<PList::Dictionary *>(static_cast<const PList::Dictionary *>(node));
        for (auto it = dict->Begin(); it != dict->End(); ++it)
            map.insert(QString::fromStdString(it->first), toVariant(it->second));
        return map;
    }
    default:
        return {};
    }
}

} // namespace

AppBundle::AppBundle(const QString &bundlePath)
    : m_path(QDir::cleanPath(bundlePath))
{
}

AppBundle AppBundle::main()
{
    return containingExecutable(QCoreApplication::applicationFilePath());
}

AppBundle AppBundle::containingExecutable(const QString &executablePath)
{
    QDir macOS = QFileInfo(executablePath).absoluteDir();
    if (macOS.dirName() != QLatin1String("MacOS") || !macOS.cdUp() || macOS.dirName() != QLatin1String("Contents")
        || !macOS.cdUp() || !macOS.dirName().endsWith(QLatin1String(".app")))
        return {};
    return AppBundle(macOS.absolutePath());
}

QString AppBundle::resourcePath() const
{
    return isValid() ? m_path + QStringLiteral("/Contents/Resources") : QString();
}

QString AppBundle::infoPlistPath() const
{
    return isValid() ? m_path + QStringLiteral("/Contents/Info.plist") : QString();
}

QVariantMap AppBundle::infoDictionary() const
{
    return isValid() ? readPropertyList(infoPlistPath()) : QVariantMap();
}

QString AppBundle::identifier() const
{
    const QVariant value = infoValue(QStringLiteral("CFBundleIdentifier"));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QVariantMap AppBundle::readPropertyList(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::unique_ptr<PList::Structure> root;
    if (bytes.startsWith("bplist00"))
        root.reset(PList::Structure::FromBin(std::vector<char>(bytes.begin(), bytes.end())));
    else
        root.reset(PList::Structure::FromXml(bytes.toStdString()));
    if (!root || root->GetType() != PLIST_DICT)
        return {};
    return toVariant(root.get()).toMap();
}
