#pragma once

#include <QStringList>

// Memory the process can hand back while it runs, for a tool that lives in the tray all day.
namespace ProcessMemory {

// Lets go of the resident pages of the libraries whose file names start with one of the prefixes,
// where the pages are the file's unchanged content (code, read-only data): they come back from the
// file on the next use. Pages the process changed (relocated data) stay. Returns the bytes released
// from the process's view; 0 where the system offers no way to do it.
qint64 releaseLibraryPages(const QStringList &fileNamePrefixes);

// Hands freed heap back to the system: the allocator keeps it otherwise.
void returnFreedHeap();

} // namespace ProcessMemory
