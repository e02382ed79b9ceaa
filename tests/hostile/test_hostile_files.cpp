// Ledger and options files that nobody would write by hand: a megabyte of
// binary junk, megabyte lines, 100,000 sections, links to devices and loops.
// Every read and write finishes, keeps all other bytes, and stays within a
// fixed amount of heap whatever the size of the file: kReadWriteBound,
// measured by counting what operator new hands out. Only the section list
// grows, with the names in it. NUL bytes and invalid UTF-8 in small files are
// the INI fuzz target's daily bread (tests/fuzz).

#include "accounting/IniFile.h"
#include "accounting/unitUtils.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

// The bytes live on the heap, counted through operator new (new[], nothrow
// and sized forms reach it in libstdc++), so a test can state how much memory
// an operation took at its peak.
namespace heap {
std::atomic<std::size_t> g_live{0}, g_peak{0}, g_base{0};
// Starts a new peak measurement: the most live above the level at the mark.
void mark() {
    g_base = g_live.load();
    g_peak = g_live.load();
}
std::size_t peakSince() {
    return g_peak - g_base;
}
} // namespace heap

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const std::size_t now = heap::g_live += malloc_usable_size(p);
    std::size_t peak = heap::g_peak.load();
    while (now > peak && !heap::g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void operator delete(void* p) noexcept {
    if (p)
        heap::g_live -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

// Two 64 KiB buffers and a 64 KiB copy of a long line's head, with room for
// the small strings around them.
constexpr std::size_t kReadWriteBound = std::size_t{256} * 1024;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Hostile {
    const char* name;
    std::function<std::string()> make;
    bool officeAddressable; // a later store to [Office] finds the section written here
};

// ctest lists each case by its name, not by the bytes of the record.
void PrintTo(const Hostile& h, std::ostream* os) {
    *os << h.name;
}

// The tail every case ends with, so that a lookup has to cross the junk.
const std::string kOffice = "\n[Office]\nMinutes=7\nHours=2\n";

std::vector<Hostile> cases() {
    return {
        {"binary junk",
         [] {
             std::mt19937 rng(7);
             std::string s(1 << 20, '\0');
             for (char& c : s)
                 c = static_cast<char>(rng());
             return s + kOffice;
         },
         false}, // junk may hold an earlier [office]
        {"megabyte lines",
         [] {
             const std::string mb(1 << 20, 'x');
             return "[" + mb + "]\nMinutes=" + mb + "\n" + mb + "\n[" + mb + kOffice + mb + "\n";
         },
         true},
        {"100,000 sections",
         [] {
             std::string s;
             for (int i = 0; i < 100000; ++i)
                 s += "[Entry " + std::to_string(i) + "]\nMinutes=1\nHours=2\n";
             return s + kOffice;
         },
         true},
    };
}

class HostileFileTest : public ::testing::TestWithParam<Hostile> {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_P(HostileFileTest, ReadsAndWritesFinishBoundedAndKeepEveryOtherByte) {
    const std::string file = path("Vantrel Data.ini");
    const std::string old = GetParam().make();
    std::ofstream(file, std::ios::binary) << old;
    IniFile ini(file);

    heap::mark();
    const std::int32_t minutes = ini.LoadNumber("Office", "Minutes", -1);
    EXPECT_LE(heap::peakSince(), kReadWriteBound) << "read";
    if (GetParam().officeAddressable) {
        EXPECT_EQ(minutes, 7);
    }

    heap::mark();
    AddMinute(ini, "Office");
    EXPECT_LE(heap::peakSince(), kReadWriteBound) << "write";
    const std::string now = readFile(file);
    // One value changed or one line added; every other byte as it was.
    const auto prefix = static_cast<std::size_t>(
        std::mismatch(old.begin(), old.end(), now.begin(), now.end()).first - old.begin());
    const auto suffix = static_cast<std::size_t>(
        std::mismatch(old.rbegin(), old.rend() - static_cast<std::ptrdiff_t>(prefix), now.rbegin(),
                      now.rend() - static_cast<std::ptrdiff_t>(prefix))
            .first -
        old.rbegin());
    EXPECT_LE(old.size() - prefix - suffix, 4u);
    EXPECT_LE(now.size() - prefix - suffix, 16u);
    EXPECT_EQ(ini.LoadNumber("Office", "Minutes", -1),
              GetParam().officeAddressable ? 8 : minutes + 1);

    // The list holds the names and, while it is made, a set of them.
    std::vector<std::string> names;
    heap::mark();
    ini.LoadSectionNames(names);
    std::size_t nameBytes = 0;
    for (const std::string& n : names)
        nameBytes += n.size();
    EXPECT_LE(heap::peakSince(), kReadWriteBound + 16 * nameBytes + 160 * names.size());
    EXPECT_NE(std::find(names.begin(), names.end(), "Office"), names.end());
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostileFileTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) {
                             std::string n;
                             for (char c : std::string(info.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     n += c;
                             return n;
                         });

TEST(HostileFiles, LinksToDevicesLoopsAndNowhere) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    // A link to a device that never ends, and one to a FIFO nobody writes:
    // reads see no file, writes are refused, nothing waits.
    const std::string zero = base + "/zero.ini";
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const std::string fifo = base + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string toFifo = base + "/fifo.ini";
    ASSERT_EQ(::symlink("fifo", toFifo.c_str()), 0);
    for (const std::string& p : {zero, toFifo, fifo}) {
        IniFile ini(p);
        EXPECT_EQ(ini.LoadNumber("Office", "Minutes", -1), -1);
        std::vector<std::string> names{"stale"};
        ini.LoadSectionNames(names);
        EXPECT_TRUE(names.empty());
        EXPECT_THROW(AddMinute(ini, "Office"), IniWriteError);
    }
    struct stat fifoStat {};
    ASSERT_EQ(::lstat(fifo.c_str(), &fifoStat), 0);
    EXPECT_TRUE(S_ISFIFO(fifoStat.st_mode)) << "replaced by a file";
    // A loop of links.
    const std::string a = base + "/a.ini", b = base + "/b.ini";
    ASSERT_EQ(::symlink("b.ini", a.c_str()), 0);
    ASSERT_EQ(::symlink("a.ini", b.c_str()), 0);
    EXPECT_EQ(IniFile(a).LoadText("Office", "Minutes", "none"), "none");
    EXPECT_THROW(IniFile(a).StoreNumber("Office", "Minutes", 1), IniWriteError);
    // A dangling link: the write makes its target, and the link stays one.
    const std::string dangling = base + "/dangling.ini";
    ASSERT_EQ(::symlink("made/target.ini", dangling.c_str()), 0);
    IniFile(dangling).StoreNumber("Office", "Minutes", 1);
    struct stat st {};
    ASSERT_EQ(::lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(base + "/made/target.ini"), "[Office]\nMinutes=1\n");
}

// Far more names than the 16,384 bytes the platform's name list would hold:
// one pass over the file; the heap holds the planned edits and the names
// seen, about 240 bytes a section.
TEST(HostileFiles, ResetAllReachesEverySectionOfAHundredThousand) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("Vantrel Data.ini").toStdString();
    std::string text, expected;
    for (int i = 0; i < 100000; ++i) {
        text += "[Entry " + std::to_string(i) + "]\nMinutes=5\nHours=2\n";
        expected += "[Entry " + std::to_string(i) + "]\nMinutes=0\nHours=0\n";
    }
    std::ofstream(file, std::ios::binary) << text;
    IniFile ini(file);
    heap::mark();
    ResetAllEntries(ini);
    EXPECT_LE(heap::peakSince(), kReadWriteBound + std::size_t{300} * 100000);
    EXPECT_EQ(readFile(file), expected);
}
