#pragma once
// The data a counted minute carries: the difference between two samples of
// the same connection's byte counters. Plain C++.

#include "RasApi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ras {

// A minute's traffic; `known` false where no counters could be read.
struct ByteDelta {
    bool known = false;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
};

// The rules, kept apart from any service so they can be tried one by one:
// - a first sample, or one of another entry, handle or source, counts
//   nothing: it only becomes the baseline, so neither an interface's
//   lifetime nor another connection's bytes leak into this one;
// - a counter that went down, or a source made anew, counts the new value
//   from zero (a redial or a modem reset under the same connection);
// - a sample without counters counts as unknown and keeps the baseline, so
//   the next readable sample still covers the minutes in between.
class ByteDeltas {
public:
    ByteDelta take(std::string_view entry, HRASCONN handle, const ConnectionBytes* sample);
    bool hasBaseline(std::string_view entry, HRASCONN handle) const;
    void forget() { m_base.reset(); }

private:
    struct Base {
        std::string entry;
        HRASCONN handle = 0;
        ConnectionBytes bytes;
    };
    std::optional<Base> m_base;
};

// Samples the listed connection of an entry through the service.
class ByteSampler {
public:
    // The minute's data for the counted entry.
    ByteDelta sample(RasService& service, std::string_view entry);
    // The baseline when the connection comes up; a baseline already taken
    // for the same connection is kept.
    void baseline(RasService& service, std::string_view entry);

private:
    ByteDeltas m_deltas;
};

} // namespace ras
