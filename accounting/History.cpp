#include "History.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace history {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int monthLength(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

bool digits(std::string_view s, std::size_t at, std::size_t count, int& value) {
    if (at + count > s.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

enum class Kind { Record, Blank, Header, Bad, More };

// A minute's byte count: at most 20 digits and kMaxMinuteBytes, followed by
// `stop` (a comma) or, where `stop` is 0, the line's end.
Kind readCount(std::string_view in, std::size_t& at, char stop, std::uint64_t& value) {
    std::uint64_t v = 0;
    std::size_t i = at;
    for (; i < in.size() && in[i] >= '0' && in[i] <= '9'; ++i) {
        if (i - at >= 20)
            return Kind::Bad;
        v = v * 10 + static_cast<unsigned>(in[i] - '0');
        if (v > kMaxMinuteBytes)
            return Kind::Bad;
    }
    if (i >= in.size())
        return Kind::More;
    if (i == at)
        return Kind::Bad;
    if (stop) {
        if (in[i] != stop)
            return Kind::Bad;
        ++i;
    }
    value = v;
    at = i;
    return Kind::Record;
}

// One record at the start of `in`: its length with the line break, its
// fields. More: `in` ends before the record could be told complete.
Kind readRecord(std::string_view in, std::size_t& length, Record& record) {
    if (in.empty())
        return Kind::More;
    if (in[0] == '\n' || (in[0] == '\r' && in.size() > 1 && in[1] == '\n')) {
        length = in[0] == '\n' ? 1 : 2;
        return Kind::Blank;
    }
    auto lineEnd = [&](std::size_t at, std::size_t& end) {
        if (at < in.size() && in[at] == '\n') {
            end = at + 1;
            return Kind::Record;
        }
        if (at + 1 < in.size() && in[at] == '\r' && in[at + 1] == '\n') {
            end = at + 2;
            return Kind::Record;
        }
        return at >= in.size() || (at + 1 == in.size() && in[at] == '\r') ? Kind::More : Kind::Bad;
    };
    // After the entry: the line's end (a minute without data), or the bytes.
    auto rest = [&](std::size_t at) {
        record.hasData = false;
        if (at >= in.size() || in[at] != ',')
            return lineEnd(at, length);
        ++at;
        Kind k = readCount(in, at, ',', record.received);
        if (k == Kind::Record)
            k = readCount(in, at, 0, record.sent);
        if (k == Kind::Record) {
            k = lineEnd(at, length);
            record.hasData = k == Kind::Record;
        }
        return k;
    };

    // The time: no quotes, no commas, at most 22 characters.
    const std::size_t comma = in.substr(0, 23).find(',');
    if (comma == std::string_view::npos)
        return in.size() < 23 &&
                       in.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos
                   ? Kind::More
                   : Kind::Bad;
    const std::string_view time = in.substr(0, comma);
    if (time == "time") {
        // Either header: the one before the data columns, or the one with them.
        constexpr std::string_view kOld = "entry", kNew = "entry,received,sent";
        const std::string_view after = in.substr(comma + 1);
        std::size_t at = 0;
        if (after.substr(0, kNew.size()) == kNew)
            at = kNew.size();
        else if (after.substr(0, kOld.size()) == kOld &&
                 (after.size() > kOld.size() && after[kOld.size()] != ','))
            at = kOld.size();
        else if (kNew.substr(0, after.size()) == after)
            return Kind::More;
        else
            return Kind::Bad;
        const Kind k = lineEnd(comma + 1 + at, length);
        return k == Kind::Record ? Kind::Header : k;
    }
    if (!parseStamp(time, record.time))
        return Kind::Bad;

    std::string& entry = record.entry;
    entry.clear();
    std::size_t i = comma + 1;
    if (i < in.size() && in[i] == '"') {
        for (++i;; ++i) {
            const std::size_t q = in.find_first_of(std::string_view("\"\0", 2), i);
            if (q == std::string_view::npos)
                return Kind::More;
            if (in[q] == '\0')
                return Kind::Bad;
            entry.append(in.substr(i, q - i));
            if (q + 1 < in.size() && in[q + 1] == '"') {
                entry.push_back('"');
                i = q + 1;
                continue;
            }
            if (entry.empty())
                return q + 1 < in.size() ? Kind::Bad : Kind::More;
            return rest(q + 1);
        }
    }
    // Unquoted, a name holds no comma: the writer quotes those.
    const std::size_t end = in.find_first_of(std::string_view(",\n\"\0", 4), i);
    if (end == std::string_view::npos)
        return Kind::More;
    if (in[end] != '\n' && in[end] != ',')
        return Kind::Bad;
    std::size_t stop = end;
    if (in[end] == '\n' && stop > i && in[stop - 1] == '\r')
        --stop;
    if (stop == i || in.substr(i, stop - i).find('\r') != std::string_view::npos)
        return Kind::Bad;
    entry.assign(in.substr(i, stop - i));
    return rest(stop);
}

} // namespace

std::int64_t Stamp::utcMinutes() const {
    return (daysFromCivil(year, month, day) * 24 + hour) * 60 + minute - offsetMinutes;
}

bool Stamp::operator==(const Stamp& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour &&
           minute == o.minute && offsetMinutes == o.offsetMinutes;
}

Stamp addMinutes(const Stamp& s, std::int64_t minutes) {
    const std::int64_t local = s.utcMinutes() + s.offsetMinutes + minutes;
    std::int64_t days = local / 1440;
    std::int64_t rest = local % 1440;
    if (rest < 0) {
        rest += 1440;
        --days;
    }
    Stamp r;
    civilFromDays(days, r.year, r.month, r.day);
    r.hour = static_cast<int>(rest / 60);
    r.minute = static_cast<int>(rest % 60);
    r.offsetMinutes = s.offsetMinutes;
    return r;
}

Stamp endOfMinute(const Stamp& s) {
    if (s.year == 9999 && s.month == 12 && s.day == 31 && s.hour == 23 && s.minute == 59)
        return s;
    return addMinutes(s, 1);
}

Stamp localNow() {
    // localtime_r() alone keeps the zone it first read: a machine moved to
    // another zone while the program runs would stamp the old one.
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    Stamp s;
    s.year = tm.tm_year + 1900;
    s.month = tm.tm_mon + 1;
    s.day = tm.tm_mday;
    s.hour = tm.tm_hour;
    s.minute = tm.tm_min;
    s.offsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
    return s;
}

std::string formatStamp(const Stamp& s) {
    const int offset = s.offsetMinutes < 0 ? -s.offsetMinutes : s.offsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d%c%02d:%02d", s.year, s.month, s.day,
                  s.hour, s.minute, s.offsetMinutes < 0 ? '-' : '+', offset / 60 % 100,
                  offset % 60);
    return text;
}

