#pragma once

#include <QByteArray>
#include <QString>

// WPS's add-in list "publish.xml", edited through an XML reader: only the add-in's own
// `jsplugin` / `jspluginonline` children of the `jsplugins` root are touched (AddinIdentity::isOwnEntry
// of their `name` and `url`).
// Every other byte stays as it was: declaration, byte-order mark, encoding, comments, CDATA, other
// add-ins' elements, indentation and line ends. A file that is not a well-formed list under a
// `jsplugins` root, or that has a DOCTYPE, throws Failure(UnrecognisedWpsFile) and is never rewritten.
namespace PublishXmlEdit {

// Without the add-in's elements; an element alone on its line takes its line with it. An empty
// (or blank) file has nothing to remove and comes back as it was.
QByteArray withoutPluginEntries(const QByteArray &file);

// With exactly one `jsplugin` element of the add-in for the directory at `url`: it takes the place
// of the first earlier element of the add-in (the others go), or else is added as the root's last
// child with the file's own indentation and line end. An empty (or blank) file becomes a new list.
QByteArray withPluginEntry(const QByteArray &file, const QString &url, const QString &version);

} // namespace PublishXmlEdit
