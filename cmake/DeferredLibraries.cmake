# libcrypto and libarchive serve downloads, signatures and unpacking only: the tool opens them when
# it first needs them (core/DeferredLibrary), under the name the loader knows them by, instead of
# linking them. Needs OPENSSL_CRYPTO_LIBRARY and LIBARCHIVE_LINK_LIBRARIES.
function(corvanta_loadable_name library out)
    get_filename_component(resolved "${library}" REALPATH)
    if(APPLE)
        set(${out} "${resolved}" PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND "${CMAKE_READELF}" -d "${resolved}" OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
    if(NOT dynamic MATCHES "Library soname: \\[([^ ]+)\\]")
        message(FATAL_ERROR "${resolved} names no soname")
    endif()
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
corvanta_loadable_name("${OPENSSL_CRYPTO_LIBRARY}" CORVANTA_CRYPTO_LIBRARY)
list(GET LIBARCHIVE_LINK_LIBRARIES 0 archive_library)
corvanta_loadable_name("${archive_library}" CORVANTA_ARCHIVE_LIBRARY)
