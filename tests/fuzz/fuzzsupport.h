#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding: abort, so that libFuzzer saves the input.
inline void require(bool holds, const char *invariant)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", invariant);
        std::abort();
    }
}
