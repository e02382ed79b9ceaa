#pragma once
// Counts the bytes live on the heap through operator new, so a test can state
// how much memory an operation took at its peak.

#include <cstddef>

namespace heap {
std::size_t live();
// Starts a new peak measurement; peakSince() is the most that was live above
// the level at the mark.
void mark();
std::size_t peakSince();
} // namespace heap
