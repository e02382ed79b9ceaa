// Data plans: the billing period, the usage summed from the history, the
// plans file read by hand-edit rules, and notices once per period and level.

#include "accounting/DataPlans.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace plans;

namespace {

QDate d(const char* iso) {
    return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

std::string line(const char* stamp, const char* entry, std::uint64_t bytes) {
    history::Stamp s;
    EXPECT_TRUE(history::parseStamp(stamp, s)) << stamp;
    history::Traffic t;
    t.add(bytes, 0);
    return history::formatRecord(s, entry, &t);
}

} // namespace

// Every billing day against every day from late 2025 to early 2029: months
// of 28, 29, 30 and 31 days, a leap day and three year ends. Each period's
// start is checked against the day clamped to its month's length.
TEST(DataPlanPeriod, EveryBillingDayTilesTheCalendar) {
    for (int day = 1; day <= 31; ++day) {
        for (QDate today = d("2025-11-01"); today <= d("2029-03-31"); today = today.addDays(1)) {
            const Period p = periodFor(today, day);
            SCOPED_TRACE(today.toString(Qt::ISODate).toStdString() + " day " + std::to_string(day));
            ASSERT_TRUE(p.contains(today));
            EXPECT_EQ(p.start.day(), std::min(day, p.start.daysInMonth()));
            EXPECT_EQ(p.next,
                      billingDate(p.start.addMonths(1).year(), p.start.addMonths(1).month(), day));
            EXPECT_EQ(p.last, p.next.addDays(-1));
            // Periods follow each other without a gap or an overlap.
            EXPECT_EQ(periodFor(p.next, day).start, p.next);
            EXPECT_EQ(periodFor(p.start.addDays(-1), day).next, p.start);
        }
    }
}

// Local midnight in the zone: a period across the change to summer time is
// an hour short, and one across the change back an hour long.
TEST(DataPlanPeriod, AcrossDaylightSaving) {
    const QTimeZone zone("Europe/Zagreb");
    ASSERT_TRUE(zone.isValid());
    const char* cases[][3] = {
        {"2027-03-20", "2027-03-17T00:00:00+01:00", "2027-04-17T00:00:00+02:00"},
        {"2026-10-20", "2026-10-17T00:00:00+02:00", "2026-11-17T00:00:00+01:00"},
    };
    for (const auto& [today, start, end] : cases) {
        const Period p = periodFor(d(today), 17);
        EXPECT_EQ(p.startTime(zone).toString(Qt::ISODate).toStdString(), start);
        EXPECT_EQ(p.endTime(zone).toString(Qt::ISODate).toStdString(), end);
    }
}

// A minute belongs to the local date the history stamped it with: the line
// at midnight on the billing day opens the new period, summer and winter
// offsets count alike, and so do lines written in another time zone.
TEST(DataPlanUsage, SummedFromTheHistoryByLocalDate) {
    const std::string text = std::string(history::kHeader) +
                             line("2027-03-16T23:59+01:00", "Office", 1) +  // before
                             line("2027-03-17T00:00+01:00", "Office", 10) + // midnight on the day
                             line("2027-03-28T01:59+01:00", "Office", 100) +
                             line("2027-03-28T03:00+02:00", "Office", 1000) +  // after the change
                             line("2027-04-05T23:30-05:00", "Office", 10000) + // moved west
                             line("2027-04-06T12:00+01:00", "Home", 5) +
                             line("2027-04-16T23:59+02:00", "Office", 100000) + // the last minute
                             line("2027-04-17T00:00+02:00", "Office", 1000000); // the next period
    const Period p = periodFor(d("2027-03-20"), 17);
    history::Reader reader(detailMonths(p));
    reader.feed(text);
    const history::Summary s = reader.finish();
    EXPECT_EQ(usage(s, "Office", p), 111110u);
    EXPECT_EQ(usage(s, "Home", p), 5u);
    EXPECT_EQ(usage(s, "Nobody", p), 0u);
    EXPECT_EQ(usage(s, "Office", periodFor(d("2027-04-17"), 17)), 1000000u);
}

// The tracker reads the history once per period and entry, then keeps the
// sum as the tick adds to it.
TEST(DataPlanUsage, TrackerReadsOncePerPeriod) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("h.csv").toStdString();
    std::ofstream(path) << history::kHeader << line("2026-12-17T00:00+01:00", "Office", 7)
                        << line("2026-12-16T10:00+01:00", "Office", 3);
    UsageTracker t(path);
    const Period p = periodFor(d("2026-12-20"), 17);
    EXPECT_EQ(t.usage("Office", p), 7u);
    t.add("Office", d("2026-12-20"), 5);
    EXPECT_EQ(t.usage("Office", p), 12u);
    EXPECT_EQ(t.reads(), 1u);
    // The period rolled: what the history holds for the new one, read afresh.
    const Period next = periodFor(d("2027-01-17"), 17);
    t.add("Office", d("2027-01-17"), 9); // not yet tracked: the read will hold it
    std::ofstream(path, std::ios::app) << line("2027-01-17T00:01+01:00", "Office", 9);
    EXPECT_EQ(t.usage("Office", next), 9u);
    EXPECT_EQ(t.reads(), 2u);
}

