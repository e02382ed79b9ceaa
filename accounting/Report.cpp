#include "Report.h"

#include "DataPlans.h"
#include "History.h"
#include "IniFile.h"
#include "unitUtils.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace report {

namespace {

// A text of the report in the user's language, its %1, %2... filled in
// order. The JSON output's names never go through here.
std::string text(const char* source, std::initializer_list<std::string> args = {}) {
    // In one pass: a name or path holding "%2" stays as it is.
    const std::string t = QCoreApplication::translate("report", source).toStdString();
    const std::vector<std::string> values(args);
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::size_t n = i + 1 < t.size() ? std::size_t(t[i + 1] - '1') : values.size();
        if (t[i] == '%' && n < values.size()) {
            out += values[n];
            ++i;
        } else {
            out += t[i];
        }
    }
    return out;
}

std::string usage() {
    return text(QT_TRANSLATE_NOOP("report",
                                  "Usage: brantle-vantrel --report [--month YYYY-MM] [--json]\n"
                                  "Prints the time counted per entry in the ledger, then the "
                                  "minutes and the\nsessions of one month from the usage "
                                  "history.\n"
                                  "  --month YYYY-MM  the month to report (default: this month)\n"
                                  "  --json           one JSON object, for scripts and status "
                                  "bars\n"));
}

std::string duration(std::int64_t minutes) {
    return text(QT_TRANSLATE_NOOP("report", "%1 H., %2 Min"),
                {std::to_string(minutes / 60), std::to_string(minutes % 60)});
}

std::string dataText(const history::Traffic& data, std::int64_t minutes) {
    if (!data.recorded())
        return minutes > 0 ? text(QT_TRANSLATE_NOOP("report", "no data recorded"))
                           : history::formatBytes(0);
    std::string t = history::formatBytes(data.total());
    if (data.minutes < minutes)
        t += text(QT_TRANSLATE_NOOP("report", " (no data recorded for %1)"),
                  {duration(minutes - data.minutes)});
    return t;
}

struct Options {
    bool json = false;
    bool monthGiven = false;
    int month = 0;
};

std::string echo(const std::string& value);

