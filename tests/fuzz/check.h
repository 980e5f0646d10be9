#pragma once

// A fuzz target's invariant: a broken one names itself and stops the run as a finding.

#include <cstdio>
#include <cstdlib>

namespace dialkite::fuzz {

inline void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace dialkite::fuzz
