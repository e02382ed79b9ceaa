// The ledger operations: the order of their reads and writes, the carry,
// refused writes, and the value forms of the accessor.

#include "MemoryIniFileSystem.h"
#include "accounting/unitUtils.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using Accesses = std::vector<std::string>;

class LedgerTest : public ::testing::Test {
protected:
    std::shared_ptr<MemoryIniFileSystem> fs = std::make_shared<MemoryIniFileSystem>();
    IniFile ini{"/config/Vantrel Data.ini", fs};
    std::string& file() { return fs->files["/config/Vantrel Data.ini"]; }
};

} // namespace

TEST_F(LedgerTest, FirstMinuteCreatesTheSectionWithMinutesOnly) {
    AddMinute(ini, "Office");
    EXPECT_EQ(file(), "[Office]\nMinutes=1\n");
    EXPECT_EQ(fs->accesses, (Accesses{"read", "write"}));
}

TEST_F(LedgerTest, CarryResetsMinutesAndAddsOneHourInOneWrite) {
    for (const char* stored : {"59", "75", "2147483647"}) {
        SCOPED_TRACE(stored);
        fs->accesses.clear();
        fs->snapshots.clear();
        file() = std::string("[Office]\nMinutes=") + stored + "\nHours=4\nWarnHourCount=10\n";
        AddMinute(ini, "Office");
        // No state with 60 minutes, or with the minutes gone but not the
        // hour added, ever reaches the file.
        EXPECT_EQ(fs->accesses, (Accesses{"read", "read", "write"}));
        EXPECT_EQ(fs->snapshots, Accesses{"[Office]\nMinutes=0\nHours=5\nWarnHourCount=10\n"});
    }
    // The first carry adds Hours after the section's last line, as two
    // separate stores would.
    file() = "[Office]\r\nMinutes=59\r\nWarnHourCount=1\r\n\r\n[Home]\r\n";
    AddMinute(ini, "Office");
    EXPECT_EQ(file(), "[Office]\r\nMinutes=0\r\nWarnHourCount=1\r\nHours=1\r\n\r\n[Home]\r\n");
    file() = "[Office]\nMinutes=60\n"; // exactly an hour
    CarryMinutes(ini, "Office");
    EXPECT_EQ(file(), "[Office]\nMinutes=0\nHours=1\n");
}

TEST_F(LedgerTest, DamagedCountsStartAgainFromTheDefault) {
    file() = "[Office]\nMinutes=abc\nHours=12 \n";
    AddMinute(ini, "Office");
    EXPECT_EQ(file(), "[Office]\nMinutes=1\nHours=12 \n");
    file() = "[Office]\nMinutes=60\nHours=1.5\n";
    AddMinute(ini, "Office");
    EXPECT_EQ(file(), "[Office]\nMinutes=0\nHours=1\n");
    file() = "[Office]\nHours=2147483647\n";
    AddHour(ini, "Office");
    EXPECT_EQ(ini.LoadNumber("Office", "Hours", 0), 2147483647);
}

TEST_F(LedgerTest, RefusedWriteEndsTheOperationAndChangesNothing) {
    file() = "[Office]\nMinutes=58\nHours=4\n";
    fs->failingWrite = 0;
    EXPECT_THROW(AddMinute(ini, "Office"), IniWriteError);
    EXPECT_EQ(fs->accesses, (Accesses{"read", "write"}));

    // The next tick counts; the carry after it is refused as a whole.
    AddMinute(ini, "Office");
    EXPECT_EQ(file(), "[Office]\nMinutes=59\nHours=4\n");
    fs->failingWrite = 2;
    EXPECT_THROW(AddMinute(ini, "Office"), IniWriteError);
    EXPECT_EQ(file(), "[Office]\nMinutes=59\nHours=4\n");
}

TEST_F(LedgerTest, ResetEntryWritesHoursThenMinutesInOneGo) {
    file() = "[Home]\nMinutes=3\n";
    ResetEntry(ini, "Office");
    EXPECT_EQ(fs->accesses, (Accesses{"write"}));
    EXPECT_EQ(fs->snapshots, (Accesses{"[Home]\nMinutes=3\n[Office]\nHours=0\nMinutes=0\n"}));
}

