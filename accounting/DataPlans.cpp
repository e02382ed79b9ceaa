#include "DataPlans.h"

#include "accountingLog.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>

namespace plans {

namespace {

// Decimal digits only, within [lo, hi]; anything else is missing.
bool parseNumber(const std::string& text, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
    if (text.empty() || text.size() > 18)
        return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

std::int64_t loadNumber(const IniFile& ini, const std::string& section, const char* key,
                        std::int64_t lo, std::int64_t hi, std::int64_t fallback) {
    std::int64_t v = fallback;
    parseNumber(ini.LoadText(section, key, ""), lo, hi, v);
    return v;
}

QDate loadDate(const IniFile& ini, const std::string& section, const char* key) {
    const std::string text = ini.LoadText(section, key, "");
    return QDate::fromString(QString::fromLatin1(text.c_str()), Qt::ISODate);
}

QDateTime midnight(QDate day, const QTimeZone& zone) {
    // Qt moves a time in a gap forward by the gap's length: the first
    // moment of the day that exists.
    return QDateTime(day, QTime(0, 0), zone);
}

} // namespace

QDateTime Period::startTime(const QTimeZone& zone) const {
    return midnight(start, zone);
}

QDateTime Period::endTime(const QTimeZone& zone) const {
    return midnight(next, zone);
}

QDate billingDate(int year, int month, int billingDay) {
    const QDate first(year, month, 1);
    return QDate(year, month, std::clamp(billingDay, 1, first.daysInMonth()));
}

Period periodFor(QDate today, int billingDay) {
    Period p;
    p.start = billingDate(today.year(), today.month(), billingDay);
    if (today < p.start) {
        const QDate prev = today.addMonths(-1);
        p.start = billingDate(prev.year(), prev.month(), billingDay);
    }
    const QDate after = p.start.addMonths(1);
    p.next = billingDate(after.year(), after.month(), billingDay);
    p.last = p.next.addDays(-1);
    return p;
}

std::vector<int> detailMonths(const Period& period) {
    std::vector<int> keys;
    for (QDate d(period.start.year(), period.start.month(), 1); d <= period.last;
         d = d.addMonths(1))
        keys.push_back(d.year() * 12 + d.month() - 1);
    return keys;
}

std::uint64_t usage(const history::Summary& summary, const std::string& entry,
                    const Period& period) {
    const auto it = std::find(summary.entries.begin(), summary.entries.end(), entry);
    if (it == summary.entries.end())
        return 0;
    const int index = static_cast<int>(it - summary.entries.begin());
    std::uint64_t sum = 0;
    for (QDate d = period.start; d <= period.last; d = d.addDays(1)) {
        const history::Month* m = summary.month(d.year() * 12 + d.month() - 1);
        if (!m)
            continue;
        const auto e = m->entries.find(index);
        if (e != m->entries.end())
            sum = history::saturatingAdd(sum, e->second.dayData[d.day() - 1].total());
    }
    return sum;
}

Plan loadPlan(const IniFile& ini, const std::string& entry) {
    Plan p;
    p.entry = entry;
    p.allowanceMB = loadNumber(ini, entry, kAllowanceKey, 0, kMaxAllowanceMB, 0);
    p.billingDay =
        static_cast<int>(loadNumber(ini, entry, kBillingDayKey, 1, 31, kDefaultBillingDay));
    p.warnPercent =
        static_cast<int>(loadNumber(ini, entry, kWarnPercentKey, 1, 99, kDefaultWarnPercent));
    p.warnSentFor = loadDate(ini, entry, kWarnSentKey);
    p.limitSentFor = loadDate(ini, entry, kLimitSentKey);
    return p;
}

std::vector<Plan> loadPlans(const IniFile& ini) {
    std::vector<std::string> names;
    ini.LoadSectionNames(names);
    std::vector<Plan> result;
    result.reserve(names.size());
    for (const std::string& name : names)
        result.push_back(loadPlan(ini, name));
    return result;
}

void storeSettings(IniFile& ini, const Plan& plan) {
    ini.StoreTexts(plan.entry, {{kAllowanceKey, std::to_string(plan.allowanceMB)},
                                {kBillingDayKey, std::to_string(plan.billingDay)},
                                {kWarnPercentKey, std::to_string(plan.warnPercent)}});
}

Notice noticeDue(const Plan& plan, const Period& period, std::uint64_t used) {
    if (!plan.active())
        return Notice::None;
    const std::uint64_t allowance = plan.allowanceBytes();
    if (used >= allowance)
        return plan.limitSentFor == period.start ? Notice::None : Notice::Limit;
    // used < allowance <= 10^15 here: neither product overflows.
    if (used * 100 >= allowance * static_cast<std::uint64_t>(plan.warnPercent))
        return plan.warnSentFor == period.start || plan.limitSentFor == period.start ? Notice::None
                                                                                     : Notice::Warn;
    return Notice::None;
}

void recordNotice(IniFile& ini, const std::string& entry, Notice notice, const Period& period) {
    const std::string day = period.start.toString(Qt::ISODate).toStdString();
    if (notice == Notice::Limit)
        ini.StoreTexts(entry, {{kWarnSentKey, day}, {kLimitSentKey, day}});
    else if (notice == Notice::Warn)
        ini.StoreText(entry, kWarnSentKey, day);
}

std::string formatUsed(std::uint64_t bytes) {
    std::string text = history::formatBytes(bytes);
    const auto space = text.find(' ');
    if (bytes >= 1000 && text.find('.') == std::string::npos && space != std::string::npos)
        text.insert(space, ".0");
    return text;
}

QString shortDate(QDate date) {
    // The month's name in the language of the texts around it.
    return QLocale(QCoreApplication::translate("DataPlans", "en", "locale of the month names"))
        .toString(date, QStringLiteral("d MMM"));
}

QString noticeText(const QString& entryName, std::uint64_t used, const Plan& plan,
                   const Period& period) {
    return QCoreApplication::translate("DataPlans", "%1: %2 of %3 used; the plan renews on %4.")
        .arg(entryName, QString::fromStdString(formatUsed(used)),
             QString::fromStdString(history::formatBytes(plan.allowanceBytes())),
             shortDate(period.next));
}

QString usageText(std::uint64_t used, const Plan& plan, const Period& period) {
    return QCoreApplication::translate("DataPlans", "%1 of %2, renews %3")
        .arg(QString::fromStdString(formatUsed(used)),
             QString::fromStdString(history::formatBytes(plan.allowanceBytes())),
             shortDate(period.next));
}

std::uint64_t UsageTracker::usage(const std::string& entry, const Period& period) {
    auto it = m_sums.find(entry);
    if (it != m_sums.end() && it->second.period.start == period.start &&
        it->second.period.next == period.next)
        return it->second.bytes;
    history::Summary summary;
    ++m_reads;
    history::readFile(m_historyPath, summary, detailMonths(period));
    Sum& s = m_sums[entry];
    s.period = period;
    s.bytes = plans::usage(summary, entry, period);
    return s.bytes;
}

void UsageTracker::add(const std::string& entry, QDate day, std::uint64_t bytes) {
    const auto it = m_sums.find(entry);
    if (it != m_sums.end() && it->second.period.contains(day))
        it->second.bytes = history::saturatingAdd(it->second.bytes, bytes);
}

TickCheck checkMinute(const IniFile& ini, UsageTracker& usage, const std::string& entry,
                      QDate today, std::uint64_t bytes) {
    TickCheck c;
    usage.add(entry, today, bytes);
    if (ini.LoadText(entry, kAllowanceKey, "").empty())
        return c;
    c.plan = loadPlan(ini, entry);
    if (!c.plan.active())
        return c;
    c.period = periodFor(today, c.plan.billingDay);
    c.used = usage.usage(entry, c.period);
    c.notice = noticeDue(c.plan, c.period, c.used);
    return c;
}

} // namespace plans
