#pragma once

#include <cstdlib>

// A broken promise is a crash the fuzzer keeps as a finding.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}
