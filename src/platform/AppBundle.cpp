#include "AppBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>

namespace {

// Walks the C nodes: libplist++ 2.2 leaves arrays nested in a dictionary without their items, and
// indexing them throws, so any Info.plist with an array would take the tool down.
QVariant toVariant(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        // By pointer and length: libplist asserts (and aborts) when a copied text holds a NUL.
        uint64_t length = 0;
        const char *value = plist_get_string_ptr(node, &length);
        return value ? QString::fromUtf8(value, qsizetype(length)) : QString();
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

struct AppBundle::CachedInfo
{
    std::once_flag read;
    QVariantMap info;
};

AppBundle::AppBundle(const QString &bundlePath)
    : m_path(QDir::cleanPath(bundlePath))
{
}

AppBundle AppBundle::main()
{
    // Before the application object exists the executable's path is unknown: nothing to keep.
    if (!QCoreApplication::instance())
        return containingExecutable(QCoreApplication::applicationFilePath());
    static const AppBundle running = [] {
        AppBundle bundle = containingExecutable(QCoreApplication::applicationFilePath());
        if (bundle.isValid())
            bundle.m_cachedInfo = std::make_shared<CachedInfo>();
        return bundle;
    }();
    return running;
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
    if (!isValid())
        return {};
    if (!m_cachedInfo)
        return readPropertyList(infoPlistPath());
    std::call_once(m_cachedInfo->read, [this] { m_cachedInfo->info = readPropertyList(infoPlistPath()); });
    return m_cachedInfo->info;
}

QString AppBundle::identifierIn(const QVariantMap &infoDictionary)
{
    const QVariant value = infoDictionary.value(QStringLiteral("CFBundleIdentifier"));
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
    // An Info.plist is a few KiB; anything beyond 32-bit lengths is no property list of ours.
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return {};
    // The C parser only: libplist++ 2.2's wrappers leak the item nodes of a top-level array.
    plist_t root = nullptr;
    if (bytes.startsWith("bplist00")) {
        // A binary list may carry texts with a NUL inside, on which libplist 2.2's key reader
        // asserts and takes the process down; its XML form reads back without them.
        plist_t binary = nullptr;
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &binary);
        const std::unique_ptr<void, void (*)(plist_t)> binaryOwner(binary, &plist_free);
        char *xml = nullptr;
        uint32_t length = 0;
        if (binary)
            plist_to_xml(binary, &xml, &length);
        if (xml)
            plist_from_xml(xml, length, &root);
        std::free(xml);
    } else {
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
    }
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, &plist_free);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return {};
    return toVariant(root).toMap();
}
