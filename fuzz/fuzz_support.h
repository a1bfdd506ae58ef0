// Shared by the fuzz targets.
#pragma once
#include <cstdlib>

// A property every input must keep: its failure is a finding, reported to the
// fuzzer as a crash.
inline void Require(bool condition) {
    if (!condition)
        std::abort();
}
