#include "connection/ByteCounting.h"
#include "platform/fake/FakeRasService.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

using namespace ras;

namespace {
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

ConnectionBytes bytes(std::uint64_t rx, std::uint64_t tx, const char* source = "ppp0",
                      std::uint64_t instance = 7) {
    ConnectionBytes b;
    b.received = rx;
    b.sent = tx;
    b.source = source;
    b.instance = instance;
    return b;
}

struct Step {
    const char* entry;
    HRASCONN handle;
    std::optional<ConnectionBytes> sample;
    ByteDelta expected;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};
} // namespace

TEST(ByteDeltas, Rules) {
    const ByteDelta none{}; // no counters
    auto known = [](std::uint64_t rx, std::uint64_t tx) { return ByteDelta{true, rx, tx}; };
    const std::vector<Case> cases = {
        {"no baseline counts nothing, then the difference",
         {{"A", 1, bytes(5'000'000, 9'000), known(0, 0)},
          {"A", 1, bytes(5'001'000, 9'500), known(1'000, 500)}}},
        {"a counter that went down counts from zero",
         {{"A", 1, bytes(900, 900), known(0, 0)}, {"A", 1, bytes(100, 950), known(100, 950)}}},
        {"an interface made anew under the same name counts from zero",
         {{"A", 1, bytes(900, 900), known(0, 0)},
          {"A", 1, bytes(1'000, 1'000, "ppp0", 8), known(1'000, 1'000)}}},
        {"a reused handle of another entry leaks nothing",
         {{"A", 1, bytes(100, 100), known(0, 0)},
          {"B", 1, bytes(700, 700), known(0, 0)},
          {"B", 1, bytes(800, 750), known(100, 50)}}},
        {"another connection of the same entry leaks nothing",
         {{"A", 1, bytes(100, 100), known(0, 0)}, {"A", 2, bytes(700, 700), known(0, 0)}}},
        {"a change of device leaks nothing",
         {{"A", 1, bytes(100, 100, "wlan0"), known(0, 0)},
          {"A", 1, bytes(9'000, 9'000, "usb0"), known(0, 0)},
          {"A", 1, bytes(9'100, 9'000, "usb0"), known(100, 0)}}},
        {"counters at 2^64 never go negative",
         {{"A", 1, bytes(kMax - 10, kMax), known(0, 0)},
          {"A", 1, bytes(kMax, kMax), known(10, 0)},
          {"A", 1, bytes(5, 3), known(5, 3)}}},
        {"a sample without counters is unknown and keeps the baseline",
         {{"A", 1, bytes(100, 100), known(0, 0)},
          {"A", 1, std::nullopt, none},
          {"A", 1, bytes(300, 150), known(200, 50)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteDeltas deltas;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            const Step& s = c.steps[i];
            const ByteDelta d = deltas.take(s.entry, s.handle, s.sample ? &*s.sample : nullptr);
            EXPECT_EQ(d.known, s.expected.known);
            EXPECT_EQ(d.received, s.expected.received);
            EXPECT_EQ(d.sent, s.expected.sent);
        }
    }
}

TEST(ByteSampler, SamplesTheListedConnectionOfTheEntry) {
    FakeRasService service;
    FakeRasService::Connection office;
    office.handle = 3;
    office.entryName = "Office";
    office.bytes = bytes(1'000, 2'000);
    FakeRasService::Connection other = office;
    other.handle = 4;
    other.entryName = "Other";
    other.bytes = bytes(50'000, 50'000);
    service.connections = {office, other};

    ByteSampler sampler;
    sampler.baseline(service, "Office");
    service.connections[0].bytes = bytes(1'500, 2'100);
    sampler.baseline(service, "Office"); // the connection reported up again: the baseline stays
    service.connections[0].bytes = bytes(4'000, 3'000);
    ByteDelta d = sampler.sample(service, "Office");
    EXPECT_TRUE(d.known);
    EXPECT_EQ(d.received, 3'000u);
    EXPECT_EQ(d.sent, 1'000u);
    EXPECT_EQ(service.bytesCalls, (std::vector<HRASCONN>{3, 3}));

    service.connections[0].bytes.reset(); // a VPN without an interface
    EXPECT_FALSE(sampler.sample(service, "Office").known);
    EXPECT_FALSE(sampler.sample(service, "Gone").known);
    EXPECT_EQ(service.bytesCalls.size(), 3u) << "an entry not listed is not asked for";
}
