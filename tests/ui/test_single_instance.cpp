// The lock that keeps a second copy from counting, in one process: a second
// claimant stands in for a second start, hand-made lock files for crashed
// copies. The real two-process case runs end to end in tests/reliability.

#include "ui/app/SingleInstance.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The bytes of a real lock file with another process id in it, as a copy
// with that id would have left it.
QByteArray lockFileOf(const QString& path, qint64 pid) {
    QByteArray bytes;
    {
        QLockFile probe(path);
        EXPECT_TRUE(probe.tryLock(0));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    const qsizetype eol = bytes.indexOf('\n');
    return QByteArray::number(pid) + bytes.mid(eol);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

qint64 deadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(SingleInstance, SecondClaimantAsksTheFirstToShowItselfAndBacksOff) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/not/yet/there";
    int shown = 0;
    {
        SingleInstance first(folder);
        QObject::connect(&first, &SingleInstance::showRequested, [&] { ++shown; });
        ASSERT_EQ(first.start(), SingleInstance::Start::First);
        EXPECT_TRUE(QFile::exists(first.lockFileName()));
        EXPECT_EQ(QFile::permissions(folder) & 0x0777, QFileDevice::Permissions(0x0700));

        SingleInstance second(folder);
        EXPECT_EQ(second.start(), SingleInstance::Start::AlreadyRunning);
        EXPECT_EQ(second.ownerPid(), QCoreApplication::applicationPid());
        EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 5000));
        EXPECT_TRUE(QFile::exists(first.lockFileName())); // still the first one's
    }
    EXPECT_FALSE(QFile::exists(folder + "/.Vantrel.lock")); // released at the end
    // With the owner gone a stray request is ignored, not fatal.
    ::raise(SIGUSR1);
}

TEST(SingleInstance, StartAtLoginLeavesTheRunningCopyAlone) {
    QTemporaryDir dir;
    int shown = 0;
    SingleInstance first(dir.path());
    QObject::connect(&first, &SingleInstance::showRequested, [&] { ++shown; });
    ASSERT_EQ(first.start(), SingleInstance::Start::First);

    SingleInstance atLogin(dir.path());
    EXPECT_EQ(atLogin.start(SingleInstance::OnRunning::StaySilent),
              SingleInstance::Start::AlreadyRunning);
    EXPECT_EQ(atLogin.ownerPid(), 0); // nobody was signalled
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(QFile::exists(first.lockFileName()));
}

TEST(SingleInstance, LocksLeftByDeadOrUnrelatedProcessesAreTakenOver) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/.Vantrel.lock";
    // A crashed copy; a crashed copy whose number now belongs to another
    // program (our parent, the test runner), or to another live copy of this
    // program (a child of ours, which holds no lock); one whose number we got
    // again; and one that died before writing its id.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t sibling = ::fork();
    if (sibling == 0) {
        ::close(gate[1]);
        char c;
        [[maybe_unused]] const ssize_t n = ::read(gate[0], &c, 1); // until the parent closes it
        ::_exit(0);
    }
    ::close(gate[0]);
    const QByteArray leftovers[] = {
        lockFileOf(path, deadPid()), lockFileOf(path, ::getppid()), lockFileOf(path, sibling),
        lockFileOf(path, QCoreApplication::applicationPid()), QByteArray()};
    for (const QByteArray& bytes : leftovers) {
        writeFile(path, bytes);
        SingleInstance next(dir.path());
        EXPECT_EQ(next.start(), SingleInstance::Start::First) << bytes.constData();
        EXPECT_EQ(next.ownerPid(), 0);
    }
    ::close(gate[1]);
    ::waitpid(sibling, nullptr, 0);
}

TEST(SingleInstance, UnwritableFolderRunsUnguarded) {
    QTemporaryDir dir;
    writeFile(dir.path() + "/file", "x"); // a file where the folder should be
    SingleInstance instance(dir.path() + "/file");
    EXPECT_EQ(instance.start(), SingleInstance::Start::Unguarded);
}
