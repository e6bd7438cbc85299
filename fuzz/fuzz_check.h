#pragma once
// A property every fuzz target states: when it does not hold, the run stops with the
// input saved as a crash, like any sanitizer finding.
#include <cstdio>
#include <cstdlib>

#define QM_FUZZ_CHECK(condition)                                                           \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