bool parseStamp(std::string_view t, Stamp& out) {
    Stamp s;
    int oh = 0, om = 0;
    if (!(digits(t, 0, 4, s.year) && t.size() > 4 && t[4] == '-' && digits(t, 5, 2, s.month) &&
          t.size() > 7 && t[7] == '-' && digits(t, 8, 2, s.day) && t.size() > 10 && t[10] == 'T' &&
          digits(t, 11, 2, s.hour) && t.size() > 13 && t[13] == ':' && digits(t, 14, 2, s.minute)))
        return false;
    if (t.size() == 17 && t[16] == 'Z') {
        s.offsetMinutes = 0;
    } else if (t.size() == 22 && (t[16] == '+' || t[16] == '-') && digits(t, 17, 2, oh) &&
               t[19] == ':' && digits(t, 20, 2, om) && oh <= 18 && om < 60) {
        s.offsetMinutes = (t[16] == '-' ? -1 : 1) * (oh * 60 + om);
    } else {
        return false;
    }
    if (s.year < 1 || s.month < 1 || s.month > 12 || s.day < 1 ||
        s.day > monthLength(s.year, s.month) || s.hour > 23 || s.minute > 59)
        return false;
    out = s;
    return true;
}

std::string formatMonth(int key) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", key / 12, key % 12 + 1);
    return text;
}

