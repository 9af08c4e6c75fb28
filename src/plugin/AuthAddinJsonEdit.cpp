#include "AuthAddinJsonEdit.h"

#include "core/AddinIdentity.h"
#include "core/Failure.h"
#include "plugin/JsonObjectScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <algorithm>

namespace AuthAddinJsonEdit {

namespace {

using JsonObjectScan::Member;

const QString namelistKey = QStringLiteral("namelist");
const QString spreadsheetGroup = QStringLiteral("et");

[[noreturn]] void refuse()
{
    FailureDetails details;
    details.path = QStringLiteral("authaddin.json");
    throw Failure(FailureKind::UnrecognisedWpsFile, details);
}

bool sameKeys(const QList<Member> &members, const QJsonObject &object)
{
    QStringList keys;
    for (const Member &member : members)
        keys.append(member.key);
    keys.sort();
    QStringList parsed = object.keys();
    parsed.sort();
    return keys == parsed;
}

// The file as parsed and as scanned; the two must name the same groups and entries, or the edit
// would act on something else than what was checked.
struct Registry
{
    QJsonObject object;
    Member layout;
};

std::optional<Registry> registryOf(const QByteArray &file)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(FailureKind::NotJson);
    if (!document.isObject())
        return std::nullopt;
    std::optional<Member> layout = JsonObjectScan::topLevelObject(file);
    if (!layout || !sameKeys(layout->members, document.object()))
        refuse();
    for (const Member &group : std::as_const(layout->members)) {
        if (group.isObject && !sameKeys(group.members, document.object().value(group.key).toObject()))
            refuse();
    }
    return Registry{document.object(), *layout};
}

bool isOwnEntry(const QJsonValue &entry)
{
    if (!entry.isObject())
        return false;
    // Only text names or locates an add-in: a nested object that merely mentions our folder, written
    // out as text, would make another add-in's entry look like ours.
    const auto text = [&entry](const QString &key) { return entry.toObject().value(key).toString(); };
    return AddinIdentity::isOwnEntry(text(QStringLiteral("name")), text(QStringLiteral("path")));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// How the file lays itself out, read from its top-level object; Qt's indented form where it says
// nothing.
struct Style
{
    QByteArray newline = "\n";
    QByteArray unit = "    ";
    QByteArray colon = ": ";
    QByteArray space = " ";
};

QByteArray between(const QByteArray &file, qsizetype from, qsizetype to)
{
    return file.mid(from, to - from);
}

// The blanks that follow the comma after the container's first member (or its opening brace).
QByteArray separatorIn(const QByteArray &file, const Member &container)
{
    const QList<Member> &members = container.members;
    if (members.size() < 2)
        return between(file, container.valueStart + 1, members.value(0).start);
    const QByteArray gap = between(file, members[0].end, members[1].start);
    return gap.mid(gap.indexOf(',') + 1);
}

// A lone carriage return ends a line as well: taken for a blank, it would become part of the indent.
qsizetype lastLineBreak(const QByteArray &text, qsizetype from)
{
    return qMax(text.lastIndexOf('\n', from), text.lastIndexOf('\r', from));
}

QByteArray afterLastNewline(const QByteArray &blanks)
{
    return blanks.mid(lastLineBreak(blanks, -1) + 1);
}

// The blanks at the start of the line that holds `position`.
QByteArray lineIndent(const QByteArray &file, qsizetype position)
{
    const qsizetype lineStart = lastLineBreak(file, position - 1) + 1;
    qsizetype end = lineStart;
    while (end < position && (file.at(end) == ' ' || file.at(end) == '\t'))
        ++end;
    return between(file, lineStart, end);
}

Style styleOf(const QByteArray &file, const Member &root)
{
    Style style;
    if (root.members.isEmpty())
        return style;
    // The colon with the spaces or tabs beside it on its line; a line break there is not copied.
    const Member &first = root.members.first();
    const qsizetype colon = file.lastIndexOf(':', first.valueStart - 1);
    qsizetype from = colon;
    while (file.at(from - 1) == ' ' || file.at(from - 1) == '\t')
        --from;
    qsizetype to = colon + 1;
    while (file.at(to) == ' ' || file.at(to) == '\t')
        ++to;
    style.colon = between(file, from, to);
    const QByteArray lead = separatorIn(file, root);
    if (!lead.contains('\n')) {
        style.newline.clear();
        style.space = lead;
    } else {
        style.newline = lead.contains('\r') ? "\r\n" : "\n";
        // One step deeper than the line the object opens on.
        const QByteArray outer = lineIndent(file, root.valueStart);
        const QByteArray inner = afterLastNewline(lead);
        if (inner.size() > outer.size() && inner.startsWith(outer))
            style.unit = inner.mid(outer.size());
    }
    return style;
}

QByteArray encoded(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

struct NewMember
{
    QString key;
    QJsonValue value;
};

QByteArray rendered(const NewMember &member, const QByteArray &indent, const Style &style);

QByteArray renderedObject(const QList<NewMember> &members, const QByteArray &indent, const Style &style)
{
    if (members.isEmpty())
        return "{}";
    const QByteArray inner = indent + style.unit;
    const QByteArray separator = style.newline.isEmpty() ? style.space : style.newline + inner;
    QByteArray text = "{" + (style.newline.isEmpty() ? QByteArray() : separator);
    for (qsizetype i = 0; i < members.size(); ++i)
        text += (i > 0 ? "," + separator : QByteArray()) + rendered(members[i], inner, style);
    return text + style.newline + (style.newline.isEmpty() ? QByteArray() : indent) + "}";
}

QByteArray rendered(const NewMember &member, const QByteArray &indent, const Style &style)
{
    QByteArray value;
    if (member.value.isObject()) {
        QList<NewMember> fields;
        const QJsonObject object = member.value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            fields.append({it.key(), it.value()});
        value = renderedObject(fields, indent, style);
    } else {
        value = encoded(member.value);
    }
    return encoded(member.key) + style.colon + value;
}

struct Splice
{
    qsizetype start = 0;
    qsizetype end = 0;
    QByteArray text;
};

// Applied from the end backwards, so every position still means the original bytes.
QByteArray applied(QByteArray file, QList<Splice> splices)
{
    std::stable_sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) {
        return a.start != b.start ? a.start > b.start : a.end > b.end;
    });
    for (const Splice &splice : std::as_const(splices))
        file.replace(splice.start, splice.end - splice.start, splice.text);
    return file;
}

// One object's change: members that go, one that another takes the place of, members added last.
struct ObjectEdit
{
    QList<bool> removed;
    qsizetype replaced = -1;
    NewMember replacement;
    QList<NewMember> added;
};

// Removed members go with the comma and blanks before the next kept one (or, at the end, after
// the previous kept one); added members follow the last kept one with the object's own separator.
QList<Splice> splicesOf(const QByteArray &file, const Member &object, const ObjectEdit &edit, const Style &style)
{
    const QList<Member> &members = object.members;
    QList<Splice> splices;
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < members.size(); ++i) {
        if (!edit.removed[i] || i == edit.replaced)
            kept.append(i);
    }
    if (kept.isEmpty()) {
        const QByteArray indent = lineIndent(file, object.valueStart);
        QByteArray text = renderedObject(edit.added, indent, style);
        splices.append({object.valueStart, object.end, text});
        return splices;
    }
    for (qsizetype i = 0; i < members.size(); ++i) {
        if (!edit.removed[i] || i == edit.replaced || (i > 0 && edit.removed[i - 1] && i - 1 != edit.replaced))
            continue;
        qsizetype last = i;
        while (last + 1 < members.size() && edit.removed[last + 1] && last + 1 != edit.replaced)
            ++last;
        if (last + 1 < members.size())
            splices.append({members[i].start, members[last + 1].start, {}});
        else
            splices.append({members[i - 1].end, members[last].end, {}});
    }
    // On one line, members are spaced as this object spaces its own.
    const QByteArray separator = separatorIn(file, object);
    Style oneLine = style;
    oneLine.newline.clear();
    if (!separator.contains('\n'))
        oneLine.space = separator;
    if (edit.replaced >= 0) {
        const Member &old = members[edit.replaced];
        // Laid out on lines only when the file lays out its members so; otherwise as this object spaces
        // its own, so that registering again finds and writes the same text.
        const bool lines = between(file, old.start, old.end).contains('\n') && !style.newline.isEmpty();
        splices.append({old.start, old.end, rendered(edit.replacement, lineIndent(file, old.start), lines ? style : oneLine)});
    }
    const Style &local = separator.contains('\n') ? style : oneLine;
    QByteArray text;
    for (const NewMember &member : edit.added)
        text += "," + separator + rendered(member, afterLastNewline(separator), local);
    if (!text.isEmpty())
        splices.append({members[kept.last()].end, members[kept.last()].end, text});
    return splices;
}

