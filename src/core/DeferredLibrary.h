#pragma once

#include <QLibrary>

// A system library that only some runs need (unpacking a package, checking a signature), opened
// when its first function is asked for instead of by the loader at every start: each library
// linked into the program is loaded and relocated before the window can appear.
class DeferredLibrary
{
public:
    // `fileName` as the loader finds it, e.g. "libcrypto.so.3".
    explicit DeferredLibrary(const char *fileName);

    // The function `name`, typed as the header declares it. Throws when the library cannot be
    // opened or lacks the function. Not for concurrent use: callers resolve their functions once,
    // in a static's initialisation.
    template<typename Function>
    Function *function(const char *name)
    {
        return reinterpret_cast<Function *>(resolve(name));
    }

private:
    QFunctionPointer resolve(const char *name);

    QLibrary m_library;
};

// The function `name` of `library`, typed by the declaration the header gives it.
#define DEFERRED_FUNCTION(library, name) ((library).function<decltype(name)>(#name))
