// The command-line report: its arguments, and names that would break JSON
// or a terminal.

#include "accounting/Report.h"

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
                                               {"--report", "extra"},
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
