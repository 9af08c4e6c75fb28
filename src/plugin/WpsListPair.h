#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// WPS's two add-in lists, "publish.xml" and "authaddin.json", change together: after a failure
// both say what they said before, and after a kill between the two renames the next edit finishes
// what was begun.
//
// How: both new texts are written to hidden files and flushed; the present files get hidden hard
// links (the way back); a journal names the files and says "forward"; then each new text is
// renamed over its file, and the links and the journal go. A rename that fails turns the journal
// to "back" and puts the old files back. recover() reads a journal left by a killed run and carries
// it to its end: forward when it says so (every new text is complete on disk before the journal
// exists), back otherwise. Every edit of the lists starts with it, and so does the clean-up of our
// hidden leftovers, which would otherwise take the journal's files for debris.
namespace WpsListPair {

struct Change
{
    QString fileName;
    QByteArray bytes;
};

// Throws Failure(FileSystem) naming the file; the lists are then as they were.
void write(const QString &addonDir, const QList<Change> &changes);

// Finishes (or undoes) an interrupted write; does nothing without a journal.
void recover(const QString &addonDir);

} // namespace WpsListPair