bool parseArguments(int argc, char** argv, Options& o, std::string& error) {
    bool report = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--report") {
            report = true;
        } else if (arg == "--help" || arg == "-h") {
            error.clear();
            return false;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--month" || arg.rfind("--month=", 0) == 0) {
            std::string value;
            if (arg == "--month") {
                if (i + 1 >= argc) {
                    error = text(QT_TRANSLATE_NOOP("report", "--month needs a month, as YYYY-MM"));
                    return false;
                }
                value = argv[++i];
            } else {
                value = arg.substr(8);
            }
            if (!history::parseMonth(value, o.month)) {
                error =
                    text(QT_TRANSLATE_NOOP("report", "not a month: '%1' (YYYY-MM)"), {echo(value)});
                return false;
            }
            o.monthGiven = true;
        } else {
            error = text(QT_TRANSLATE_NOOP("report", "unknown argument: '%1'"), {echo(arg)});
            return false;
        }
    }
    if (!report)
        error = text(QT_TRANSLATE_NOOP("report", "--month and --json go with --report"));
    return report;
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Valid UTF-8 as it is; other bytes become U+FFFD.
std::string utf8(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
        bool ok = len > 0 && i + len <= in.size();
        for (std::size_t k = 1; ok && k < len; ++k)
            ok = (static_cast<unsigned char>(in[i + k]) >> 6) == 2;
        if (ok && len > 1) {
            // No overlong forms, surrogates or values past U+10FFFF.
            const auto c1 = static_cast<unsigned char>(in[i + 1]);
            ok =
                !(c == 0xC0 || c == 0xC1 || (c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) ||
                  (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90) || c > 0xF4);
        }
        if (ok) {
            out.append(in, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string jsonString(const std::string& raw) {
    std::string out = "\"";
    for (const char ch : utf8(raw)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// For the terminal: control characters written out, not obeyed.
std::string printable(const std::string& raw) {
    std::string out;
    for (const char ch : utf8(raw)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out;
}

// A value from the command line as an error message shows it: printable,
// and cut after 64 characters.
std::string echo(const std::string& value) {
    constexpr std::size_t kShown = 64;
    const std::string text = utf8(value);
    std::size_t end = 0, characters = 0;
    while (end < text.size() && characters < kShown) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) >> 6) == 2)
            ++end;
        ++characters;
    }
    return printable(text.substr(0, end)) + (end < text.size() ? "..." : "");
}

std::string localText(const history::Stamp& s, bool withDate) {
    char text[32];
    if (withDate)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", s.year, s.month, s.day, s.hour,
                      s.minute);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", s.hour, s.minute);
    return text;
}

struct LedgerLine {
    std::string entry;
    std::int32_t hours, minutes;
};

struct Data {
    std::string ledgerPath, historyPath;
    bool ledgerFound = false, historyFound = false;
    std::vector<LedgerLine> ledger;
    history::Summary summary;
    history::Stamp now;
    int month = 0;
    std::string plansPath;
    bool plansFound = false;
    std::vector<plans::Plan> plans; // those with an allowance

    QDate today() const { return QDate(now.year, now.month, now.day); }

    std::int64_t monthMinutes() const {
        std::int64_t total = 0;
        if (const history::Month* m = summary.month(month))
            for (const auto& [entry, em] : m->entries)
                total += em.minutes;
        return total;
    }
    history::Traffic monthData() const {
        history::Traffic total;
        if (const history::Month* m = summary.month(month))
            for (const auto& [entry, em] : m->entries)
                total.add(em.data);
        return total;
    }
    history::Traffic dayData(int monthKey, int day) const {
        history::Traffic total;
        if (const history::Month* m = summary.month(monthKey))
            for (const auto& [entry, em] : m->entries)
                total.add(em.dayData[static_cast<std::size_t>(day - 1)]);
        return total;
    }
    std::int64_t dayMinutes(int monthKey, int day) const {
        const history::Month* m = summary.month(monthKey);
        std::int64_t total = 0;
        if (m)
            for (const auto& [entry, em] : m->entries)
                total += em.days[static_cast<std::size_t>(day - 1)];
        return total;
    }
    std::size_t sessionsLeftOut() const {
        const history::Month* m = summary.month(month);
        return m ? m->sessionsLeftOut : 0;
    }
};

Data load(const Options& o) {
    Data d;
    d.now = history::localNow();
    d.month = o.monthGiven ? o.month : d.now.monthKey();
    d.ledgerPath = filePath(DataFileName());
    d.historyPath = filePath(HistoryFileName());
    d.ledgerFound = isFile(d.ledgerPath);
    if (d.ledgerFound) {
        // One read of the file for all sections.
        for (IniFile::SectionNumbers& s :
             IniFile(d.ledgerPath).LoadSectionNumbers({"Hours", "Minutes"}, 0))
            d.ledger.push_back({std::move(s.section), s.numbers[0], s.numbers[1]});
    }
    d.plansPath = filePath(PlansFileName());
    d.plansFound = isFile(d.plansPath);
    if (d.plansFound)
        for (plans::Plan& p : plans::loadPlans(IniFile(d.plansPath)))
            if (p.active())
                d.plans.push_back(std::move(p));
    // A billing period reaches back into last month at most.
    d.historyFound = history::readFile(
        d.historyPath, d.summary, {d.month, d.month - 1, d.now.monthKey(), d.now.monthKey() - 1});
    return d;
}

// The byte fields of some minutes: `prefix`received, `prefix`sent, and
// `prefix`data_minutes, the minutes that carried data.
std::string dataFields(const history::Traffic& t, const char* prefix = "") {
    const std::string p = prefix;
    return ", \"" + p + "received\": " + std::to_string(t.received) + ", \"" + p +
           "sent\": " + std::to_string(t.sent) + ", \"" + p +
           "data_minutes\": " + std::to_string(t.minutes);
}

std::string topDataFields(const history::Traffic& t, const char* prefix) {
    const std::string p = prefix;
    return ",\n  \"" + p + "received\": " + std::to_string(t.received) + ",\n  \"" + p +
           "sent\": " + std::to_string(t.sent) + ",\n  \"" + p +
           "data_minutes\": " + std::to_string(t.minutes);
}

std::string isoDate(QDate date) {
    return date.toString(Qt::ISODate).toStdString();
}

std::string percentText(std::uint64_t used, std::uint64_t allowance) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f",
                  static_cast<double>(used) * 100.0 / static_cast<double>(allowance));
    return text;
}

