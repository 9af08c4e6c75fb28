#include "LibarchiveFunctions.h"

#include "BuildConfig.h"
#include "core/DeferredLibrary.h"

const LibarchiveFunctions &libarchive()
{
    static const LibarchiveFunctions functions = [] {
        DeferredLibrary library(BuildConfig::archiveLibrary);
        return LibarchiveFunctions{
            .readNew = DEFERRED_FUNCTION(library, archive_read_new),
            .supportZipSeekable = DEFERRED_FUNCTION(library, archive_read_support_format_zip_seekable),
            .openFile = DEFERRED_FUNCTION(library, archive_read_open_filename),
            .nextHeader = DEFERRED_FUNCTION(library, archive_read_next_header),
            .dataBlock = DEFERRED_FUNCTION(library, archive_read_data_block),
            .readFree = DEFERRED_FUNCTION(library, archive_read_free),
            .errorString = DEFERRED_FUNCTION(library, archive_error_string),
            .formatName = DEFERRED_FUNCTION(library, archive_format_name),
            .entryPath = DEFERRED_FUNCTION(library, archive_entry_pathname),
            .entryFileType = DEFERRED_FUNCTION(library, archive_entry_filetype),
            .entryPermissions = DEFERRED_FUNCTION(library, archive_entry_perm),
            .entryLinkTarget = DEFERRED_FUNCTION(library, archive_entry_symlink),
            .entrySize = DEFERRED_FUNCTION(library, archive_entry_size),
            .entrySizeIsSet = DEFERRED_FUNCTION(library, archive_entry_size_is_set),
            .entryIsEncrypted = DEFERRED_FUNCTION(library, archive_entry_is_encrypted),
        };
    }();
    return functions;
}
