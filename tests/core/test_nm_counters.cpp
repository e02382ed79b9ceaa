#include "platform/networkmanager/NmCounters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// An interface folder as sysfs lays it out.
fs::path makeInterface(const fs::path& root, const std::string& name, const std::string& rx,
                       const std::string& tx = "20\n", const std::string& ifindex = "4\n") {
    const fs::path dir = root / name;
    write(dir / "statistics" / "rx_bytes", rx);
    write(dir / "statistics" / "tx_bytes", tx);
    write(dir / "ifindex", ifindex);
    return dir;
}
} // namespace

TEST(NmCounters, ReadsStrictlyAndAnythingOddIsNoCounters) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path root = tmp.path().toStdString();
    const std::string r = root.string();

    ras::ConnectionBytes b;
    makeInterface(root, "wlan0", "1234567\n", "89\n", "3\n");
    ASSERT_TRUE(ras::nm::readInterfaceBytes(r, "wlan0", b));
    EXPECT_EQ(b.received, 1234567u);
    EXPECT_EQ(b.sent, 89u);
    EXPECT_EQ(b.instance, 3u);
    EXPECT_EQ(b.source, "wlan0");

    makeInterface(root, "max", "18446744073709551615");
    ASSERT_TRUE(ras::nm::readInterfaceBytes(r, "max", b));
    EXPECT_EQ(b.received, 18446744073709551615u);

    struct Odd {
        const char* name;
        std::function<void(const fs::path& dir)> spoil; // dir holds good counters first
    };
    std::vector<Odd> odd = {
        {"missing", [](const fs::path& d) { fs::remove(d / "statistics" / "tx_bytes"); }},
        {"empty", [](const fs::path& d) { write(d / "statistics" / "rx_bytes", ""); }},
        {"a line break alone",
         [](const fs::path& d) { write(d / "statistics" / "rx_bytes", "\n"); }},
        {"not a number", [](const fs::path& d) { write(d / "statistics" / "rx_bytes", "12a\n"); }},
        {"negative", [](const fs::path& d) { write(d / "statistics" / "rx_bytes", "-5\n"); }},
        {"trailing blank", [](const fs::path& d) { write(d / "statistics" / "rx_bytes", "5 \n"); }},
        {"2^64",
         [](const fs::path& d) { write(d / "statistics" / "rx_bytes", "18446744073709551616\n"); }},
        {"huge",
         [](const fs::path& d) { write(d / "statistics" / "rx_bytes", std::string(100, '9')); }},
        {"a link",
         [](const fs::path& d) {
             write(d / "elsewhere", "5\n");
             fs::remove(d / "statistics" / "rx_bytes");
             fs::create_symlink(d / "elsewhere", d / "statistics" / "rx_bytes");
         }},
        {"a FIFO",
         [](const fs::path& d) {
             fs::remove(d / "statistics" / "tx_bytes");
             ASSERT_EQ(::mkfifo((d / "statistics" / "tx_bytes").c_str(), 0600), 0);
         }},
        {"a folder",
         [](const fs::path& d) {
             fs::remove(d / "ifindex");
             fs::create_directory(d / "ifindex");
         }},
    };
    if (::geteuid() != 0) // root reads anything
        odd.push_back({"unreadable", [](const fs::path& d) {
                           fs::permissions(d / "statistics" / "rx_bytes", fs::perms::none);
                       }});
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.name);
        const fs::path dir = makeInterface(root, "eth1", "10\n");
        o.spoil(dir);
        ras::ConnectionBytes untouched;
        untouched.received = 77;
        EXPECT_FALSE(ras::nm::readInterfaceBytes(r, "eth1", untouched));
        EXPECT_EQ(untouched.received, 77u);
        fs::remove_all(dir);
    }

    makeInterface(root, "x", "1\n");
    for (const char* name : {"", ".", "..", "../x", "x/", "sixteen-chars-xx"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ras::nm::readInterfaceBytes(r, name, b));
    }
    EXPECT_FALSE(ras::nm::readInterfaceBytes(r + "/nowhere", "x", b));
}
