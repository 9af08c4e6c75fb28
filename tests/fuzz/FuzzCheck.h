#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of the decoder under test; a violation is a crash the fuzzer keeps.
#define FUZZ_CHECK(condition)                                                                            \
    do {                                                                                                 \
        if (!(condition)) {                                                                              \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);       \
            std::abort();                                                                                \
        }                                                                                                \
    } while (false)
