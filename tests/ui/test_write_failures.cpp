// Counting while the ledger cannot be written: a folder that turns into a
// file, a folder that vanishes, a disk that fills up. Every failed tick is
// reported once and changes nothing; the next writable tick counts again.
// Error boxes that nobody answers stay bounded: one open box per text.

#include "MainWindowFixture.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string readAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The disk's own writer, on a disk with `room` bytes left for the new file.
class FullDisk : public IniFileSystem {
public:
    std::size_t room = static_cast<std::size_t>(-1);
    int attempts = 0;
    std::unique_ptr<ini::Source> openRead(const std::string& path) override {
        return m_disk.openRead(path);
    }
    bool replace(const std::string& path, const Producer& produce) override {
        ++attempts;
        return m_disk.replace(path, [&](ini::Source* old, ini::Sink& out) {
            Limited limited(out, room);
            return produce(old, limited);
        });
    }

private:
    struct Limited : ini::Sink {
        Limited(ini::Sink& out, std::size_t room) : out(out), room(room) {}
        bool write(const char* data, std::size_t size) override {
            if (size > room)
                return false; // ENOSPC
            room -= size;
            return out.write(data, size);
        }
        ini::Sink& out;
        std::size_t room;
    };
    DiskIniFileSystem m_disk;
};

class WriteFailureTest : public MainWindowTest {
protected:
    // One tick, dispatched by the event loop as the timer's would be.
    void tick() {
        bool ran = false;
        QTimer::singleShot(0, window.get(), [&] {
            ran = true;
            window->tmrCountTimer();
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 5000));
        QCoreApplication::processEvents();
    }
    QString folder() const { return WindowsDirectory(); }
    QStringList temporaries() const {
        return QDir(folder()).entryList({".Vantrel Data.ini.tmp-*"}, QDir::Files | QDir::Hidden);
    }
    static QString failure() { return "Unable to write to " + DataFileName() + "."; }
};

} // namespace

TEST_F(WriteFailureTest, FolderReplacedOrRemovedWhileCounting) {
    create();
    connect("Office");
    tick();
    tick();
    ASSERT_EQ(value("Office", "Minutes"), "2");
    const std::string counted = readAll(DataFileName());

    // The folder is moved away and a file takes its place.
    ASSERT_TRUE(QDir().rename(folder(), folder() + ".away"));
    { std::ofstream(folder().toStdString()) << "not a folder"; }
    tick();
    tick();
    ASSERT_EQ(boxes.size(), 2u) << "one box for each failed tick";
    for (const MessageBoxRequest& box : boxes) {
        EXPECT_EQ(box.text, failure());
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    EXPECT_EQ(readAll(folder() + ".away/Vantrel Data.ini"), counted);
    EXPECT_EQ(readAll(folder()), "not a folder");

    // Back in place: the next tick counts on from where the file stood.
    ASSERT_TRUE(QFile::remove(folder()));
    ASSERT_TRUE(QDir().rename(folder() + ".away", folder()));
    tick();
    EXPECT_EQ(value("Office", "Minutes"), "3");
    EXPECT_EQ(boxes.size(), 2u);

    // The folder vanishes: the next write makes it anew.
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    tick();
    EXPECT_EQ(value("Office", "Minutes"), "1");
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(WriteFailureTest, FullDiskKeepsTheOldFileAndCountingResumes) {
    auto disk = std::make_shared<FullDisk>();
    create();
    OpenDataIni(std::make_unique<IniFile>(filePath(DataFileName()), disk));
    connect("Office");
    for (int i = 0; i < 59; ++i)
        tick();
    ASSERT_EQ(value("Office", "Minutes"), "59");
    const std::string before = readAll(DataFileName());

    disk->room = 10; // the carry's new file does not fit
    tick();
    tick();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(readAll(DataFileName()), before);
    EXPECT_TRUE(temporaries().isEmpty()) << temporaries().join(", ").toStdString();
    EXPECT_EQ(window->lblTotalTime->text(), "0 H., 59 Min");

    disk->room = static_cast<std::size_t>(-1);
    tick();
    EXPECT_EQ(value("Office", "Minutes"), "0");
    EXPECT_EQ(value("Office", "Hours"), "1");
    EXPECT_EQ(window->lblTotalTime->text(), "1 H., 0 Min");
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(WriteFailureTest, UnansweredBoxesStayOnePerText) {
    auto disk = std::make_shared<FullDisk>();
    disk->room = 0;
    create();
    OpenDataIni(std::make_unique<IniFile>(filePath(DataFileName()), disk));
    connect("Office");
    const int& ticks = disk->attempts; // every tick tries one write
    QTimer fast;                       // tmrCount's ticks, a minute apart no more
    QObject::connect(&fast, &QTimer::timeout, window.get(), &TfrmMain::tmrCountTimer);
    fast.start(2);

    // Each box runs the event loop while it is open, as a modal box does, and
    // waits for many more ticks: the counting goes on behind an open box. The
    // first box raises a failure of another kind, whose box waits in turn
    // inside the first.
    std::vector<QString> shown;
    int open = 0;
    int mostOpen = 0;
    setMessageBoxHandler([&](const MessageBoxRequest& r) {
        shown.push_back(r.text);
        const std::size_t me = shown.size();
        mostOpen = std::max(mostOpen, ++open);
        if (me == 1)
            QTimer::singleShot(0, [] { throw ConvertError("'x' is not a valid integer value"); });
        if (me <= 2) {
            const int until = ticks + (me == 1 ? 50 : 25);
            EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= until; }, 10000));
        }
        if (me == 1)
            fast.stop(); // the user comes back
        --open;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fast.isActive() && open == 0; }, 20000));
    QCoreApplication::processEvents();
    EXPECT_GE(ticks, 50);
    EXPECT_EQ(mostOpen, 2);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_LE(shown.size(), 3u) << "at most one more from the last tick before the stop";
    EXPECT_EQ(shown[0], failure());
    EXPECT_EQ(shown[1], "'x' is not a valid integer value.");
}

// A start whose ledger cannot be written (a limit out of range is stored
// clamped) still adds the icon, or shows the window where there is no
// notification area, and only then lets the failure out to be reported.
TEST_F(WriteFailureTest, FailedStartIsStillReachable) {
    for (const bool notificationArea : {true, false}) {
        SCOPED_TRACE(notificationArea ? "with a notification area" : "without one");
        window.reset();
        ReleaseDataIni();
        RemoveTrayIcon();
        QDir().mkpath(folder());
        {
            std::ofstream out(DataFileName().toStdString());
            out << "[Office]\nWarnHourCount=70000\n";
        }
        auto disk = std::make_shared<FullDisk>();
        disk->room = 0;
        setDataFileSystem(disk);
        setNotificationAreaProbe([notificationArea] { return notificationArea; });
        service->entries = {{"Office", "555-0100"}};
        window = std::make_unique<TfrmMain>();
        window->CreateTextControls();
        EXPECT_THROW(window->FormCreate(), IniWriteError);
        EXPECT_EQ(disk->attempts, 1);
        EXPECT_NE(TrayIcon(), nullptr);
        EXPECT_EQ(window->isVisible(), !notificationArea);
        EXPECT_EQ(window->cboDialups->currentText(), "Office");
    }
}
