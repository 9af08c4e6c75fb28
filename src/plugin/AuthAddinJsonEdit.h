#pragma once

#include <QByteArray>
#include <QString>

// WPS's add-in registry "authaddin.json", edited on its bytes the way PublishXmlEdit edits
// "publish.xml": a group is a top-level member whose value is an object, an entry is a member of a
// group whose value is an object, and an entry is the add-in's when AddinIdentity::isOwnEntry says
// so of its "name" and "path". Only the add-in's entries and the "namelist" of each group that held
// one (or gains one) change; every other byte (order, numbers, spacing, escapes, other groups)
// stays. Text that is not JSON throws Failure(NotJson); JSON whose layout the edit cannot be sure of
// (a key twice, an unpaired surrogate) throws Failure(UnrecognisedWpsFile). Neither is rewritten.
namespace AuthAddinJsonEdit {

// Without the add-in's entries, the "namelist" of each group that held one rebuilt. A blank file,
// a top level that is not an object, or a registry without entries of the add-in comes back as it
// was.
QByteArray withoutPluginEntries(const QByteArray &file);

// With exactly one entry of the add-in, under `key` in the spreadsheet group "et" and pointing at
// `path`: it takes the place of an earlier entry of the add-in in that group, or else is added as
// the group's last member in the file's own layout. A blank file becomes a new registry.
QByteArray withPluginEntry(const QByteArray &file, const QString &key, const QString &path);

} // namespace AuthAddinJsonEdit
