#pragma once
// A broken invariant of a reader's result is a finding like a crash: report it and abort so
// libFuzzer saves the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #condition, __FILE__, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
