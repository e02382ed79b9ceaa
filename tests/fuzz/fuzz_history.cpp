// Fuzz entry for the usage history's reader: any bytes, read whole and in
// odd-sized pieces. The first byte picks the piece size; the rest is the file.
// Every property checked here aborts on failure, so libFuzzer and the corpus
// replay catch it alike.

#include "accounting/History.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

bool sameSummary(const history::Summary& a, const history::Summary& b) {
    if (a.records != b.records || a.skipped != b.skipped || a.entries != b.entries ||
        a.months.size() != b.months.size())
        return false;
    for (const auto& [key, m] : a.months) {
        const history::Month* other = b.month(key);
        if (!other || other->sessions.size() != m.sessions.size())
            return false;
        for (const auto& [entry, em] : m.entries)
            if (b.minutes(entry, key) != em.minutes)
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

    std::size_t minutes = 0;
    for (const auto& [key, m] : whole.months) {
        int counted = 0, inSessions = 0;
        for (const auto& [entry, em] : m.entries) {
            int days = 0;
            for (int d : em.days)
                days += d;
            check(days == em.minutes, "days add up to the month");
            check(entry >= 0 && static_cast<std::size_t>(entry) < whole.entries.size(), "entry");
            counted += em.minutes;
        }
        for (const history::Session& s : m.sessions) {
            check(s.minutes >= 1 && s.start.monthKey() == key, "session in its month");
            check(s.end.utcMinutes() > s.start.utcMinutes(), "session ends after it starts");
            inSessions += s.minutes;
        }
        check(counted == inSessions, "sessions hold the month's minutes");
        minutes += static_cast<std::size_t>(counted);
    }
    check(minutes == whole.records, "every record counted once");

    // What was read writes back as records that read the same (names well
    // short of the limit: quoting may lengthen a record).
    std::string again;
    std::vector<std::string> names;
    for (const std::string& name : whole.entries) {
        check(!name.empty() && name.size() <= history::kMaxRecord, "name length");
        check(name.find('\0') == std::string::npos, "no NUL in a name");
        if (name.size() > 900)
            continue;
        names.push_back(name);
        again += history::formatRecord(history::Stamp{}, name);
    }
    const history::Summary back = history::parse(again);
    check(back.entries == names && back.skipped == 0, "names round trip");
    return 0;
}
