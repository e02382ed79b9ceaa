// The lock that keeps a second copy from counting, in one process: a second
// claimant stands in for a second start, hand-made files for crashed copies
// and hostile neighbours. A start at login, a killed copy and a stranger
// holding the lock run end to end in tests/reliability.

#include "MainWindowFixture.h"
#include "ui/app/SingleInstance.h"

#include <QElapsedTimer>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A socket file as a killed copy leaves it: bound, then closed.
void leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    ASSERT_LT(size_t(name.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
}

} // namespace

TEST(SingleInstance, SecondClaimantAsksTheFirstToShowItselfAndBacksOff) {
    QTemporaryDir dir;
    writeFile(dir.path() + "/file", "x"); // where a folder should be: runs unguarded
    EXPECT_EQ(SingleInstance(dir.path() + "/file").start(), SingleInstance::Start::Unguarded);
    // A folder too deep for a socket's address takes another way to it.
    const QString folders[] = {dir.path() + "/not/yet/there",
                               dir.path() + "/" + QString(120, 'd') + "/brantle-vantrel"};
    for (const QString& folder : folders) {
        int shown = 0;
        {
            SingleInstance first(folder);
            QObject::connect(&first, &SingleInstance::showRequested, [&] { ++shown; });
            ASSERT_EQ(first.start(), SingleInstance::Start::First);
            EXPECT_EQ(fileBytes(first.lockFileName()).split('\n').value(0),
                      QByteArray::number(QCoreApplication::applicationPid()));
            EXPECT_EQ(QFile::permissions(folder) & 0x0777, QFileDevice::Permissions(0x0700));

            // Another folder is another copy's.
            SingleInstance elsewhere(folder + "-other");
            EXPECT_EQ(elsewhere.start(), SingleInstance::Start::First);
            for (int i = 0; i < 3; ++i) {
                SingleInstance second(folder);
                EXPECT_EQ(second.start(), SingleInstance::Start::AlreadyRunning);
                EXPECT_TRUE(second.reachedRunningCopy());
            }
            EXPECT_TRUE(QTest::qWaitFor([&] { return shown >= 1; }, 5000)) << folder.size();
            EXPECT_TRUE(QFile::exists(first.lockFileName())); // still the first one's
        }
        // Released at the end, socket and all.
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                         QDir::NoDotAndDotDot),
                  QStringList());
    }
}

// Whatever a crashed copy or a hostile neighbour left is taken over without
// a wait, read no further than needed and nothing of it destroyed: a regular
// file is reused, anything else moved aside, and the user told.
TEST(SingleInstance, LeftoversAndStrangersAtTheLockAreTakenOver) {
    QTemporaryDir dir;
    const QString lock = dir.path() + "/.Vantrel.lock";
    const QString aside = lock + ".moved-1";
    const QString ledger = dir.path() + "/ledger.ini";
    struct Case {
        const char* what;
        std::function<void()> make;
        bool movedAside;
    };
    const Case cases[] = {
        {"a dead copy's id", [&] { writeFile(lock, "999999999\nbrantle-vantrel\nhost\n"); }, false},
        {"the id of every process", [&] { writeFile(lock, "4294967295\n"); }, false},
        {"an empty file", [&] { writeFile(lock, ""); }, false},
        {"20 MB of junk", [&] { writeFile(lock, QByteArray(20 << 20, '\xff')); }, false},
        {"a stale socket", [&] { leaveStaleSocket(dir.path() + "/.Vantrel.socket"); }, false},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(lock), 0600), 0); }, true},
        {"a link to /dev/zero", [&] { QFile::link("/dev/zero", lock); }, true},
        {"a dangling link", [&] { QFile::link(dir.path() + "/nowhere", lock); }, true},
        {"a directory", [&] { QDir().mkdir(lock); }, true},
        {"a hard link to the ledger",
         [&] {
             writeFile(ledger, "[Office]\nMinutes=5\n");
             ASSERT_EQ(::link(QFile::encodeName(ledger), QFile::encodeName(lock)), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        QElapsedTimer took;
        took.start();
        {
            SingleInstance next(dir.path());
            int shown = 0;
            QObject::connect(&next, &SingleInstance::showRequested, [&] { ++shown; });
            ASSERT_EQ(next.start(), SingleInstance::Start::First);
            EXPECT_LT(took.elapsed(), 1000);
            struct stat st;
            ASSERT_EQ(::lstat(QFile::encodeName(lock), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_nlink == 1);
            EXPECT_LT(st.st_size, 100);
            EXPECT_EQ(QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(), c.movedAside);
            EXPECT_EQ(next.notice().isEmpty(), !c.movedAside) << next.notice().toStdString();
            if (c.movedAside) {
                EXPECT_TRUE(next.notice().contains(aside));
            }

            SingleInstance second(dir.path());
            EXPECT_EQ(second.start(), SingleInstance::Start::AlreadyRunning);
            EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 5000));
        }
        if (QFile::exists(ledger)) {
            EXPECT_EQ(fileBytes(ledger), "[Office]\nMinutes=5\n");
        }
        QFile::remove(aside);
        QDir(aside).removeRecursively();
        QFile::remove(ledger);
    }
}
