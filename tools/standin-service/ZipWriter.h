#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// Writes a ZIP archive of stored (uncompressed) entries. Entry names are written exactly as
// given, so hostile names such as "../x" can be produced on purpose.
class ZipWriter
{
public:
    explicit ZipWriter(const QString &path);

    bool isOpen() const { return m_file.isOpen(); }
    void addFile(const QString &name, const QByteArray &data);
    // Finishes the central directory; false when anything could not be written.
    bool close();

private:
    struct CentralEntry
    {
        QByteArray name;
        quint32 crc;
        quint32 size;
        quint32 offset;
    };

    static void putEntryFields(QByteArray &out, const CentralEntry &entry);
    void write(const QByteArray &bytes);

    QFile m_file;
    QList<CentralEntry> m_entries;
    bool m_failed = false;
};
