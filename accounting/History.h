#pragma once
// The usage history, "Vantrel History.csv" beside the ledger: one line per
// counted minute, appended after the ledger's write, and never touched by a
// reset. The ledger keeps the running totals; the history keeps when they
// were counted, so that days, months and sessions can be told afterwards,
// and the bytes each minute carried.
//
//   time,entry,received,sent
//   2026-12-08T10:41+01:00,Office,1480213,90211
//   2026-12-08T10:42+01:00,"Dial ""fast"", night",0,0
//   2026-12-08T10:43+01:00,VPN
//
// The time is the tick's local time to the minute with its offset from UTC,
// so the two 02:30s of a night when the clocks go back stay apart. The entry
// name is quoted as RFC 4180 has it, only where needed. A line without the
// two byte columns is a minute whose data is unknown: written before the
// columns existed, or where the connection had no counters. Files with both
// kinds of line, under either header, read as one.
//
// Reading skips what it cannot read and counts it: junk, NUL bytes, records
// longer than kMaxRecord, times that do not exist, and a line torn by a
// crash. A writer that finds the file not ending in a line break seals the
// torn line with a NUL byte before its own line, so the torn line can never
// read as a shorter name.
//
// Plain C++: the report reads it before any Qt object exists.

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace history {

inline constexpr std::string_view kHeader = "time,entry,received,sent\n";
// A record longer than this is junk: a name is at most 256 characters.
inline constexpr std::size_t kMaxRecord = 2048;
// More bytes than this in one minute is junk: a petabyte, some 2,000 times
// what the fastest links carry.
inline constexpr std::uint64_t kMaxMinuteBytes = 1'000'000'000'000'000;

// A local time to the minute, with its offset from UTC.
struct Stamp {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
    int offsetMinutes = 0; // local time minus UTC

    std::int64_t utcMinutes() const; // since 1970-01-01T00:00Z
    int monthKey() const { return year * 12 + month - 1; }
    bool operator==(const Stamp& o) const;
};

// The same instant `minutes` later, in the same offset.
Stamp addMinutes(const Stamp& s, std::int64_t minutes);
// One minute after `s`, as a session's end: never past 9999-12-31T23:59,
// the last time the format can hold.
Stamp endOfMinute(const Stamp& s);
// Now, in the machine's time zone.
Stamp localNow();

std::string formatStamp(const Stamp& s); // 2026-12-08T10:41+01:00
bool parseStamp(std::string_view text, Stamp& out);

// A month as "2026-12"; key = year * 12 + month - 1.
std::string formatMonth(int monthKey);
bool parseMonth(std::string_view text, int& monthKey);
int daysInMonth(int monthKey);

// Minutes as the main window shows a count: "3 H., 12 Min".
std::string formatDuration(std::int64_t minutes);

// RFC 4180: quoted, with inner quotes doubled, when the field holds a
// comma, a quote, a line break, or blanks at either end.
std::string quoteField(std::string_view field);
// Bytes as carriers bill them, in decimal units with one decimal place at
// most: "512 B", "1.2 GB", "3 MB".
std::string formatBytes(std::uint64_t bytes);

// The data of some minutes: the bytes of those that carried them. Sums
// saturate at 2^64 - 1 rather than wrap.
struct Traffic {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::int64_t minutes = 0; // minutes with data; none: "no data recorded"

    void add(std::uint64_t rx, std::uint64_t tx, std::int64_t withData = 1);
    void add(const Traffic& t) { add(t.received, t.sent, t.minutes); }
    std::uint64_t total() const;
    bool recorded() const { return minutes > 0; }
};
std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b);
// The data of `minutes` counted minutes as the window and the report show it:
// "1.2 GB", "no data recorded" when none of them carried data, and the
// minutes without it when only some did.
std::string formatData(const Traffic& data, std::int64_t minutes);

// One record with its line break; without `data`, or with a count past
// kMaxMinuteBytes, the two-column form of a minute whose data is unknown. NUL bytes in the name
// become U+FFFD: the reader takes a NUL for the mark of a torn line.
std::string formatRecord(const Stamp& s, std::string_view entry, const Traffic* data = nullptr);

// Names kept apart: a history naming more entries is junk or an attack, and
// the minutes of every further name are summed under Summary::kOther.
inline constexpr std::size_t kMaxEntries = 1000;
// Sessions kept of a month: the newest. The rest are counted, not kept.
inline constexpr std::size_t kMaxSessions = 10000;