TEST_F(LedgerTest, ResetAllEntriesResetsEverySectionInPlace) {
    ResetAllEntries(ini); // no file
    file() = "";
    ResetAllEntries(ini);
    EXPECT_EQ(fs->accesses, (Accesses{"read", "read"}));
    EXPECT_EQ(file(), "");

    // Names that are not valid text or stored encoded, and a section that
    // appears twice. Far more sections than the platform's name list holds:
    // HostileFiles.ResetAllReachesEverySectionOfAHundredThousand.
    file() = "[\xFF\xFE bytes]\nMinutes=7\n[%ENC%x%5D]\nMinutes=8\nWarnHourCount=5\n[Home]\n"
             "[home]\nMinutes=9\n";
    fs->accesses.clear();
    ResetAllEntries(ini);
    EXPECT_EQ(fs->accesses, (Accesses{"read", "write"})) << "one write for all";
    EXPECT_EQ(file(), "[\xFF\xFE bytes]\nMinutes=0\nHours=0\n[%ENC%x%5D]\nMinutes=0\n"
                      "WarnHourCount=5\nHours=0\n[Home]\nHours=0\nMinutes=0\n[home]\nMinutes=9\n");

    // Keys in place, missing ones after the last non-blank line, CRLF kept,
    // a last line without a line break; refused as a whole.
    file() = "; top\r\n[A]\r\nhours = 4 \r\n; note\r\n\r\n[B]\r\nMinutes=9\r\nX=1";
    fs->failingWrite = 1; // the next write
    EXPECT_THROW(ResetAllEntries(ini), IniWriteError);
    EXPECT_EQ(file().substr(0, 24), "; top\r\n[A]\r\nhours = 4 \r\n");
    ResetAllEntries(ini);
    EXPECT_EQ(file(), "; top\r\n[A]\r\nhours = 0\r\n; note\r\nMinutes=0\r\n\r\n[B]\r\n"
                      "Minutes=0\r\nX=1\r\nHours=0\r\n");
}

TEST_F(LedgerTest, ValueForms) {
    file() = "[E]\nOn=2\nNeg=-1\nZero=0\nWord=yes\nEmpty=\n";
    EXPECT_TRUE(ini.LoadFlag("E", "On", false));
    EXPECT_TRUE(ini.LoadFlag("E", "Neg", false));
    EXPECT_FALSE(ini.LoadFlag("E", "Zero", true));
    EXPECT_TRUE(ini.LoadFlag("E", "Word", true));
    EXPECT_FALSE(ini.LoadFlag("E", "Word", false));
    EXPECT_TRUE(ini.LoadFlag("E", "Empty", true));
    EXPECT_TRUE(ini.LoadFlag("E", "Missing", true));
    EXPECT_EQ(ini.LoadText("E", "Missing", "dflt"), "dflt");

    ini.StoreFlag("E", "On", false);
    ini.StoreNumber("E", "Neg", -2147483647 - 1);
    EXPECT_EQ(ini.LoadText("E", "On", ""), "0");
    EXPECT_EQ(ini.LoadText("E", "Neg", ""), "-2147483648");
}

TEST(LedgerGlobals, DataIniAndFileLocations) {
    ReleaseDataIni();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    EXPECT_EQ(WindowsDirectory(), home.path() + "/brantle-vantrel");
    EXPECT_EQ(DataFileName(), home.path() + "/brantle-vantrel/Vantrel Data.ini");
    EXPECT_EQ(OptionsFileName(), home.path() + "/brantle-vantrel/Vantrel Options.ini");
    OpenDataIni();
    AddMinute(QString::fromUtf8("Büro ] 1"));
    ReleaseDataIni();
    IniFile data(filePath(DataFileName()));
    std::vector<std::string> names;
    data.LoadSectionNames(names);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(fromLedgerName(names[0]), QString::fromUtf8("Büro ] 1"));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}