bool parseMonth(std::string_view t, int& key) {
    int y = 0, m = 0;
    if (t.size() != 7 || !digits(t, 0, 4, y) || t[4] != '-' || !digits(t, 5, 2, m) || y < 1 ||
        m < 1 || m > 12)
        return false;
    key = y * 12 + m - 1;
    return true;
}

int daysInMonth(int key) {
    return monthLength(key / 12, key % 12 + 1);
}

std::string formatDuration(std::int64_t minutes) {
    return std::to_string(minutes / 60) + " H., " + std::to_string(minutes % 60) + " Min";
}

std::string quoteField(std::string_view field) {
    const bool needed = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.front() == '\t' ||
                                            field.back() == ' ' || field.back() == '\t'));
    if (!needed)
        return std::string(field);
    std::string out = "\"";
    for (const char c : field) {
        out.push_back(c);
        if (c == '"')
            out.push_back('"');
    }
    out.push_back('"');
    return out;
}

std::string formatBytes(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000)
        return std::to_string(bytes) + " B";
    // Tenths of the unit, rounded; 999.96 kB is "1 MB", not "1000 kB".
    auto tenthsOf = [bytes](std::uint64_t unit) {
        return bytes / unit * 10 + ((bytes % unit) * 10 + unit / 2) / unit;
    };
    std::uint64_t unit = 1000;
    std::size_t u = 0;
    while (u + 1 < std::size(kUnits) && tenthsOf(unit) >= 10000) {
        unit *= 1000;
        ++u;
    }
    const std::uint64_t tenths = tenthsOf(unit);
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10)
        text += "." + std::to_string(tenths % 10);
    return text + " " + kUnits[u];
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

void Traffic::add(std::uint64_t rx, std::uint64_t tx, std::int64_t withData) {
    received = saturatingAdd(received, rx);
    sent = saturatingAdd(sent, tx);
    minutes += withData;
}

std::string formatData(const Traffic& data, std::int64_t minutes) {
    if (!data.recorded())
        return minutes > 0 ? "no data recorded" : formatBytes(0);
    std::string text = formatBytes(data.total());
    if (data.minutes < minutes)
        text += " (no data recorded for " + formatDuration(minutes - data.minutes) + ")";
    return text;
}

std::uint64_t Traffic::total() const {
    return saturatingAdd(received, sent);
}

std::string formatRecord(const Stamp& s, std::string_view entry, const Traffic* data) {
    std::string name;
    for (const char c : entry) {
        if (c == '\0')
            name += "\xEF\xBF\xBD";
        else
            name.push_back(c);
    }
    std::string line = formatStamp(s) + "," + quoteField(name);
    // A count no minute can carry (a driver's glitch) would make the reader
    // skip the whole line, minute and all: the minute is kept, without data.
    if (data && data->received <= kMaxMinuteBytes && data->sent <= kMaxMinuteBytes)
        line += "," + std::to_string(data->received) + "," + std::to_string(data->sent);
    return line + "\n";
}

// ---- Summary ----

namespace {

// Month keys run from year 1 to year 9999.
constexpr int kMonthKeys = 10000 * 12;

bool newerFirst(const Session& a, const Session& b) {
    const std::int64_t ta = a.start.utcMinutes(), tb = b.start.utcMinutes();
    return ta != tb ? ta > tb : a.order > b.order;
}

} // namespace

const std::string& Summary::name(int entry) const {
    static const std::string none;
    return entry >= 0 && static_cast<std::size_t>(entry) < entries.size()
               ? entries[static_cast<std::size_t>(entry)]
               : none;
}

std::int64_t Summary::minutes(int entry, int monthKey) const {
    const Month* m = month(monthKey);
    if (!m)
        return 0;
    const auto it = m->entries.find(entry);
    return it == m->entries.end() ? 0 : it->second.minutes;
}

