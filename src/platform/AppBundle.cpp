#include "AppBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist++.h>

#include <cstdlib>
#include <memory>

namespace {

// Walks the C nodes: libplist++ 2.2 leaves arrays nested in a dictionary without their items, and
// indexing them throws, so any Info.plist with an array would take the tool down.
QVariant toVariant(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char *value = nullptr;
        plist_get_string_val(node, &value);
        const QString text = QString::fromUtf8(value ? value : "");
        std::free(value);
        return text;
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant::fromValue<qint64>(qint64(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const QByteArray data(bytes, qsizetype(length));
        std::free(bytes);
        return data;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!key)
                break;
            if (value)
                map.insert(QString::fromUtf8(key), toVariant(value));
            std::free(key);
        }
        std::free(iter);
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
    return propertyListFromBytes(file.readAll());
}

QVariantMap AppBundle::propertyListFromBytes(const QByteArray &bytes)
{
    std::unique_ptr<PList::Structure> root;
    if (bytes.startsWith("bplist00"))
        root.reset(PList::Structure::FromBin(std::vector<char>(bytes.begin(), bytes.end())));
    else
        root.reset(PList::Structure::FromXml(bytes.toStdString()));
    if (!root || root->GetType() != PLIST_DICT)
        return {};
    return toVariant(root->GetPlist()).toMap();
}