// The group's entry keys that stay, sorted, with `addedKey` when one is added.
QString namelistOf(const Member &group, const QList<bool> &removed, const QString &addedKey,
                   const QJsonObject &parsed)
{
    QStringList keys;
    for (qsizetype i = 0; i < group.members.size(); ++i) {
        const QString &key = group.members[i].key;
        if (!removed[i] && key != namelistKey && parsed.value(key).isObject())
            keys.append(key);
    }
    if (!addedKey.isEmpty())
        keys.append(addedKey);
    keys.sort();
    return keys.join(QLatin1Char(';'));
}

// The group's splices when it held an entry of the add-in or gains one (`entry`); none otherwise.
QList<Splice> groupSplices(const QByteArray &file, const Member &group, const QJsonObject &parsed,
                           const std::optional<NewMember> &entry, const Style &style)
{
    ObjectEdit edit;
    bool held = false;
    for (const Member &member : group.members) {
        const bool own = member.key != namelistKey
            && (isOwnEntry(parsed.value(member.key)) || (entry && member.key == entry->key));
        edit.removed.append(own);
        if (own && edit.replaced < 0 && entry)
            edit.replaced = edit.removed.size() - 1;
        held = held || own;
    }
    if (!held && !entry)
        return {};
    if (entry && edit.replaced >= 0)
        edit.replacement = *entry;
    else if (entry)
        edit.added.append(*entry);
    const QString namelist = namelistOf(group, edit.removed, entry ? entry->key : QString(), parsed);
    QList<Splice> splices;
    const auto existing = std::find_if(group.members.begin(), group.members.end(),
                                       [](const Member &member) { return member.key == namelistKey; });
    if (existing != group.members.end())
        splices.append({existing->valueStart, existing->end, encoded(namelist)});
    else
        edit.added.append({namelistKey, namelist});
    return splices + splicesOf(file, group, edit, style);
}

