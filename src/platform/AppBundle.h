#pragma once

#include <QString>
#include <QVariantMap>

#include <memory>

// An application bundle "X.app/Contents/{Info.plist, MacOS/, Resources/}", laid out the same on
// every platform. A program started outside any bundle has an invalid main bundle.
class AppBundle
{
public:
    AppBundle() = default;
    explicit AppBundle(const QString &bundlePath);

    // The bundle that holds the running executable, if any. Its Info.plist does not change while the
    // program runs, so it is read once per process.
    static AppBundle main();
    // The bundle enclosing an executable path ".../X.app/Contents/MacOS/<exe>", if any.
    static AppBundle containingExecutable(const QString &executablePath);

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString resourcePath() const;
    QString infoPlistPath() const;
    // The information dictionary (XML or binary); empty when missing or unreadable. Read afresh on
    // every call, except for the running program's bundle.
    QVariantMap infoDictionary() const;
    QVariant infoValue(const QString &key) const { return infoDictionary().value(key); }
    QString identifier() const { return identifierIn(infoDictionary()); }
    // "CFBundleIdentifier" when it is text, else empty.
    static QString identifierIn(const QVariantMap &infoDictionary);

    // Reads a property list file whose top level is a dictionary.
    static QVariantMap readPropertyList(const QString &filePath);
    // The same for the bytes of a property list (XML or binary); empty when they are none.
    static QVariantMap propertyListFromBytes(const QByteArray &bytes);

private:
    struct CachedInfo;

    QString m_path;
    // Only on main(): shared by its copies, filled on the first look.
    std::shared_ptr<CachedInfo> m_cachedInfo;
};
