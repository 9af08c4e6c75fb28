#include "PublishXmlEdit.h"

#include "core/AddinIdentity.h"
#include "core/Failure.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

namespace PublishXmlEdit {

namespace {

const QString rootName = QStringLiteral("jsplugins");

[[noreturn]] void refuse()
{
    FailureDetails details;
    details.path = QStringLiteral("publish.xml");
    throw Failure(FailureKind::UnrecognisedWpsFile, details);
}

// The file as text, with what it takes to write it back the same way.
struct Decoded
{
    QByteArray bom;
    QByteArray encoding;
    QString text;
};

struct Bom
{
    QByteArray bytes;
    const char *encoding;
};

Decoded decode(const QByteArray &file)
{
    static const Bom boms[] = {{QByteArray("\xEF\xBB\xBF"), "UTF-8"},
                               {QByteArray("\xFF\xFE\x00\x00", 4), "UTF-32LE"},
                               {QByteArray("\x00\x00\xFE\xFF", 4), "UTF-32BE"},
                               {QByteArray("\xFF\xFE"), "UTF-16LE"},
                               {QByteArray("\xFE\xFF"), "UTF-16BE"}};
    Decoded decoded;
    for (const Bom &bom : boms) {
        if (file.startsWith(bom.bytes)) {
            decoded.bom = bom.bytes;
            decoded.encoding = bom.encoding;
            break;
        }
    }
    const QByteArray body = file.mid(decoded.bom.size());
    if (decoded.encoding.isEmpty()) {
        // Without a mark the declaration names the encoding; the reader finds it as the XML rules say.
        QXmlStreamReader declaration(body);
        if (declaration.readNext() == QXmlStreamReader::StartDocument)
            decoded.encoding = declaration.documentEncoding().toLatin1();
        if (decoded.encoding.isEmpty())
            decoded.encoding = "UTF-8";
    }
    const auto flags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    QStringDecoder decoder(decoded.encoding.constData(), flags);
    if (!decoder.isValid())
        refuse();
    decoded.text = decoder.decode(body);
    // Only a text that encodes back to the very same bytes can be edited without changing others.
    QStringEncoder encoder(decoded.encoding.constData(), flags);
    if (decoder.hasError() || QByteArray(encoder.encode(decoded.text)) != body)
        refuse();
    // A second byte-order mark is no XML, and the reader skips it without counting it: its
    // offsets would point one character before each tag.
    if (decoded.text.startsWith(QChar(0xFEFF)))
        refuse();
    return decoded;
}

QByteArray encode(const Decoded &decoded, const QString &text)
{
    QStringEncoder encoder(decoded.encoding.constData(), QStringConverter::Flag::ConvertInitialBom);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        refuse();
    return decoded.bom + bytes;
}

bool isUnicode(const QByteArray &encoding)
{
    return encoding.toUpper().startsWith("UTF-");
}

bool isPluginElement(const QXmlStreamReader &reader)
{
    const QStringView name = reader.qualifiedName();
    if (name != u"jsplugin" && name != u"jspluginonline")
        return false;
    return AddinIdentity::isOwnEntry(reader.attributes().value(QLatin1String("name")),
                                     reader.attributes().value(QLatin1String("url")));
}

struct Span
{
    qsizetype start = 0;
    qsizetype end = 0;
};

// Where the list's parts are, in characters of the decoded text.
struct Layout
{
    Span rootOpen;
    // Start of the root's closing tag; -1 when the root closes itself (`<jsplugins/>`).
    qsizetype rootClose = -1;
    QList<Span> children;
    QList<Span> pluginElements;
};

// A tag's "<": no literal "<" can stand inside a tag, so it is the last one before its end.
qsizetype tagStart(const QString &text, qsizetype tagEnd)
{
    return text.lastIndexOf(QLatin1Char('<'), tagEnd - 1);
}

// The reader reports where each token ends; a tag's start is found from there.
Layout layoutOf(const QString &text)
{
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    Layout layout;
    int depth = 0;
    bool sawRoot = false;
    Span child;
    bool childIsPlugin = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const qsizetype offset = reader.characterOffset();
        // Entities and attribute defaults of a DOCTYPE make the reader's text differ from the
        // file's, so its offsets no longer point at the elements they name.
        if (token == QXmlStreamReader::DTD)
            refuse();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0) {
                if (sawRoot || reader.qualifiedName() != rootName)
                    refuse();
                sawRoot = true;
                layout.rootOpen = {tagStart(text, offset), offset};
            } else if (depth == 1) {
                child = {tagStart(text, offset), offset};
                childIsPlugin = isPluginElement(reader);
            }
            ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (depth == 0 && offset != layout.rootOpen.end) {
                layout.rootClose = tagStart(text, offset);
            } else if (depth == 1) {
                child.end = offset;
                layout.children.append(child);
                if (childIsPlugin)
                    layout.pluginElements.append(child);
            }
        }
    }
    if (reader.hasError() || !sawRoot)
        refuse();
    return layout;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// Start of the blanks before `position` on its line.
qsizetype blanksBefore(const QString &text, qsizetype position)
{
    while (position > 0 && isBlank(text.at(position - 1)))
        --position;
    return position;
}

bool startsLine(const QString &text, qsizetype position)
{
    return position == 0 || isLineEnd(text.at(position - 1));
}