std::int64_t Summary::allTime(int entry) const {
    return entry >= 0 && entry < entryCount() ? allTimeMinutes[static_cast<std::size_t>(entry)] : 0;
}

Traffic Summary::data(int entry, int monthKey) const {
    const Month* m = month(monthKey);
    if (!m)
        return {};
    const auto it = m->entries.find(entry);
    return it == m->entries.end() ? Traffic() : it->second.data;
}

Traffic Summary::allTimeTraffic(int entry) const {
    return entry >= 0 && entry < entryCount() ? allTimeData[static_cast<std::size_t>(entry)]
                                              : Traffic();
}

const Month* Summary::month(int monthKey) const {
    const auto it = months.find(monthKey);
    return it == months.end() ? nullptr : &it->second;
}

std::vector<Session> Summary::sessionsNewestFirst(int monthKey) const {
    const Month* m = month(monthKey);
    return m ? m->sessions : std::vector<Session>();
}

// ---- Reader ----

Reader::Reader(std::vector<int> detail) : m_detail(std::move(detail)) {}

void Reader::feed(std::string_view data) {
    m_buffer.append(data);
    parse(false);
    m_buffer.erase(0, m_pos);
    m_pos = 0;
}

Summary Reader::finish() {
    parse(true);
    closeSession();
    Summary done = std::move(m_summary);
    for (auto& [key, m] : done.months) {
        keepNewest(m, kMaxSessions);
        std::sort(m.sessions.begin(), m.sessions.end(), newerFirst);
    }
    for (int key = m_firstMonth; key <= m_lastMonth; ++key)
        if (m_monthSeen[static_cast<std::size_t>(key)])
            done.monthKeys.push_back(key);
    *this = Reader(std::move(m_detail));
    return done;
}

void Reader::parse(bool atEnd) {
    Record record;
    while (m_pos < m_buffer.size()) {
        const std::string_view rest = std::string_view(m_buffer).substr(m_pos);
        if (m_skipLine) {
            const std::size_t nl = rest.find('\n');
            m_pos = nl == std::string_view::npos ? m_buffer.size() : m_pos + nl + 1;
            m_skipLine = nl == std::string_view::npos;
            continue;
        }
        std::size_t length = 0;
        // Scans stop at the longest record: junk costs no more than a record.
        Kind kind = readRecord(rest.substr(0, kMaxRecord + 1), length, record);
        if (kind == Kind::More && (atEnd || rest.size() > kMaxRecord))
            kind = Kind::Bad; // a torn last line, or junk without end
        if (kind == Kind::Record && length > kMaxRecord)
            kind = Kind::Bad;
        switch (kind) {
        case Kind::More:
            return;
        case Kind::Record:
            add(record);
            m_pos += length;
            break;
        case Kind::Blank:
        case Kind::Header:
            m_pos += length;
            break;
        case Kind::Bad: {
            // Go on at the next line: a record's own line breaks are only
            // inside quotes, which a broken record may have left open.
            ++m_summary.skipped;
            const std::size_t nl = rest.find('\n');
            m_pos = nl == std::string_view::npos ? m_buffer.size() : m_pos + nl + 1;
            m_skipLine = nl == std::string_view::npos && !atEnd;
            break;
        }
        }
    }
}

int Reader::intern(std::string_view name) {
    m_lastName.assign(name);
    const auto it = m_index.find(m_lastName);
    if (it != m_index.end())
        return it->second;
    if (m_summary.entries.size() >= kMaxEntries) {
        if (!m_summary.hasOther()) {
            m_summary.allTimeMinutes.push_back(0);
            m_summary.allTimeData.emplace_back();
        }
        return Summary::kOther;
    }
    const int entry = static_cast<int>(m_summary.entries.size());
    m_index.emplace(m_lastName, entry);
    m_summary.entries.push_back(m_lastName);
    m_summary.allTimeMinutes.push_back(0); // kOther comes only once the names are full
    m_summary.allTimeData.emplace_back();
    return entry;
}