QJsonObject entryValue(const QString &path)
{
    return {{QStringLiteral("name"), QStringLiteral("CorvantaAnalysis")},
            {QStringLiteral("path"), path},
            {QStringLiteral("enable"), true},
            {QStringLiteral("isload"), true}};
}

bool isBlankFile(const QByteArray &file)
{
    return std::all_of(file.begin(), file.end(), isBlank);
}

} // namespace

QByteArray withoutPluginEntries(const QByteArray &file)
{
    if (isBlankFile(file))
        return file;
    const std::optional<Registry> registry = registryOf(file);
    if (!registry)
        return file;
    const Style style = styleOf(file, registry->layout);
    QList<Splice> splices;
    for (const Member &group : registry->layout.members) {
        if (group.isObject)
            splices += groupSplices(file, group, registry->object.value(group.key).toObject(), std::nullopt, style);
    }
    return splices.isEmpty() ? file : applied(file, splices);
}

QByteArray withPluginEntry(const QByteArray &file, const QString &key, const QString &path)
{
    const NewMember entry{key, entryValue(path)};
    if (isBlankFile(file)) {
        const QJsonObject group{{key, entry.value}, {namelistKey, key}};
        return QJsonDocument(QJsonObject{{spreadsheetGroup, group}}).toJson(QJsonDocument::Indented);
    }
    const std::optional<Registry> registry = registryOf(file);
    const QJsonValue existing = registry ? registry->object.value(spreadsheetGroup) : QJsonValue();
    if (!registry || (!existing.isUndefined() && !existing.isObject()))
        refuse();
    const Style style = styleOf(file, registry->layout);
    QList<Splice> splices;
    for (const Member &group : registry->layout.members) {
        if (!group.isObject)
            continue;
        const bool spreadsheet = group.key == spreadsheetGroup;
        splices += groupSplices(file, group, registry->object.value(group.key).toObject(),
                                spreadsheet ? std::optional<NewMember>(entry) : std::nullopt, style);
    }
    if (existing.isUndefined()) {
        ObjectEdit edit;
        edit.removed.fill(false, registry->layout.members.size());
        edit.added.append({spreadsheetGroup, QJsonObject{{key, entry.value}, {namelistKey, key}}});
        splices += splicesOf(file, registry->layout, edit, style);
    }
    return splices.isEmpty() ? file : applied(file, splices);
}

} // namespace AuthAddinJsonEdit
