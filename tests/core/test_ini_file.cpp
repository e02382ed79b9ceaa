// The INI accessor on real files: atomic replacement, links, refused writes
// and left-over temporary files. What the text holds is the parser's matter
// (test_ini_parser.cpp).

#include "accounting/IniFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::string path(const std::string& name) const {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }
    QStringList entries(const std::string& dir = {}) const {
        return QDir(dir.empty() ? m_dir.path() : QString::fromStdString(dir))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(IniFileTest, CreatesFolderAndFileAndReadsEveryChangeAtOnce) {
    const std::string file = path("config/brantle-vantrel/Vantrel Data.ini");
    IniFile ini(file);
    EXPECT_EQ(ini.LoadText("Office", "Minutes", "0"), "0");
    std::vector<std::string> names{"stale"};
    ini.LoadSectionNames(names);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(QDir(m_dir.filePath("config")).exists()) << "a read created the folder";

    ini.StoreNumber("Office", "Minutes", 1);
    EXPECT_EQ(readFile(file), "[Office]\nMinutes=1\n");
    struct stat st {};
    ASSERT_EQ(::stat(path("config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // No copy is kept: a change by hand is what the next read sees.
    writeFile(file, "[Office]\nMinutes=42\n");
    EXPECT_EQ(ini.LoadNumber("Office", "Minutes", 0), 42);
    EXPECT_EQ(entries(path("config/brantle-vantrel")), QStringList{"Vantrel Data.ini"});
}

TEST_F(IniFileTest, RefusedWritesRaiseAndLeaveTheOldFile) {
    // A folder standing where the file should be.
    const std::string asDir = path("dir.ini");
    ASSERT_EQ(::mkdir(asDir.c_str(), 0755), 0);
    try {
        IniFile(asDir).StoreNumber("Office", "Minutes", 1);
        FAIL() << "no IniWriteError";
    } catch (const IniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + asDir);
    }
    // A file standing where the folder should be.
    writeFile(path("plain"), "text");
    EXPECT_THROW(IniFile(path("plain/Vantrel Data.ini")).StoreFlag("A", "B", true), IniWriteError);
    EXPECT_EQ(readFile(path("plain")), "text");

    // The disk fills up while the new file is written.
    const std::string file = path("full.ini");
    const std::string old = "[Office]\r\nMinutes=7\r\n; keep me\r\n";
    writeFile(file, old);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(IniFile(file).StoreText("Office", "Note", std::string(100, 'n')), IniWriteError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(entries(), (QStringList{"dir.ini", "full.ini", "plain"}));
}

TEST_F(IniFileTest, WritesThroughSymbolicLinksAndKeepsPermissions) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("real"));
    const std::string target = path("real/ledger.ini");
    writeFile(target, "[Office]\nMinutes=1\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = path("link.ini");
    ASSERT_EQ(::symlink("real/ledger.ini", link.c_str()), 0);

    IniFile ini(link);
    ini.StoreNumber("Office", "Minutes", 2);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(target), "[Office]\nMinutes=2\n");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(path("real")), QStringList{"ledger.ini"});
}

TEST_F(IniFileTest, TemporaryFilesOfDeadWritersAreRemoved) {
    const std::string file = path("data.ini");
    const std::string stale = path(".data.ini.tmp-Ab3xYz");
    const std::string busy = path(".data.ini.tmp-busy01"); // a writer still at work
    const std::string others[] = {path(".other.ini.tmp-Ab3xYz"), path(".data.ini.tmp-toolong")};
    for (const std::string& p : {stale, busy, others[0], others[1]})
        writeFile(p, "[Half");
    const int busyFd = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(::flock(busyFd, LOCK_EX), 0);

    IniFile(file).StoreNumber("Office", "Minutes", 1);
    ::close(busyFd);
    EXPECT_EQ(entries(), (QStringList{".data.ini.tmp-busy01", ".data.ini.tmp-toolong",
                                      ".other.ini.tmp-Ab3xYz", "data.ini"}));
}

TEST_F(IniFileTest, SectionNumbersInOnePassReadAsEachLoadNumber) {
    // Letter case, duplicates, encoded names, keys before any section or in
    // a later duplicate, hex, junk, a '[' line that is a key, and a line
    // longer than the read buffer.
    const std::string text = "[x=1\nHours=9\n[Office]\nminutes = 0x10\nHours=2\nHours=3\n"
                             "[office]\nHours=7\n[%ENC%a%5Db]\nMinutes=x\n[Home]\n[a=b\n"
                             "Minutes=5\n[Long]\nHours=" +
                             std::string(70000, '1') +
                             "\nMinutes=-4\n[%ENC%zz]\nHours=1\n"
                             "[Last]\r\nHOURS=$ff\r\n";
    writeFile(path("ledger.ini"), text);
    const IniFile ini(path("ledger.ini"));
    std::vector<std::string> names;
    ini.LoadSectionNames(names);
    const auto all = ini.LoadSectionNumbers({"Hours", "Minutes"}, -1);
    ASSERT_EQ(all.size(), names.size());
    ASSERT_EQ(names.size(), 5u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(all[i].section, names[i]);
        EXPECT_EQ(all[i].numbers,
                  (std::vector<std::int32_t>{ini.LoadNumber(names[i], "Hours", -1),
                                             ini.LoadNumber(names[i], "Minutes", -1)}));
    }
    EXPECT_EQ(all[0].numbers, (std::vector<std::int32_t>{2, 16}));
    EXPECT_TRUE(IniFile(path("missing.ini")).LoadSectionNumbers({"Hours"}, 0).empty());
}
