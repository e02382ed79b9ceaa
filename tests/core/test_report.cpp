// The command-line report: its arguments, and names that would break JSON
// or a terminal.

#include "accounting/History.h"
#include "accounting/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>

namespace {

struct Result {
    int code;
    std::string out, err;
};

Result runReport(std::vector<std::string> args) {
    args.insert(args.begin(), "brantle-vantrel");
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& a : args)
        argv.push_back(a.data());
    std::ostringstream out, err;
    const int code = report::run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        m_folder = m_home.path().toStdString() + "/brantle-vantrel";
        ::mkdir(m_folder.c_str(), 0700);
    }
    void write(const char* name, const std::string& text) {
        std::ofstream(m_folder + "/" + name, std::ios::binary) << text;
    }
    QTemporaryDir m_home;
    std::string m_folder;
};

} // namespace

TEST_F(ReportTest, BadArgumentsExitTwoWithTheUsage) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--report", "--month"},
                                               {"--report", "--month", "2026-13"},
                                               {"--report", "--month=12-2026"},
                                               {"--report", "--jsn"},
                                               {"--json"},
                                               {"--report", "--month", std::string(1 << 17, '7')},
                                               {"--report", std::string(1 << 17, '-')}}) {
        const Result r = runReport(args);
        EXPECT_EQ(r.code, 2) << args.back().substr(0, 20);
        // A long value is echoed in part, not as 128 KiB of stderr.
        EXPECT_LT(r.err.size(), 1024u);
        EXPECT_NE(r.err.find("Usage: brantle-vantrel --report"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_NE(runReport({"--report", "--month", std::string(100, '7')})
                  .err.find("'" + std::string(64, '7') + "...'"),
              std::string::npos);
    EXPECT_TRUE(
        report::requested(2, std::vector<char*>{nullptr, const_cast<char*>("--report")}.data()));
    const Result help = runReport({"--report", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--month YYYY-MM"), std::string::npos);
}

TEST_F(ReportTest, NothingThereIsSaidAndIsNoError) {
    const Result r = runReport({"--report"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("No ledger at "), std::string::npos);
    EXPECT_NE(r.out.find("No usage history at "), std::string::npos);
    const Result json = runReport({"--report", "--json"});
    EXPECT_NE(json.out.find("\"ledger_found\": false"), std::string::npos);
    EXPECT_NE(json.out.find("\"history_found\": false"), std::string::npos);
}

TEST_F(ReportTest, HostileNamesStayInsideTheirStrings) {
    write("Vantrel Data.ini", "[Office]\nMinutes=3\n");
    write("Vantrel History.csv", "time,entry\n"
                                 "2026-12-08T10:41+01:00,\"a\"\"b\\\n\x01\"\n"
                                 "2026-12-08T10:42+01:00,\xff\xfe\n"
                                 "junk\n");
    const Result json = runReport({"--report", "--month", "2026-12", "--json"});
    EXPECT_EQ(json.code, 0);
    EXPECT_NE(json.out.find("{\"entry\": \"a\\\"b\\\\\\u000a\\u0001\", \"minutes\": 1"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"entry\": \"\xEF\xBF\xBD\xEF\xBF\xBD\""), std::string::npos);
    EXPECT_NE(json.out.find("\"skipped_lines\": 1"), std::string::npos);
    EXPECT_NE(json.out.find("\"month_minutes\": 2"), std::string::npos);

    const Result text = runReport({"--report", "--month", "2026-12"});
    EXPECT_NE(text.out.find("a\"b\\\\x0a\\x01: 0 H., 1 Min"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("1 line of the history could not be read"), std::string::npos);
}

TEST_F(ReportTest, DataStandsBesideTheMinutesAndUnknownIsSaid) {
    // November from before the data was counted; December with it, and one
    // minute of a connection without counters.
    write("Vantrel History.csv", "time,entry\n"
                                 "2026-11-30T23:58+01:00,Office\n"
                                 "time,entry,received,sent\n"
                                 "2026-12-08T10:41+01:00,Office,1000000,200000\n"
                                 "2026-12-08T10:42+01:00,Office,500000,100000\n"
                                 "2026-12-08T10:43+01:00,Office\n");
    const Result json = runReport({"--report", "--month", "2026-12", "--json"});
    QJsonParseError error{};
    const QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
    EXPECT_EQ(o["version"].toInt(), 1);
    EXPECT_EQ(o["month_data_minutes"].toInt(), 2);
    const QJsonObject office = o["entries"].toArray()[0].toObject();
    EXPECT_EQ(office["minutes"].toInt(), 3);
    EXPECT_EQ(office["received"].toInteger(), 1'500'000);
    EXPECT_EQ(office["sent"].toInteger(), 300'000);
    EXPECT_EQ(office["data_minutes"].toInt(), 2);
    EXPECT_EQ(office["last_month_data_minutes"].toInt(), 0);
    const QJsonObject day = o["days"].toArray()[0].toObject();
    EXPECT_EQ(day["date"].toString(), "2026-12-08");
    EXPECT_EQ(day["sent"].toInteger(), 300'000);
    const QJsonObject session = o["sessions"].toArray()[0].toObject();
    EXPECT_EQ(session["received"].toInteger(), 1'500'000);
    EXPECT_EQ(session["data_minutes"].toInt(), 2);

    const Result text = runReport({"--report", "--month", "2026-12"});
    EXPECT_NE(text.out.find("Office: 0 H., 3 Min, 1.8 MB (no data recorded for 0 H., 1 Min), of "
                            "which 1.5 MB received and 300 kB sent"),
              std::string::npos)
        << text.out;
    const Result november = runReport({"--report", "--month", "2026-11"});
    EXPECT_NE(november.out.find("Office: 0 H., 1 Min, no data recorded"), std::string::npos)
        << november.out;
}

// Each plan with its current period, the usage in it and the notices sent;
// an entry without an allowance is no plan.
TEST_F(ReportTest, PlansWithTheirPeriodAndUsage) {
    const history::Stamp now = history::localNow();
    history::Traffic today, before;
    today.add(6'000'000'000, 100'000'000);
    before.add(9'000'000'000, 0);
    write("Vantrel History.csv",
          std::string(history::kHeader) +
              history::formatRecord(history::addMinutes(now, -1440), "Office", &before) +
              history::formatRecord(now, "Office", &today));
    const std::string day = std::to_string(now.day);
    char start[16];
    std::snprintf(start, sizeof start, "%04d-%02d-%02d", now.year, now.month, now.day);
    write("Vantrel Plans.ini", "[Office]\nDataAllowanceMB=10000\nBillingDay=" + day +
                                   "\nWarnSentFor=" + start + "\n[Home]\nBillingDay=3\n");
    const Result r = runReport({"--report", "--json"});
    ASSERT_EQ(r.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    const QJsonArray plans = o["plans"].toArray();
    ASSERT_EQ(plans.size(), 1) << r.out;
    const QJsonObject p = plans[0].toObject();
    EXPECT_EQ(p["entry"].toString(), "Office");
    EXPECT_EQ(p["allowance_mb"].toInt(), 10000);
    EXPECT_EQ(p["period_start"].toString().toStdString(), start);
    EXPECT_EQ(p["used"].toDouble(), 6'100'000'000.0);
    EXPECT_DOUBLE_EQ(p["percent"].toDouble(), 61.0);
    EXPECT_TRUE(p["warn_sent"].toBool());
    EXPECT_FALSE(p["limit_sent"].toBool());
    EXPECT_NE(runReport({"--report"}).out.find("Office: 6.1 GB of 10 GB"), std::string::npos);
}
