#pragma once
// A fuzz entry's properties abort when violated, so libFuzzer and the corpus
// replay catch them alike.

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}
