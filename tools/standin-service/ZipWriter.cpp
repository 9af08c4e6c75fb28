#include "ZipWriter.h"

#include <QtEndian>

#include <array>

namespace {

quint32 crc32(const QByteArray &data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

constexpr quint16 utf8NamesFlag = 0x0800;
constexpr quint16 dosTime = 0x6000; // 12:00:00
constexpr quint16 dosDate = 0x5A21; // 2025-01-01

} // namespace

ZipWriter::ZipWriter(const QString &path)
    : m_file(path)
{
    m_failed = !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// The fields a local header and a central directory record share, from "version needed" to the
// extra field's length.
void ZipWriter::putEntryFields(QByteArray &out, const CentralEntry &entry)
{
    put16(out, 20);
    put16(out, utf8NamesFlag);
    put16(out, 0); // stored
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, entry.crc);
    put32(out, entry.size);
    put32(out, entry.size);
    put16(out, quint16(entry.name.size()));
    put16(out, 0); // extra field length
}

void ZipWriter::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) != bytes.size())
        m_failed = true;
}

void ZipWriter::addFile(const QString &name, const QByteArray &data)
{
    const CentralEntry entry{name.toUtf8(), crc32(data), quint32(data.size()), quint32(m_file.pos())};
    QByteArray header;
    put32(header, 0x04034b50);
    putEntryFields(header, entry);
    header.append(entry.name);
    write(header);
    write(data);
    m_entries.append(entry);
}

bool ZipWriter::close()
{
    const quint32 directoryOffset = quint32(m_file.pos());
    QByteArray directory;
    for (const CentralEntry &entry : std::as_const(m_entries)) {
        put32(directory, 0x02014b50);
        put16(directory, 0x031E); // made by Unix, ZIP 3.0
        putEntryFields(directory, entry);
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number
        put16(directory, 0); // internal attributes
        put32(directory, 0100644u << 16); // regular file, rw-r--r--
        put32(directory, entry.offset);
        directory.append(entry.name);
    }
    QByteArray end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, quint16(m_entries.size()));
    put16(end, quint16(m_entries.size()));
    put32(end, quint32(directory.size()));
    put32(end, directoryOffset);
    put16(end, 0);
    directory.append(end);
    write(directory);
    m_file.close();
    return !m_failed;
}
