// The usage history: its line format, what reading makes of it (days,
// months, sessions), what it skips, and the append on disk.

#include "accounting/History.h"
#include "accounting/IniFileSystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

using namespace history;

namespace {

Stamp at(const char* text) {
    Stamp s;
    EXPECT_TRUE(parseStamp(text, s)) << text;
    return s;
}

// Minutes `from`, `from`+1, ... `count` of them, one record each.
std::string minutes(const char* from, int count, const std::string& entry) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += formatRecord(addMinutes(at(from), i), entry);
    return text;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(HistoryFormat, RecordsAndHostileNamesRoundTrip) {
    EXPECT_EQ(formatRecord(at("2026-12-08T10:41+01:00"), "Office"),
              "2026-12-08T10:41+01:00,Office\n");
    EXPECT_EQ(formatRecord(at("2026-03-01T00:00-05:30"), "say \"hi\", now"),
              "2026-03-01T00:00-05:30,\"say \"\"hi\"\", now\"\n");
    EXPECT_EQ(formatStamp(at("2026-06-01T12:00Z")), "2026-06-01T12:00+00:00");

    const std::vector<std::string> names = {
        "Office", "a,b",   "\"",     "\"\"quoted\"\"", ",",    "two\nlines",          "cr\r\nlf",
        "cr\r",   " lead", "trail ", "Z\xC3\xBCrich",  "time", std::string(256, 'x'), "x\"\n,\"y"};
    std::string text(kHeader);
    for (const std::string& n : names)
        text += formatRecord(at("2026-12-08T10:41+01:00"), n);
    const Summary s = parse(text);
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_EQ(s.entries, names);
    EXPECT_EQ(s.records, names.size());

    // A NUL is the torn-line mark, never part of a name.
    EXPECT_EQ(formatRecord(at("2026-12-08T10:41+01:00"), std::string("a\0b", 3)),
              "2026-12-08T10:41+01:00,a\xEF\xBF\xBD"
              "b\n");
}

TEST(HistoryFormat, OnlyRealTimesAndMonthsParse) {
    Stamp s;
    for (const char* good :
         {"2024-02-29T23:59+14:00", "0001-01-01T00:00Z", "2026-10-25T02:30-00:30"})
        EXPECT_TRUE(parseStamp(good, s)) << good;
    for (const char* bad :
         {"2026-02-29T10:00+01:00", "2026-12-08T24:00+01:00", "2026-12-08T10:60+01:00",
          "2026-13-08T10:00+01:00", "2026-12-00T10:00+01:00", "2026-12-08T10:00+19:00",
          "2026-12-08T10:00", "2026-12-08 10:00+01:00", "2026-12-08T10:00+0100",
          "2026-12-08T10:00+01:00 ", "+026-12-08T10:00+01:00", "0000-01-01T00:00Z"})
        EXPECT_FALSE(parseStamp(bad, s)) << bad;
    int key = 0;
    EXPECT_TRUE(parseMonth("2026-12", key));
    EXPECT_EQ(formatMonth(key), "2026-12");
    EXPECT_EQ(daysInMonth(key), 31);
    for (const char* bad : {"2026-13", "2026-1", "2026-00", "26-12", "2026-12-01", ""})
        EXPECT_FALSE(parseMonth(bad, key)) << bad;
}

// Sessions end at three minutes of silence, at another entry and at a month's
// end (in the listing, not in the minutes); a tick one minute late, the clocks
// going back and a change of zone keep them going. The clock set back:
// HistoryBounds.
TEST(HistorySessions, ListedAsCsvNewestFirst) {
    const int dec = 2026 * 12 + 11;
    std::string midnight = minutes("2026-12-07T23:58+01:00", 5, "Office");
    midnight += formatRecord(at("2026-12-08T00:04+01:00"), "Office"); // one tick late
    midnight += formatRecord(at("2026-12-08T00:07+01:00"), "Office"); // a gap
    midnight += formatRecord(at("2026-12-08T00:08+01:00"), "Home");
    midnight += formatRecord(at("2026-12-08T00:09+01:00"), "Office");
    const std::string monthEnd = minutes("2026-11-30T23:58+01:00", 4, "Office");
    // The night of 25 October in central Europe: 02:00 to 02:59 comes twice.
    const std::string dst = minutes("2026-10-25T02:28+02:00", 32, "Office") +
                            minutes("2026-10-25T02:00+01:00", 32, "Office");
    struct Case {
        const char* what;
        std::string text;
        int month;
        std::string csv;
    };
    const std::vector<Case> cases = {
        {"midnight", midnight, dec,
         "Office,2026-12-08T00:09+01:00,2026-12-08T00:10+01:00,1\n"
         "Home,2026-12-08T00:08+01:00,2026-12-08T00:09+01:00,1\n"
         "Office,2026-12-08T00:07+01:00,2026-12-08T00:08+01:00,1\n"
         "Office,2026-12-07T23:58+01:00,2026-12-08T00:05+01:00,6\n"},
        {"November's end", monthEnd, dec - 1,
         "Office,2026-11-30T23:58+01:00,2026-12-01T00:00+01:00,2\n"},
        {"December's start", monthEnd, dec,
         "Office,2026-12-01T00:00+01:00,2026-12-01T00:02+01:00,2\n"},
        {"clocks going back", dst, dec - 2,
         "Office,2026-10-25T02:28+02:00,2026-10-25T02:32+01:00,64\n"},
        {"from Berlin to New York",
         minutes("2026-12-08T10:00+01:00", 3, "Office") +
             minutes("2026-12-08T04:03-05:00", 3, "Office"),
         dec, "Office,2026-12-08T10:00+01:00,2026-12-08T04:06-05:00,6\n"},
        {"a name in quotes", minutes("2026-12-08T10:00+01:00", 2, "a,\"b\""), dec,
         "\"a,\"\"b\"\"\",2026-12-08T10:00+01:00,2026-12-08T10:02+01:00,2\n"},
        {"the format's last minute", minutes("9999-12-31T23:58-18:00", 2, "Office"), 9999 * 12 + 11,
         "Office,9999-12-31T23:58-18:00,9999-12-31T23:59-18:00,2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Summary s = parse(c.text);
        const std::vector<Session> list = s.sessionsNewestFirst(c.month);
        EXPECT_EQ(sessionsCsv(s, list), "entry,start,end,minutes\n" + c.csv);
    }

    Summary s = parse(midnight);
    EXPECT_EQ(s.month(dec)->entries.at(0).days[6], 2);
    EXPECT_EQ(s.month(dec)->entries.at(0).days[7], 6);
    EXPECT_EQ(s.minutes(0, dec), 8);
    EXPECT_EQ(s.minutes(1, dec), 1);
    s = parse(monthEnd);
    EXPECT_EQ(s.minutes(0, dec - 1), 2);
    EXPECT_EQ(s.minutes(0, dec), 2);
    EXPECT_EQ(s.allTime(0), 4);
    EXPECT_EQ(parse(dst).month(dec - 2)->entries.at(0).days[24], 64);
}

// The stamp follows the machine's zone as it changes.
TEST(HistorySessions, LocalTimeFollowsTheZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    const int berlin = localNow().offsetMinutes;
    setenv("TZ", "EST5", 1);
    const int newYork = localNow().offsetMinutes;
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_TRUE(berlin == 60 || berlin == 120) << berlin;
    EXPECT_EQ(newYork, -300);
}

TEST(HistoryReading, TornAndHostileLinesAreSkippedAndCounted) {
    const std::string good = minutes("2026-12-08T10:00+01:00", 3, "Office");
    struct Case {
        const char* what;
        std::string text;
        std::size_t records, skipped;
    };
    std::vector<Case> cases = {
        {"torn in the time", good + "2026-12-08T10:0", 3, 1},
        {"torn in a name", good + "2026-12-08T10:03+01:00,Offi", 3, 1},
        {"torn in quotes", good + "2026-12-08T10:03+01:00,\"Off", 3, 1},
        {"torn before its line break", good + "2026-12-08T10:03+01:00,\"Office\"", 3, 1},
        {"a sealed torn line", "2026-12-08T09:59+01:00,Offi" + std::string("\0\n", 2) + good, 3, 1},
        {"a sealed torn quote",
         "2026-12-08T09:59+01:00,\"Of" + std::string("\0\n", 2) + good +
             formatRecord(at("2026-12-08T10:05+01:00"), "\"q\""),
         4, 1},
        {"NUL bytes", std::string("2026-12-08T09:00+01:00,Of\0fice\n", 31) + good, 3, 1},
        {"junk and blanks", "hello\n\n,\n\r\n;x\n2026-12-08T10:00+01:00,\n" + good, 3, 4},
        {"a quote in a bare name", "2026-12-08T09:00+01:00,a\"b\n" + good, 3, 1},
        {"text after the quotes", "2026-12-08T09:00+01:00,\"a\"b\n" + good, 3, 1},
        {"a megabyte line", std::string(1 << 20, 'x') + "\n" + good, 3, 1},
        {"a megabyte quote", "2026-12-08T09:00+01:00,\"" + std::string(1 << 20, 'x') + "\n" + good,
         3, 1},
        {"in the future", good + formatRecord(at("9999-12-31T23:59+01:00"), "Office"), 4, 0},
        {"CRLF line breaks", "time,entry\r\n2026-12-08T10:00+01:00,Office\r\n", 1, 0},
    };
    // Byte columns that are extra, negative, not numbers or past what a minute can carry.
    for (const char* bad :
         {",1,2,3", ",-1,2", ",1,-2", ",1", ",1,", ",,", ",x,1", ",1,1x", ",1000000000000001,0",
          ",0,99999999999999999999999", ", 1,2", ",1,2 ", ",+1,2", ",0x10,2"})
        cases.push_back({bad, good + "2026-12-08T10:03+01:00,Office" + bad + "\n", 3, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Summary whole = parse(c.text);
        EXPECT_EQ(whole.records, c.records);
        EXPECT_EQ(whole.skipped, c.skipped);
        for (const std::string& n : whole.entries)
            EXPECT_TRUE(n == "Office" || n == "\"q\"") << n;
        EXPECT_EQ(whole.allTimeTraffic(0).total(), 0u) << "bytes of a skipped line";
    }
}

TEST(HistoryData, OldAndNewLinesReadAsOneAndUnknownIsNotZero) {
    auto data = [](std::uint64_t rx, std::uint64_t tx) {
        Traffic t;
        t.add(rx, tx);
        return t;
    };
    const Traffic d1 = data(1'500'000, 20'000), zero = data(0, 0);
    EXPECT_EQ(formatRecord(at("2026-12-08T10:41+01:00"), "a,b", &d1),
              "2026-12-08T10:41+01:00,\"a,b\",1500000,20000\n");
    const Traffic most = data(kMaxMinuteBytes, 0), glitch = data(kMaxMinuteBytes + 1, 0);
    EXPECT_EQ(formatRecord(at("2026-12-08T10:41+01:00"), "a", &most),
              "2026-12-08T10:41+01:00,a,1000000000000000,0\n");
    EXPECT_EQ(formatRecord(at("2026-12-08T10:41+01:00"), "a", &glitch),
              "2026-12-08T10:41+01:00,a\n")
        << "a count the reader would skip, with its minute, is not written";
    // An old file, then the new lines appended under its old header.
    const std::string text = "time,entry\n" + minutes("2026-11-30T23:58+01:00", 2, "Office") +
                             formatRecord(at("2026-12-01T00:00+01:00"), "Office", &d1) +
                             formatRecord(at("2026-12-01T00:01+01:00"), "Office", &zero) +
                             formatRecord(at("2026-12-01T00:02+01:00"), "Office") +
                             std::string(kHeader) +
                             formatRecord(at("2026-12-01T00:03+01:00"), "Office", &d1);
    const Summary s = parse(text);
    EXPECT_EQ(s.records, 6u);
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_FALSE(s.data(0, 2026 * 12 + 10).recorded()) << "November's minutes have no data";
    EXPECT_EQ(s.minutes(0, 2026 * 12 + 10), 2);
    const Traffic dec = s.data(0, 2026 * 12 + 11);
    EXPECT_EQ(dec.minutes, 3) << "a zero is data; a two-column minute is not";
    EXPECT_EQ(dec.received, 3'000'000u);
    EXPECT_EQ(dec.sent, 40'000u);
    const std::vector<Session> sessions = s.sessionsNewestFirst(2026 * 12 + 11);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].minutes, 4);
    EXPECT_EQ(sessions[0].data.total(), 3'040'000u);
    EXPECT_EQ(s.month(2026 * 12 + 11)->entries.at(0).dayData[0].received, 3'000'000u);
}

TEST(HistoryData, SumsSaturate) {
    // The most a minute may claim, often enough to pass 2^64: the sums stop there.
    const std::string most = std::to_string(kMaxMinuteBytes);
    const std::string line = "2026-12-08T10:00+01:00,Office," + most + "," + most + "\n";
    std::string text;
    for (int i = 0; i < 20'000; ++i)
        text += line;
    const Summary s = parse(text);
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_EQ(s.allTimeTraffic(0).received, UINT64_MAX);
    EXPECT_EQ(s.allTimeTraffic(0).total(), UINT64_MAX);
    EXPECT_EQ(s.data(0, 2026 * 12 + 11).sent, UINT64_MAX);
    EXPECT_EQ(s.month(2026 * 12 + 11)->entries.at(0).dayData[7].received, UINT64_MAX);
}

TEST(HistoryData, DecimalUnitsWithOneDecimalAtMost) {
    const std::vector<std::pair<std::uint64_t, const char*>> cases = {{0, "0 B"},
                                                                      {999, "999 B"},
                                                                      {1'000, "1 kB"},
                                                                      {1'049, "1 kB"},
                                                                      {1'050, "1.1 kB"},
                                                                      {999'949, "999.9 kB"},
                                                                      {999'950, "1 MB"},
                                                                      {1'234'567'890, "1.2 GB"},
                                                                      {12'000'000'000'000, "12 TB"},
                                                                      {UINT64_MAX, "18.4 EB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(formatBytes(bytes), text) << bytes;
}

TEST(HistoryFile, AppendCreatesSealsAndRefuses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString() + "/new/folder/Vantrel History.csv";
    const std::string one = formatRecord(at("2026-12-08T10:00+01:00"), "Office");
    const std::string two = formatRecord(at("2026-12-08T10:01+01:00"), "Office");
    ASSERT_TRUE(appendLine(path, one, kHeader));
    ASSERT_TRUE(appendLine(path, two, kHeader));
    EXPECT_EQ(readAll(path), std::string(kHeader) + one + two);

    // A crash tore the last line: the next one starts on a line of its own,
    // and the torn one never reads as the shorter name "Off".
    { std::ofstream(path, std::ios::app | std::ios::binary) << "2026-12-08T10:02+01:00,Off"; }
    ASSERT_TRUE(appendLine(path, one, kHeader));
    Summary s;
    ASSERT_TRUE(readFile(path, s));
    EXPECT_EQ(s.records, 3u);
    EXPECT_EQ(s.skipped, 1u);
    EXPECT_EQ(s.entries, std::vector<std::string>{"Office"});

    // Not a file: refused, nothing made.
    const std::string folder = dir.path().toStdString() + "/a folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_FALSE(appendLine(folder, one, kHeader));
    const std::string fifo = dir.path().toStdString() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(appendLine(fifo, one, kHeader));
    EXPECT_FALSE(readFile(fifo, s));
    EXPECT_FALSE(readFile(dir.path().toStdString() + "/missing.csv", s));
}

TEST(HistoryBounds, NamesAndSessionsPastTheCapsAreSummedNotKept) {
    // Each line a new name in a month of its own: the shape that once took
    // minutes per thousand lines. Past the cap the names share one sum.
    std::string text;
    Stamp t = at("2100-01-01T00:00Z");
    const int names = static_cast<int>(kMaxEntries) + 300;
    for (int i = 0; i < names; ++i)
        text += formatRecord(addMinutes(t, std::int64_t{i} * 44640), "n" + std::to_string(i));
    const int dec = 2026 * 12 + 11;
    // Then December: more sessions than are kept, two minutes each, the
    // oldest written last as after the clock was set back.
    const int sessions = static_cast<int>(kMaxSessions) + 7;
    std::string december;
    for (int i = 1; i < sessions; ++i)
        december += formatRecord(addMinutes(at("2026-12-01T00:00Z"), std::int64_t{i} * 4), "n1") +
                    formatRecord(addMinutes(at("2026-12-01T00:01Z"), std::int64_t{i} * 4), "n1");
    december += minutes("2026-12-01T00:00Z", 2, "n1");
    text += december;

    Reader reader({dec, dec - 1});
    for (std::size_t i = 0; i < text.size(); i += 65536)
        reader.feed(std::string_view(text).substr(i, 65536));
    const Summary s = reader.finish();

    EXPECT_EQ(s.entries.size(), kMaxEntries);
    ASSERT_TRUE(s.hasOther());
    EXPECT_EQ(s.name(Summary::kOther), "");
    EXPECT_EQ(s.allTime(Summary::kOther), 300);
    EXPECT_EQ(s.allTime(1), 1 + 2 * sessions);
    EXPECT_EQ(s.monthKeys.size(), static_cast<std::size_t>(names) + 1);
    // Only the months asked for are kept in detail.
    ASSERT_EQ(s.months.size(), 1u);
    const Month& m = *s.month(dec);
    EXPECT_EQ(m.entries.at(1).minutes, 2 * sessions);
    ASSERT_EQ(m.sessions.size(), kMaxSessions);
    EXPECT_EQ(m.sessionsLeftOut, 7u);
    EXPECT_EQ(m.minutesLeftOut, 14);
    // The newest are kept, newest first; the oldest, read last, is not.
    EXPECT_EQ(formatStamp(m.sessions.front().start),
              formatStamp(addMinutes(at("2026-12-01T00:00Z"), std::int64_t{sessions - 1} * 4)));
    EXPECT_EQ(formatStamp(m.sessions.back().start),
              formatStamp(addMinutes(at("2026-12-01T00:00Z"), 28)));
    EXPECT_EQ(s.records, static_cast<std::size_t>(names + 2 * sessions));
}