// One line of the history. Fields a later format adds go here, and their
// sums into EntryMonth and Session.
struct Record {
    Stamp time;
    std::string entry;
    bool hasData = false;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
};

// A stretch of counted minutes of one entry, each at most two minutes after
// the one before (one tick may come late): from the first tick to one minute
// after the last. A session that runs over a month's end is listed in each
// month with the minutes counted in it.
struct Session {
    int entry = 0; // index into Summary::entries, or Summary::kOther
    Stamp start;
    Stamp end;
    std::int64_t minutes = 0;
    std::uint64_t order = 0; // when it was read: ties of the start go to the later
    Traffic data;
};

struct EntryMonth {
    std::array<std::int64_t, 31> days{}; // minutes per day of the month
    std::int64_t minutes = 0;
    std::array<Traffic, 31> dayData{};
    Traffic data;
};

struct Month {
    std::map<int, EntryMonth> entries; // by entry index
    std::vector<Session> sessions;     // newest first, at most kMaxSessions
    std::size_t sessionsLeftOut = 0;   // older sessions not kept
    std::int64_t minutesLeftOut = 0;   // and their minutes
    Traffic dataLeftOut;               // and their data
};

// What reading keeps: sums as it goes, so its size is bounded whatever the
// file holds (about 10 MB at most for a handful of months in detail).
struct Summary {
    // The index under which the entries past the first kMaxEntries are summed.
    static constexpr int kOther = static_cast<int>(kMaxEntries);

    std::vector<std::string> entries;         // names as stored, in order of first appearance
    std::vector<std::int64_t> allTimeMinutes; // by entry index; one more for kOther when used
    std::vector<Traffic> allTimeData;         // likewise
    std::vector<int> monthKeys;               // every month with minutes, oldest first
    std::map<int, Month> months;              // the months read in detail, by month key
    std::size_t records = 0;                  // minutes read
    std::size_t skipped = 0;                  // lines that could not be read

    // Entry indexes in use: the names, then kOther when some were summed.
    int entryCount() const { return static_cast<int>(allTimeMinutes.size()); }
    bool hasOther() const { return allTimeMinutes.size() > entries.size(); }
    // The stored name; empty for kOther (a stored name never is).
    const std::string& name(int entry) const;
    // Of a month read in detail; 0 for another.
    std::int64_t minutes(int entry, int monthKey) const;
    std::int64_t allTime(int entry) const;
    Traffic data(int entry, int monthKey) const;
    Traffic allTimeTraffic(int entry) const;
    const Month* month(int monthKey) const;
    // The month's sessions kept, newest first.
    std::vector<Session> sessionsNewestFirst(int monthKey) const;
};

// Reads the history in pieces of any size; finish() takes the end of the
// input, where a record without its line break is a torn one. Time is linear
// in the input; memory is bounded by the caps above and the read buffer.
class Reader {
public:
    // `detail`: the months whose days and sessions are kept. Empty: every
    // month, for tests only (their number is unbounded).
    explicit Reader(std::vector<int> detail = {});
    void feed(std::string_view data);
    Summary finish();

private:
    void parse(bool atEnd);
    void add(const Record& r);
    void closeSession();
    int intern(std::string_view name);
    Month* detailOf(int monthKey);
    static void keepNewest(Month& m, std::size_t keep);

    std::vector<int> m_detail;
    std::string m_buffer;
    std::size_t m_pos = 0;
    bool m_skipLine = false; // inside an overlong line: drop up to its end
    Summary m_summary;
    std::unordered_map<std::string, int> m_index;
    std::string m_lastName; // of the record before: its session may go on
    int m_lastEntry = 0;
    std::vector<bool> m_monthSeen; // by month key
    int m_firstMonth = std::numeric_limits<int>::max(), m_lastMonth = -1;
    Session m_open;
    bool m_sessionOpen = false;
    std::int64_t m_lastUtc = 0;
    int m_openMonth = 0;
    std::uint64_t m_order = 0;
    Month* m_cachedMonth = nullptr;
    int m_cachedMonthKey = -1;
};

Summary parse(std::string_view text);
// False when the file is missing or not a regular file, or when `cancel`
// turned true during the read; `out` is then empty. `detail` as for Reader.
bool readFile(const std::string& path, Summary& out, const std::vector<int>& detail = {},
              const std::atomic<bool>* cancel = nullptr);

// The sessions as CSV: "entry,start,end,minutes".
std::string sessionsCsv(const Summary& summary, const std::vector<Session>& sessions);

} // namespace history