void printPlansJson(const Data& d, std::ostream& out) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    out << ",\n  \"plans_file\": " << jsonString(d.plansPath)
        << ",\n  \"plans_found\": " << (d.plansFound ? "true" : "false") << ",\n  \"plans\": [";
    const char* sep = "\n    ";
    for (const plans::Plan& p : d.plans) {
        const plans::Period period = plans::periodFor(d.today(), p.billingDay);
        const std::uint64_t used = plans::usage(d.summary, p.entry, period);
        out << sep << "{\"entry\": " << jsonString(p.entry)
            << ", \"allowance_mb\": " << p.allowanceMB
            << ", \"allowance_bytes\": " << p.allowanceBytes()
            << ", \"billing_day\": " << p.billingDay << ", \"warn_percent\": " << p.warnPercent
            << ", \"period_start\": \"" << isoDate(period.start) << "\", \"period_end\": \""
            << isoDate(period.last) << "\", \"period_start_time\": \""
            << period.startTime(zone).toString(Qt::ISODate).toStdString()
            << "\", \"period_end_time\": \""
            << period.endTime(zone).toString(Qt::ISODate).toStdString() << "\", \"renews\": \""
            << isoDate(period.next) << "\", \"used\": " << used
            << ", \"percent\": " << percentText(used, p.allowanceBytes())
            << ", \"warn_sent\": " << (p.warnSentFor == period.start ? "true" : "false")
            << ", \"limit_sent\": " << (p.limitSentFor == period.start ? "true" : "false") << "}";
        sep = ",\n    ";
    }
    out << (d.plans.empty() ? "]" : "\n  ]");
}

void printPlansText(const Data& d, std::ostream& out) {
    if (d.plans.empty())
        return;
    out << text(QT_TRANSLATE_NOOP("report", "\nData plans %1:\n"), {printable(d.plansPath)});
    for (const plans::Plan& p : d.plans) {
        const plans::Period period = plans::periodFor(d.today(), p.billingDay);
        const std::uint64_t used = plans::usage(d.summary, p.entry, period);
        out << "  " << printable(p.entry) << ": " << plans::usageText(used, p, period).toStdString()
            << text(QT_TRANSLATE_NOOP("report", " (%1 %), since %2"),
                    {percentText(used, p.allowanceBytes()), isoDate(period.start)});
        if (p.limitSentFor == period.start)
            out << text(QT_TRANSLATE_NOOP("report", "; told at 100 %"));
        else if (p.warnSentFor == period.start)
            out << text(QT_TRANSLATE_NOOP("report", "; warned at %1 %"),
                        {std::to_string(p.warnPercent)});
        out << "\n";
    }
}

