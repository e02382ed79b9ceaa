// Counting while the ledger cannot be written: a folder that turns into a
// file, a folder that vanishes, a disk that fills up. Every failed tick is
// reported once and changes nothing; the next writable tick counts again.
// Error boxes that nobody answers stay bounded: one open box per text.

#include "MainWindowFixture.h"

#include <algorithm>

namespace {

// The disk's own reader, and a writer that is always refused, as on a full disk.
class FullDisk : public IniFileSystem {
public:
    int attempts = 0;
    std::unique_ptr<ini::Source> openRead(const std::string& path) override {
        return m_disk.openRead(path);
    }
    bool replace(const std::string&, const Producer&) override {
        ++attempts;
        return false;
    }

private:
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
    static QString failure() { return "Unable to write to " + DataFileName() + "."; }
};

} // namespace

TEST_F(WriteFailureTest, FolderReplacedOrRemovedWhileCounting) {
    create();
    connect("Office");
    tick();
    tick();
    ASSERT_EQ(value("Office", "Minutes"), "2");
    const QByteArray counted = fileBytes(DataFileName());

    // The folder is moved away and a file takes its place.
    ASSERT_TRUE(QDir().rename(folder(), folder() + ".away"));
    writeFile(folder(), "not a folder");
    tick();
    tick();
    ASSERT_EQ(boxes.size(), 2u) << "one box for each failed tick";
    for (const MessageBoxRequest& box : boxes) {
        EXPECT_EQ(box.text, failure());
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.title, "Brantle Vantrel");
    }
    EXPECT_EQ(fileBytes(folder() + ".away/Vantrel Data.ini"), counted);
    EXPECT_EQ(fileBytes(folder()), "not a folder");
    EXPECT_EQ(window->lblTotalTime->text(), "0 H., 2 Min");

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

TEST_F(WriteFailureTest, UnansweredBoxesStayOnePerText) {
    auto disk = std::make_shared<FullDisk>();
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
        writeFile(DataFileName(), "[Office]\nWarnHourCount=70000\n");
        auto disk = std::make_shared<FullDisk>();
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
