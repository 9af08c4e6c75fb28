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
//
// The journal records the SHA-256 of each list's old and new text, so recover() can tell whether
// each list is still where the killed run left it: not yet replaced (the very file the `.old` link
// holds, with its old text), or replaced (our new text). When any list is neither (WPS or the
// user changed it since), the journal is not replayed: its files go and the lists stay as they are.
namespace WpsListPair {

struct Change
{
    QString fileName;
    QByteArray bytes;
};

// Throws Failure(FileSystem) naming the file; the lists are then as they were.
void write(const QString &addonDir, const QList<Change> &changes);

enum class Recovery {
    NothingPending,
    Finished,
    // The journal was dropped because a list had changed since; the lists were left as they are.
    Abandoned,
};

// The activity log's line for an abandoned journal.
inline const QString abandonedLogLine =
    QStringLiteral("上次中断的 WPS 加载项列表修改已放弃：列表在此之后已被更改。");

// Finishes (or undoes) an interrupted write; does nothing without a journal.
Recovery recover(const QString &addonDir);

} // namespace WpsListPair
