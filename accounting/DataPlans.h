#pragma once
// Data plans, "Vantrel Plans.ini" beside the ledger: an allowance, a billing
// day and a warning level per entry, and which notices went out in which
// period. One section per entry, named as the ledger names it:
//
//   [Office]
//   DataAllowanceMB=10000   decimal megabytes; 0 or missing: no plan
//   BillingDay=17           1 to 31; missing: 1
//   WarnPercent=80          1 to 99; missing: 80
//   WarnSentFor=2026-11-17  the period (its first day) the warning went out for
//   LimitSentFor=2026-11-17 likewise for the notice at 100 %
//
// A value that does not parse reads as missing for its key: a hand edit
// never stops the tick nor brings up a box.
//
// The period runs from local midnight on the billing day to the day before
// the next one; a billing day past a month's end means that month's last
// day. A minute belongs to the period of the local date it was counted on,
// as the history stamps it, so the period's days add up to what the history
// window shows for them, across a change of clocks or of time zone alike.

#include "History.h"
#include "IniFile.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plans {

inline constexpr int kDefaultBillingDay = 1;
inline constexpr int kDefaultWarnPercent = 80;
// 1 PB: past this an allowance is a typo, not a plan.
inline constexpr std::int64_t kMaxAllowanceMB = 1'000'000'000;

inline constexpr const char* kAllowanceKey = "DataAllowanceMB";
inline constexpr const char* kBillingDayKey = "BillingDay";
inline constexpr const char* kWarnPercentKey = "WarnPercent";
inline constexpr const char* kWarnSentKey = "WarnSentFor";
inline constexpr const char* kLimitSentKey = "LimitSentFor";

struct Plan {
    std::string entry; // the section's name, as the ledger names the entry
    std::int64_t allowanceMB = 0;
    int billingDay = kDefaultBillingDay;
    int warnPercent = kDefaultWarnPercent;
    QDate warnSentFor;  // null: never
    QDate limitSentFor; // null: never

    bool active() const { return allowanceMB > 0; }
    std::uint64_t allowanceBytes() const {
        return static_cast<std::uint64_t>(allowanceMB) * 1'000'000;
    }
};

// A billing period: the days `start` to `last`, both included; the plan
// renews on `next`.
struct Period {
    QDate start;
    QDate last;
    QDate next;

    bool contains(QDate d) const { return d >= start && d <= last; }
    // Local midnight at the start and at the end, in `zone`; where midnight
    // does not exist, the first moment of the day that does.
    QDateTime startTime(const QTimeZone& zone) const;
    QDateTime endTime(const QTimeZone& zone) const;
};

// The billing day's date in the given month: the month's last day when the
// month is shorter.
QDate billingDate(int year, int month, int billingDay);
// The period holding `today`.
Period periodFor(QDate today, int billingDay);

// The bytes of `entry` (as stored in the history) counted on the period's
// days. `summary` must hold the period's months in detail.
std::uint64_t usage(const history::Summary& summary, const std::string& entry,
                    const Period& period);
// The months a period's usage needs in detail, for history::Reader.
std::vector<int> detailMonths(const Period& period);

// Reading and writing the plans file. Reads never throw; writes throw
// IniWriteError.
Plan loadPlan(const IniFile& ini, const std::string& entry);
// Every section of the file, in file order, plans or not.
std::vector<Plan> loadPlans(const IniFile& ini);
// The allowance, billing day and warning level in one write.
void storeSettings(IniFile& ini, const Plan& plan);

enum class Notice { None, Warn, Limit };
// The notice that `used` calls for now, once per period and level; at the
// limit, the warning is taken as given too.
Notice noticeDue(const Plan& plan, const Period& period, std::uint64_t used);
// Records the notice as sent for the period.
void recordNotice(IniFile& ini, const std::string& entry, Notice notice, const Period& period);

// "Office: 8.0 GB of 10 GB used; the plan renews on 17 Dec."
QString noticeText(const QString& entryName, std::uint64_t used, const Plan& plan,
                   const Period& period);
// "6.1 GB of 10 GB, renews 17 Dec"
QString usageText(std::uint64_t used, const Plan& plan, const Period& period);
// Bytes in the unit formatBytes picks, always with one decimal: "8.0 GB".
std::string formatUsed(std::uint64_t bytes);
// "17 Dec", in English whatever the locale, like the program's other texts.
QString shortDate(QDate date);

// The period's usage per entry, kept as the tick adds bytes, and read from
// the history only at the first use and when the period rolls: the tick
// never reads the whole history.
class UsageTracker {
public:
    explicit UsageTracker(std::string historyPath) : m_historyPath(std::move(historyPath)) {}
    // The usage of `entry` (as stored) in `period`.
    std::uint64_t usage(const std::string& entry, const Period& period);
    // A minute's bytes, appended to the history on `day`.
    void add(const std::string& entry, QDate day, std::uint64_t bytes);
    // Forget every sum, e.g. when a plan's billing day changed.
    void clear() { m_sums.clear(); }
    std::size_t reads() const { return m_reads; }

private:
    struct Sum {
        Period period;
        std::uint64_t bytes = 0;
    };
    std::string m_historyPath;
    std::map<std::string, Sum> m_sums;
    std::size_t m_reads = 0;
};

// The tick's check, once the minute and its bytes are in the history: adds
// them to the period's sum and says which notice is due. One read of the
// plans file for an entry without a plan.
struct TickCheck {
    Notice notice = Notice::None;
    Plan plan;
    Period period;
    std::uint64_t used = 0;
};
TickCheck checkMinute(const IniFile& ini, UsageTracker& usage, const std::string& entry,
                      QDate today, std::uint64_t bytes);

} // namespace plans
