#pragma once

#include <archive.h>
#include <archive_entry.h>

// The functions of libarchive that unpacking calls. libarchive is opened with the first package
// unpacked, not at start.
struct LibarchiveFunctions
{
    decltype(&archive_read_new) readNew;
    decltype(&archive_read_support_format_zip_seekable) supportZipSeekable;
    decltype(&archive_read_open_filename) openFile;
    decltype(&archive_read_next_header) nextHeader;
    decltype(&archive_read_data_block) dataBlock;
    decltype(&archive_read_free) readFree;
    decltype(&archive_error_string) errorString;
    decltype(&archive_format_name) formatName;
    decltype(&archive_entry_pathname) entryPath;
    decltype(&archive_entry_filetype) entryFileType;
    decltype(&archive_entry_perm) entryPermissions;
    decltype(&archive_entry_symlink) entryLinkTarget;
    decltype(&archive_entry_size) entrySize;
    decltype(&archive_entry_size_is_set) entrySizeIsSet;
    decltype(&archive_entry_is_encrypted) entryIsEncrypted;
};

// Throws when libarchive cannot be opened.
const LibarchiveFunctions &libarchive();
