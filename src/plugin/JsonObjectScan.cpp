#include "JsonObjectScan.h"

#include <QSet>
#include <QStringDecoder>

namespace JsonObjectScan {

namespace {

// Members are recorded down to this depth (the top level is 0): groups and their entries.
constexpr int recordedDepth = 1;
// Deeper than any list WPS writes and than QJsonDocument reads.
constexpr int maximumDepth = 1024;

struct Unscannable
{
};

class Scanner
{
public:
    explicit Scanner(const QByteArray &text) : m_text(text) {}

    Member document()
    {
        if (m_text.startsWith("\xEF\xBB\xBF"))
            m_position = 3;
        skipBlanks();
        if (peek() != '{')
            throw Unscannable();
        Member root;
        root.valueStart = m_position;
        root.isObject = true;
        object(root, 0);
        root.end = m_position;
        skipBlanks();
        if (m_position != m_text.size())
            throw Unscannable();
        return root;
    }

private:
    char peek() const { return m_position < m_text.size() ? m_text.at(m_position) : '\0'; }

    void expect(char c)
    {
        if (peek() != c)
            throw Unscannable();
        ++m_position;
    }

    void skipBlanks()
    {
        while (m_position < m_text.size()) {
            const char c = m_text.at(m_position);
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return;
            ++m_position;
        }
    }

    // `into` gets the members when its depth is recorded.
    void object(Member &into, int depth)
    {
        expect('{');
        skipBlanks();
        QSet<QString> keys;
        if (peek() == '}') {
            ++m_position;
            return;
        }
        while (true) {
            skipBlanks();
            Member member;
            member.start = m_position;
            member.key = string();
            if (keys.contains(member.key))
                throw Unscannable();
            keys.insert(member.key);
            skipBlanks();
            expect(':');
            skipBlanks();
            member.valueStart = m_position;
            member.isObject = peek() == '{';
            value(member, depth + 1);
            member.end = m_position;
            if (depth <= recordedDepth)
                into.members.append(std::move(member));
            skipBlanks();
            if (peek() == '}') {
                ++m_position;
                return;
            }
            expect(',');
        }
    }

    void array(int depth)
    {
        expect('[');
        skipBlanks();
        if (peek() == ']') {
            ++m_position;
            return;
        }
        while (true) {
            skipBlanks();
            Member ignored;
            value(ignored, depth + 1);
            skipBlanks();
            if (peek() == ']') {
                ++m_position;
                return;
            }
            expect(',');
        }
    }

    void value(Member &member, int depth)
    {
        if (depth > maximumDepth)
            throw Unscannable();
        const char c = peek();
        if (c == '{')
            object(member, depth);
        else if (c == '[')
            array(depth);
        else if (c == '"')
            string();
        else if (c == '-' || (c >= '0' && c <= '9'))
            number();
        else if (!literal("true") && !literal("false") && !literal("null"))
            throw Unscannable();
    }

    bool literal(const char *word)
    {
        const QByteArrayView expected(word);
        if (m_text.size() - m_position < expected.size()
            || QByteArrayView(m_text).sliced(m_position, expected.size()) != expected)
            return false;
        m_position += expected.size();
        return true;
    }

    bool digits()
    {
        const qsizetype from = m_position;
        while (peek() >= '0' && peek() <= '9')
            ++m_position;
        return m_position > from;
    }

    void number()
    {
        if (peek() == '-')
            ++m_position;
        if (peek() == '0')
            ++m_position;
        else if (!digits())
            throw Unscannable();
        if (peek() == '.') {
            ++m_position;
            if (!digits())
                throw Unscannable();
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_position;
            if (peek() == '+' || peek() == '-')
                ++m_position;
            if (!digits())
                throw Unscannable();
        }
    }

    int hexDigit()
    {
        const char c = peek();
        ++m_position;
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw Unscannable();
    }

    char16_t codeUnit()
    {
        int unit = 0;
        for (int i = 0; i < 4; ++i)
            unit = unit * 16 + hexDigit();
        return char16_t(unit);
    }

    // After the backslash of "\u": one character, a surrogate pair taking two escapes.
    QString unicodeEscape()
    {
        const char16_t first = codeUnit();
        if (QChar::isLowSurrogate(first))
            throw Unscannable();
        if (!QChar::isHighSurrogate(first))
            return QString(QChar(first));
        if (!literal("\\u"))
            throw Unscannable();
        const char16_t second = codeUnit();
        if (!QChar::isLowSurrogate(second))
            throw Unscannable();
        return QString(QChar(first)) + QChar(second);
    }

    QString escape()
    {
        const char c = peek();
        ++m_position;
        switch (c) {
        case '"': return QStringLiteral("\"");
        case '\\': return QStringLiteral("\\");
        case '/': return QStringLiteral("/");
        case 'b': return QStringLiteral("\b");
        case 'f': return QStringLiteral("\f");
        case 'n': return QStringLiteral("\n");
        case 'r': return QStringLiteral("\r");
        case 't': return QStringLiteral("\t");
        case 'u': return unicodeEscape();
        default: throw Unscannable();
        }
    }

    QString utf8(qsizetype from, qsizetype to) const
    {
        // A string's leading U+FEFF is a character like any other (Qt's reader drops it: the two
        // then disagree on the key, and the edit refuses).
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        QString text = decoder.decode(QByteArrayView(m_text).sliced(from, to - from));
        if (decoder.hasError())
            throw Unscannable();
        return text;
    }

    QString string()
    {
        expect('"');
        QString text;
        qsizetype run = m_position;
        while (true) {
            if (m_position >= m_text.size())
                throw Unscannable();
            const unsigned char c = static_cast<unsigned char>(m_text.at(m_position));
            if (c < 0x20)
                throw Unscannable();
            if (c == '"' || c == '\\') {
                text += utf8(run, m_position);
                ++m_position;
                if (c == '"')
                    return text;
                text += escape();
                run = m_position;
                continue;
            }
            ++m_position;
        }
    }

    const QByteArray &m_text;
    qsizetype m_position = 0;
};

} // namespace

std::optional<Member> topLevelObject(const QByteArray &text)
{
    try {
        return Scanner(text).document();
    } catch (const Unscannable &) {
        return std::nullopt;
    }
}

} // namespace JsonObjectScan