// An element alone on its line goes with its indentation and line end; one that shares its line
// goes with the blanks that separate it from what stands before it (or, at the line's start,
// after it), so what remains on the line keeps its place.
Span removalOf(const QString &text, Span element)
{
    const qsizetype before = blanksBefore(text, element.start);
    qsizetype after = element.end;
    while (after < text.size() && isBlank(text.at(after)))
        ++after;
    const bool lineStart = startsLine(text, before);
    const bool lineEnd = after == text.size() || isLineEnd(text.at(after));
    if (lineStart && lineEnd) {
        if (after < text.size() && text.at(after) == QLatin1Char('\r'))
            ++after;
        if (after < text.size() && text.at(after) == QLatin1Char('\n'))
            ++after;
        return {before, after};
    }
    return lineStart ? Span{element.start, after} : Span{before, element.end};
}

QString lineEndOf(const QString &text)
{
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    if (newline < 0)
        return text.contains(QLatin1Char('\r')) ? QStringLiteral("\r") : QString();
    return newline > 0 && text.at(newline - 1) == QLatin1Char('\r') ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

// The indentation of the first child that starts a line; two blanks when none does.
QString indentationOf(const QString &text, const Layout &layout)
{
    for (const Span &child : layout.children) {
        const qsizetype before = blanksBefore(text, child.start);
        if (startsLine(text, before))
            return text.mid(before, child.start - before);
    }
    return QStringLiteral("  ");
}

QString escapedAttribute(const QString &value, bool unicode)
{
    QString escaped;
    for (const char32_t c : value.toUcs4()) {
        if (c == U'&')
            escaped += QLatin1String("&amp;");
        else if (c == U'<')
            escaped += QLatin1String("&lt;");
        else if (c == U'>')
            escaped += QLatin1String("&gt;");
        else if (c == U'"')
            escaped += QLatin1String("&quot;");
        else if (c < 0x20 || (c > 0x7E && !unicode))
            escaped += QStringLiteral("&#x%1;").arg(uint(c), 0, 16);
        else
            escaped += QString::fromUcs4(&c, 1);
    }
    return escaped;
}

QString pluginElement(const QString &url, const QString &version, bool unicode)
{
    return QStringLiteral("<jsplugin name=\"CorvantaAnalysis\" type=\"et\" url=\"") + escapedAttribute(url, unicode)
        + QStringLiteral("\" version=\"") + escapedAttribute(version, unicode) + QStringLiteral("\"/>");
}

struct Splice
{
    Span span;
    QString replacement;
};

// Applied from the end backwards, so every span still means the original text.
QString applied(QString text, QList<Splice> splices)
{
    std::sort(splices.begin(), splices.end(),
              [](const Splice &a, const Splice &b) { return a.span.start > b.span.start; });
    qsizetype limit = text.size();
    for (const Splice &splice : splices) {
        // Two removals that share blanks: the later one already took them.
        const qsizetype end = std::min(splice.span.end, limit);
        text.replace(splice.span.start, std::max<qsizetype>(end - splice.span.start, 0), splice.replacement);
        limit = splice.span.start;
    }
    return text;
}

QList<Splice> removals(const QString &text, const QList<Span> &elements)
{
    QList<Splice> splices;
    for (const Span &element : elements)
        splices.append({removalOf(text, element), QString()});
    return splices;
}

// Where a new last child goes: at the start of the closing tag's line when it has one of its own,
// else right before the closing tag (a self-closing root is opened up first).
Splice appended(const QString &text, const Layout &layout, const QString &element)
{
    const QString lineEnd = lineEndOf(text);
    const QString indentation = lineEnd.isEmpty() ? QString() : indentationOf(text, layout);
    if (layout.rootClose < 0) {
        const qsizetype slash = text.lastIndexOf(QLatin1Char('/'), layout.rootOpen.end - 1);
        return {{slash, layout.rootOpen.end},
                QStringLiteral(">") + lineEnd + indentation + element + lineEnd + QStringLiteral("</") + rootName
                    + QStringLiteral(">")};
    }
    const qsizetype lineStart = blanksBefore(text, layout.rootClose);
    if (!lineEnd.isEmpty() && startsLine(text, lineStart))
        return {{lineStart, lineStart}, indentation + element + lineEnd};
    return {{layout.rootClose, layout.rootClose}, lineEnd + indentation + element + lineEnd};
}

bool isBlankText(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace

QByteArray withoutPluginEntries(const QByteArray &file)
{
    const Decoded decoded = decode(file);
    if (isBlankText(decoded.text))
        return file;
    const Layout layout = layoutOf(decoded.text);
    if (layout.pluginElements.isEmpty())
        return file;
    return encode(decoded, applied(decoded.text, removals(decoded.text, layout.pluginElements)));
}

QByteArray withPluginEntry(const QByteArray &file, const QString &url, const QString &version)
{
    const Decoded decoded = decode(file);
    const QString element = pluginElement(url, version, isUnicode(decoded.encoding));
    if (isBlankText(decoded.text)) {
        const QString list = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins>\n  ") + element
            + QStringLiteral("\n</jsplugins>\n");
        return (decoded.bom == "\xEF\xBB\xBF" ? decoded.bom : QByteArray()) + list.toUtf8();
    }
    const Layout layout = layoutOf(decoded.text);
    QList<Splice> splices;
    if (layout.pluginElements.isEmpty()) {
        splices.append(appended(decoded.text, layout, element));
    } else {
        splices = removals(decoded.text, layout.pluginElements.mid(1));
        splices.append({layout.pluginElements.first(), element});
    }
    return encode(decoded, applied(decoded.text, splices));
}

} // namespace PublishXmlEdit
