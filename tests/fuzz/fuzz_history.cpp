// Fuzz entry for the usage history's reader: any bytes, read whole and in
// odd-sized pieces. The first byte picks the piece size; the rest is the file.

#include "FuzzCheck.h"
#include "accounting/History.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool sameData(const history::Traffic& a, const history::Traffic& b) {
    return a.received == b.received && a.sent == b.sent && a.minutes == b.minutes;
}

bool sameSummary(const history::Summary& a, const history::Summary& b) {
    if (a.records != b.records || a.skipped != b.skipped || a.entries != b.entries ||
        a.allTimeMinutes != b.allTimeMinutes || a.monthKeys != b.monthKeys ||
        a.months.size() != b.months.size() || a.allTimeData.size() != b.allTimeData.size())
        return false;
    for (std::size_t e = 0; e < a.allTimeData.size(); ++e)
        if (!sameData(a.allTimeData[e], b.allTimeData[e]))
            return false;
    for (const auto& [key, m] : a.months) {
        const history::Month* other = b.month(key);
        if (!other || other->sessions.size() != m.sessions.size() ||
            other->sessionsLeftOut != m.sessionsLeftOut)
            return false;
        for (const auto& [entry, em] : m.entries)
            if (b.minutes(entry, key) != em.minutes || !sameData(b.data(entry, key), em.data))
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = 1 + data[0] % 97;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const history::Summary whole = history::parse(text);
    history::Reader reader;
    for (std::size_t i = 0; i < text.size(); i += piece)
        reader.feed(text.substr(i, piece));
    check(sameSummary(whole, reader.finish()), "pieces read as the whole");

    std::int64_t minutes = 0, allTime = 0;
    check(whole.entries.size() <= history::kMaxEntries, "names kept");
    check(whole.allTimeData.size() == whole.allTimeMinutes.size(), "data for every entry");
    for (int e = 0; e < whole.entryCount(); ++e) {
        allTime += whole.allTime(e);
        check(whole.allTimeTraffic(e).minutes <= whole.allTime(e), "data only of minutes");
    }
    check(allTime == static_cast<std::int64_t>(whole.records), "all time is every record");
    check(whole.monthKeys.size() == whole.months.size(), "every month listed");
    for (const auto& [key, m] : whole.months) {
        std::int64_t counted = 0, inSessions = m.minutesLeftOut;
        for (const auto& [entry, em] : m.entries) {
            std::int64_t days = 0;
            for (std::int64_t d : em.days)
                days += d;
            check(days == em.minutes, "days add up to the month");
            // Sums that saturate come to the same whatever their grouping.
            history::Traffic dayData;
            for (const history::Traffic& d : em.dayData)
                dayData.add(d);
            check(sameData(dayData, em.data), "days' data add up to the month's");
            check(em.data.minutes <= em.minutes, "data only of minutes");
            check(entry >= 0 && entry < whole.entryCount(), "entry");
            counted += em.minutes;
        }
        check(m.sessions.size() <= history::kMaxSessions, "sessions kept");
        for (std::size_t i = 0; i < m.sessions.size(); ++i) {
            const history::Session& s = m.sessions[i];
            check(s.minutes >= 1 && s.start.monthKey() == key, "session in its month");
            check(i == 0 || m.sessions[i - 1].start.utcMinutes() >= s.start.utcMinutes(),
                  "newest first");
            // The end is the minute after the last, or the format's last minute.
            history::Stamp end;
            check(history::parseStamp(history::formatStamp(s.end), end) && end == s.end,
                  "the end prints as a time that parses back");
            check(s.end.utcMinutes() > s.start.utcMinutes() ||
                      (s.end == s.start && s.end.year == 9999),
                  "session ends after it starts");
            inSessions += s.minutes;
        }
        check(counted == inSessions, "sessions hold the month's minutes");
        minutes += counted;
    }
    check(minutes == static_cast<std::int64_t>(whole.records), "every record counted once");

    for (const std::string& name : whole.entries) {
        check(!name.empty() && name.size() <= history::kMaxRecord, "name length");
        check(name.find('\0') == std::string::npos, "no NUL in a name");
    }
    return 0;
}