void printJson(const Data& d, std::ostream& out) {
    char today[16];
    std::snprintf(today, sizeof today, "%04d-%02d-%02d", d.now.year, d.now.month, d.now.day);
    out << "{\n  \"version\": 1,\n  \"month\": " << jsonString(history::formatMonth(d.month))
        << ",\n  \"today\": \"" << today << "\",\n  \"ledger_file\": " << jsonString(d.ledgerPath)
        << ",\n  \"ledger_found\": " << (d.ledgerFound ? "true" : "false") << ",\n  \"ledger\": [";
    const char* sep = "\n    ";
    for (const LedgerLine& l : d.ledger) {
        out << sep << "{\"entry\": " << jsonString(l.entry) << ", \"hours\": " << l.hours
            << ", \"minutes\": " << l.minutes
            << ", \"total_minutes\": " << static_cast<std::int64_t>(l.hours) * 60 + l.minutes
            << "}";
        sep = ",\n    ";
    }
    out << (d.ledger.empty() ? "]" : "\n  ]");
    out << ",\n  \"history_file\": " << jsonString(d.historyPath)
        << ",\n  \"history_found\": " << (d.historyFound ? "true" : "false")
        << ",\n  \"skipped_lines\": " << d.summary.skipped
        << ",\n  \"month_minutes\": " << d.monthMinutes()
        << ",\n  \"today_minutes\": " << d.dayMinutes(d.now.monthKey(), d.now.day)
        << topDataFields(d.monthData(), "month_")
        << topDataFields(d.dayData(d.now.monthKey(), d.now.day), "today_") << ",\n  \"entries\": [";
    sep = "\n    ";
    for (int e = 0; e < d.summary.entryCount(); ++e) {
        out << sep << "{\"entry\": " << jsonString(d.summary.name(e))
            << ", \"minutes\": " << d.summary.minutes(e, d.month)
            << ", \"last_month_minutes\": " << d.summary.minutes(e, d.month - 1)
            << ", \"all_time_minutes\": " << d.summary.allTime(e)
            << dataFields(d.summary.data(e, d.month))
            << dataFields(d.summary.data(e, d.month - 1), "last_month_")
            << dataFields(d.summary.allTimeTraffic(e), "all_time_") << "}";
        sep = ",\n    ";
    }
    out << (d.summary.entryCount() == 0 ? "]" : "\n  ]")
        << ",\n  \"other_entries\": " << (d.summary.hasOther() ? "true" : "false")
        << ",\n  \"days\": [";
    sep = "\n    ";
    bool anyDay = false;
    for (int day = 1; day <= history::daysInMonth(d.month); ++day) {
        const std::int64_t minutes = d.dayMinutes(d.month, day);
        if (minutes == 0)
            continue;
        out << sep << "{\"date\": \"" << history::formatMonth(d.month) << "-"
            << (day < 10 ? "0" : "") << day << "\", \"minutes\": " << minutes
            << dataFields(d.dayData(d.month, day)) << "}";
        sep = ",\n    ";
        anyDay = true;
    }
    out << (anyDay ? "\n  ]" : "]") << ",\n  \"sessions\": [";
    sep = "\n    ";
    const auto sessions = d.summary.sessionsNewestFirst(d.month);
    for (const history::Session& s : sessions) {
        out << sep << "{\"entry\": " << jsonString(d.summary.name(s.entry)) << ", \"start\": \""
            << history::formatStamp(s.start) << "\", \"end\": \"" << history::formatStamp(s.end)
            << "\", \"minutes\": " << s.minutes << dataFields(s.data) << "}";
        sep = ",\n    ";
    }
    out << (sessions.empty() ? "]" : "\n  ]")
        << ",\n  \"sessions_left_out\": " << d.sessionsLeftOut();
    printPlansJson(d, out);
    out << "\n}\n";
}

std::string entryText(const history::Summary& summary, int entry) {
    if (entry == history::Summary::kOther)
        return text(QT_TRANSLATE_NOOP("report", "(the other entries, past %1 names)"),
                    {std::to_string(history::kMaxEntries)});
    return printable(summary.name(entry));
}