Month* Reader::detailOf(int key) {
    if (key != m_cachedMonthKey) {
        m_cachedMonthKey = key;
        if (m_detail.empty() || std::find(m_detail.begin(), m_detail.end(), key) != m_detail.end())
            m_cachedMonth = &m_summary.months[key];
        else
            m_cachedMonth = nullptr;
    }
    return m_cachedMonth;
}

// Keeps the `keep` newest of the month's sessions, in no particular order.
void Reader::keepNewest(Month& m, std::size_t keep) {
    if (m.sessions.size() <= keep)
        return;
    std::nth_element(m.sessions.begin(), m.sessions.begin() + static_cast<std::ptrdiff_t>(keep),
                     m.sessions.end(), newerFirst);
    for (auto it = m.sessions.begin() + static_cast<std::ptrdiff_t>(keep); it != m.sessions.end();
         ++it) {
        ++m.sessionsLeftOut;
        m.minutesLeftOut += it->minutes;
        m.dataLeftOut.add(it->data);
    }
    m.sessions.resize(keep);
}

void Reader::closeSession() {
    if (!m_sessionOpen)
        return;
    m_sessionOpen = false;
    Month* m = detailOf(m_openMonth);
    if (!m)
        return;
    m_open.order = m_order++;
    m->sessions.push_back(m_open);
    // Trimmed in batches: linear time for any number of sessions.
    if (m->sessions.size() >= 2 * kMaxSessions)
        keepNewest(*m, kMaxSessions);
}

void Reader::add(const Record& r) {
    const Stamp& s = r.time;
    const bool sameName = m_summary.records > 0 && r.entry == m_lastName;
    const int entry = sameName ? m_lastEntry : intern(r.entry);
    m_lastEntry = entry;
    const int key = s.monthKey();
    ++m_summary.records;
    ++m_summary.allTimeMinutes[static_cast<std::size_t>(entry)];
    Traffic data;
    if (r.hasData)
        data.add(r.received, r.sent);
    m_summary.allTimeData[static_cast<std::size_t>(entry)].add(data);
    if (m_monthSeen.empty())
        m_monthSeen.resize(kMonthKeys);
    m_monthSeen[static_cast<std::size_t>(key)] = true;
    m_firstMonth = std::min(m_firstMonth, key);
    m_lastMonth = std::max(m_lastMonth, key);

    const std::int64_t utc = s.utcMinutes();
    const std::int64_t gap = utc - m_lastUtc;
    m_lastUtc = utc;
    Month* month = detailOf(key);
    if (!month) {
        closeSession();
        return;
    }
    EntryMonth& em = month->entries[entry];
    ++em.days[static_cast<std::size_t>(s.day - 1)];
    ++em.minutes;
    em.dayData[static_cast<std::size_t>(s.day - 1)].add(data);
    em.data.add(data);

    // The other entries' names are not kept: a session of theirs goes on
    // only while the name stays the same.
    if (m_sessionOpen && sameName && gap >= 0 && gap <= 2 && m_openMonth == key) {
        m_open.end = endOfMinute(s);
        ++m_open.minutes;
        m_open.data.add(data);
        return;
    }
    closeSession();
    m_open = Session{entry, s, endOfMinute(s), 1, 0, data};
    m_openMonth = key;
    m_sessionOpen = true;
}

Summary parse(std::string_view text) {
    Reader reader;
    reader.feed(text);
    return reader.finish();
}

bool readFile(const std::string& path, Summary& out, const std::vector<int>& detail,
              const std::atomic<bool>* cancel) {
    out = Summary();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    Reader reader(detail);
    std::string chunk(1 << 16, '\0');
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            ::close(fd);
            return false;
        }
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        reader.feed(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
    out = reader.finish();
    return true;
}

std::string sessionsCsv(const Summary& summary, const std::vector<Session>& sessions) {
    std::string out = "entry,start,end,minutes\n";
    for (const Session& s : sessions) {
        out += quoteField(summary.name(s.entry));
        out += "," + formatStamp(s.start) + "," + formatStamp(s.end) + "," +
               std::to_string(s.minutes) + "\n";
    }
    return out;
}

} // namespace history