// A value that does not parse reads as missing for its key alone.
TEST(DataPlanFile, HandEditsReadAsMissing) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("Vantrel Plans.ini").toStdString();
    std::ofstream(path)
        << "[A]\nDataAllowanceMB=10000\nBillingDay=17\nWarnPercent=90\n"
        << "[B]\nDataAllowanceMB=-5\nBillingDay=32\nWarnPercent=100\n"
        << "[C]\nDataAllowanceMB=10 GB\nBillingDay=0\nWarnPercent=0\nWarnSentFor=yesterday\n"
        << "[D]\nDataAllowanceMB=0x10\nBillingDay= 5 \nWarnPercent=abc\n"
        << "[E]\nDataAllowanceMB=99999999999999999999\nBillingDay=+3\n";
    const IniFile ini(path);
    const std::vector<Plan> all = loadPlans(ini);
    ASSERT_EQ(all.size(), 5u);
    struct Want {
        std::int64_t mb;
        int day, warn;
    } want[] = {{10000, 17, 90}, {0, 1, 80}, {0, 1, 80}, {0, 5, 80}, {0, 1, 80}};
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].allowanceMB, want[i].mb) << all[i].entry;
        EXPECT_EQ(all[i].billingDay, want[i].day) << all[i].entry;
        EXPECT_EQ(all[i].warnPercent, want[i].warn) << all[i].entry;
        EXPECT_FALSE(all[i].warnSentFor.isValid()) << all[i].entry;
    }
    EXPECT_FALSE(all[1].active());
}

// Each level once per period, across a restart (the plan read anew from
// the file), and afresh in the next period.
TEST(DataPlanNotice, OncePerPeriodAndLevel) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("Vantrel Plans.ini").toStdString());
    Plan set;
    set.entry = "Office";
    set.allowanceMB = 10000;
    set.billingDay = 17;
    storeSettings(ini, set);
    const Period p = periodFor(d("2026-12-08"), 17);
    const std::uint64_t GB = 1'000'000'000;
    struct Step {
        std::uint64_t used;
        Notice want;
    } steps[] = {{7 * GB, Notice::None}, {8 * GB - 1, Notice::None}, {8 * GB, Notice::Warn},
                 {9 * GB, Notice::None}, {10 * GB, Notice::Limit},   {11 * GB, Notice::None}};
    for (const Step& s : steps) {
        const Plan plan = loadPlan(ini, "Office");
        const Notice n = noticeDue(plan, p, s.used);
        EXPECT_EQ(n, s.want) << s.used;
        if (n != Notice::None)
            recordNotice(ini, "Office", n, p);
    }
    // The next period warns afresh; jumping straight past the limit gives
    // only the notice at the limit.
    const Period next = periodFor(d("2026-12-17"), 17);
    EXPECT_EQ(noticeDue(loadPlan(ini, "Office"), next, 8 * GB), Notice::Warn);
    EXPECT_EQ(noticeDue(loadPlan(ini, "Office"), next, 12 * GB), Notice::Limit);
    recordNotice(ini, "Office", Notice::Limit, next);
    EXPECT_EQ(noticeDue(loadPlan(ini, "Office"), next, 12 * GB), Notice::None);
    EXPECT_EQ(noticeDue(loadPlan(ini, "Office"), next, 9 * GB), Notice::None);
    // No plan, no notice.
    EXPECT_EQ(noticeDue(loadPlan(ini, "Home"), next, 100 * GB), Notice::None);
}

TEST(DataPlanNotice, Texts) {
    Plan plan;
    plan.allowanceMB = 10000;
    const Period p = periodFor(d("2026-12-08"), 17);
    EXPECT_EQ(noticeText("Office", 8'000'000'000, plan, p).toStdString(),
              "Office: 8.0 GB of 10 GB used; the plan renews on 17 Dec.");
    EXPECT_EQ(usageText(6'080'000'000, plan, p).toStdString(), "6.1 GB of 10 GB, renews 17 Dec");
    EXPECT_EQ(formatUsed(512), "512 B");
}