// The data with its two parts: "1.2 GB (1.1 GB received, 95.2 MB sent)".
std::string dataDetail(const history::Traffic& t, std::int64_t minutes) {
    std::string detail = dataText(t, minutes);
    if (t.recorded())
        detail += text(QT_TRANSLATE_NOOP("report", ", of which %1 received and %2 sent"),
                       {history::formatBytes(t.received), history::formatBytes(t.sent)});
    return detail;
}

void printText(const Data& d, std::ostream& out) {
    const std::string month = history::formatMonth(d.month);
    if (!d.ledgerFound) {
        out << text(QT_TRANSLATE_NOOP("report", "No ledger at %1.\n"), {printable(d.ledgerPath)});
    } else {
        out << text(QT_TRANSLATE_NOOP("report", "Ledger %1:\n"), {printable(d.ledgerPath)});
        if (d.ledger.empty())
            out << text(QT_TRANSLATE_NOOP("report", "  no entries\n"));
        for (const LedgerLine& l : d.ledger)
            out << "  " << printable(l.entry) << ": "
                << text(QT_TRANSLATE_NOOP("report", "%1 H., %2 Min"),
                        {std::to_string(l.hours), std::to_string(l.minutes)})
                << "\n";
    }
    out << "\n";
    if (!d.historyFound) {
        out << text(QT_TRANSLATE_NOOP("report", "No usage history at %1.\n"),
                    {printable(d.historyPath)});
        printPlansText(d, out);
        return;
    }
    out << text(QT_TRANSLATE_NOOP("report", "Usage history %1, %2: %3, %4\n"),
                {printable(d.historyPath), month, duration(d.monthMinutes()),
                 dataText(d.monthData(), d.monthMinutes())});
    for (int e = 0; e < d.summary.entryCount(); ++e) {
        const std::int64_t minutes = d.summary.minutes(e, d.month);
        if (minutes > 0)
            out << "  " << entryText(d.summary, e) << ": " << duration(minutes) << ", "
                << dataDetail(d.summary.data(e, d.month), minutes) << "\n";
    }
    const auto sessions = d.summary.sessionsNewestFirst(d.month);
    if (sessions.empty()) {
        out << text(QT_TRANSLATE_NOOP("report", "No minutes counted in %1.\n"), {month});
    } else {
        out << text(QT_TRANSLATE_NOOP("report", "\nSessions in %1, newest first:\n"), {month});
        for (const history::Session& s : sessions) {
            const bool sameDay = s.start.year == s.end.year && s.start.month == s.end.month &&
                                 s.start.day == s.end.day;
            out << "  " << localText(s.start, true) << " - " << localText(s.end, !sameDay) << "  "
                << duration(s.minutes) << "  " << dataText(s.data, s.minutes) << "  "
                << entryText(d.summary, s.entry) << "\n";
        }
        if (d.sessionsLeftOut() > 0)
            out << text(QT_TRANSLATE_NOOP("report", "  and %1 older sessions, not listed\n"),
                        {std::to_string(d.sessionsLeftOut())});
    }
    if (d.summary.skipped > 0)
        out << "\n"
            << (d.summary.skipped == 1
                    ? text(QT_TRANSLATE_NOOP("report", "1 line of the history could not be read "
                                                       "and was skipped.\n"))
                    : text(QT_TRANSLATE_NOOP("report", "%1 lines of the history could not be "
                                                       "read and were skipped.\n"),
                           {std::to_string(d.summary.skipped)}));
    printPlansText(d, out);
}

} // namespace

bool requested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--report") == 0)
            return true;
    return false;
}

int run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    Options options;
    std::string error;
    if (!parseArguments(argc, argv, options, error)) {
        if (error.empty()) { // asked for help
            out << usage();
            return 0;
        }
        err << "brantle-vantrel: " << error << "\n" << usage();
        return 2;
    }
    const Data data = load(options);
    if (options.json)
        printJson(data, out);
    else
        printText(data, out);
    out.flush();
    return 0;
}

} // namespace report
