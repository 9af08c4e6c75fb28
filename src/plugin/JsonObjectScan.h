#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Where the members of a JSON text's top-level object, and of the objects among their values, lie
// in its bytes: what a byte-level edit of the text needs, which a parsed document cannot tell.
// Strict (RFC 8259, an optional UTF-8 byte-order mark before it): anything else, a key twice in one
// object at any depth, or a string with an unpaired surrogate is not scanned at all.
namespace JsonObjectScan {

struct Member
{
    QString key;
    // From the key's opening quote to the value's last byte (exclusive).
    qsizetype start = 0;
    qsizetype valueStart = 0;
    qsizetype end = 0;
    bool isObject = false;
    // An object value's members, for the top level and the level below it; empty otherwise.
    QList<Member> members;
};

// The top-level object as a member without a key (its value spans the object's braces); nothing
// when the text is not strict JSON or its top level is not an object.
std::optional<Member> topLevelObject(const QByteArray &text);

} // namespace JsonObjectScan
