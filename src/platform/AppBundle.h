#pragma once

#include <QString>
#include <QVariantMap>

// An application bundle "X.app/Contents/{Info.plist, MacOS/, Resources/}", laid out the same on
// every platform. A program started outside any bundle has an invalid main bundle.
class AppBundle
{
public:
    AppBundle() = default;
    explicit AppBundle(const QString &bundlePath);

    // The bundle that holds the running executable, if any.
    static AppBundle main();
    // The bundle enclosing an executable path ".../X.app/Contents/MacOS/<exe>", if any.
    static AppBundle containingExecutable(const QString &executablePath);

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString resourcePath() const;
    QString infoPlistPath() const;
    // The information dictionary, read afresh (XML or binary); empty when missing or unreadable.
    QVariantMap infoDictionary() const;
    QVariant infoValue(const QString &key) const { return infoDictionary().value(key); }
    QString identifier() const;

    // Reads a property list file whose top level is a dictionary.
    static QVariantMap readPropertyList(const QString &filePath);
    // The same for the bytes of a property list (XML or binary); empty when they are none.
    static QVariantMap propertyListFromBytes(const QByteArray &bytes);

private:
    QString m_path;
};
