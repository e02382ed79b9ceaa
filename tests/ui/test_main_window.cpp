#include "MainWindowFixture.h"

#include "ui/widgets/AutoSizeLabel.h"
#include "ui/widgets/UpDown.h"

#include <QGroupBox>

TEST_F(MainWindowTest, EmptyPhonebookLeavesTheDesignTextsAndStoresNothing) {
    TfrmMain& w = create({});
    EXPECT_EQ(w.cboDialups->currentIndex(), -1);
    EXPECT_EQ(w.lblTotalTime->text(), "<select dialup>");
    w.chkWarnOverTime->setChecked(true);
    w.edtWarnLimit->setText("7");
    EXPECT_FALSE(QFile::exists(DataFileName()));

    w.btnResetCountClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[0].text, "No item is selected. Please select a dialup entry and only then "
                             "click on this button.");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);

    // Minutes still go to the connected entry.
    connect("Mobile");
    w.tmrCountTimer();
    EXPECT_EQ(value("Mobile", "Minutes"), "1");
    EXPECT_EQ(w.lblTotalTime->text(), "<select dialup>");
}

TEST_F(MainWindowTest, HandlersStoreTheSelectedEntrysSettings) {
    TfrmMain& w = create();
    select(1);
    w.edtWarnLimit->clear();
    EXPECT_EQ(value("Home", "WarnHourCount"), "<missing>") << "an emptied edit stores nothing";
    QTest::keyClicks(w.edtWarnLimit, "19");
    EXPECT_EQ(value("Home", "WarnHourCount"), "19");
    QTest::keyClicks(w.edtWarnLimit, "x");
    EXPECT_EQ(w.edtWarnLimit->text(), "19") << "digits only";

    QTest::keyClick(w.edtWarnLimit, Qt::Key_Up);
    EXPECT_EQ(value("Home", "WarnHourCount"), "20");
    QTest::keyClick(w.edtWarnLimit, Qt::Key_Down);
    QTest::keyClick(w.edtWarnLimit, Qt::Key_Down);
    EXPECT_EQ(value("Home", "WarnHourCount"), "18");

    w.edtWarnLimit->setText("40000");
    EXPECT_EQ(w.edtWarnLimit->text(), "32000") << "pulled into the range";
    EXPECT_EQ(value("Home", "WarnHourCount"), "32000");
    QTest::keyClick(w.edtWarnLimit, Qt::Key_Up);
    EXPECT_EQ(value("Home", "WarnHourCount"), "32000");
    w.edtWarnLimit->setText("1000");
    EXPECT_EQ(w.edtWarnLimit->text(), "1000") << "no digit grouping";

    w.chkWarnOverTime->setChecked(false);
    EXPECT_EQ(value("Home", "WarnOverTime"), "0");
    w.chkWarnOverTime->setChecked(true);
    EXPECT_EQ(value("Home", "WarnOverTime"), "1");
    EXPECT_EQ(value("Office", "WarnHourCount"), "<missing>") << "the other entry is untouched";
}

TEST_F(MainWindowTest, RefreshStoresOnlyWhatChangesTheLedgersMeaningAndResetClearsOneEntry) {
    TfrmMain& w = create();
    ini().StoreTexts("Home", {{"WarnHourCount", "9"}, {"Hours", "3"}, {"Minutes", "12"}});
    select(1);
    EXPECT_EQ(w.lblTotalTime->text(), "3 H., 12 Min");
    EXPECT_EQ(w.edtWarnLimit->text(), "9");

    // Back to an entry without a limit: the edit shows 0, which a missing
    // limit already means, so nothing is stored for it.
    ini().StoreFlag("Office", "WarnOverTime", false);
    select(0);
    EXPECT_EQ(w.edtWarnLimit->text(), "0");
    EXPECT_EQ(value("Office", "WarnHourCount"), "<missing>");
    EXPECT_FALSE(w.chkWarnOverTime->isChecked());
    // Home again, with its switch unset: ticked, and still unset.
    select(1);
    EXPECT_TRUE(w.chkWarnOverTime->isChecked());
    EXPECT_EQ(value("Home", "WarnOverTime"), "<missing>");
    EXPECT_EQ(value("Home", "WarnHourCount"), "9");

    // Stored texts are shown as they stand; limits out of range are clamped, not cut.
    ini().StoreTexts("Office", {{"Minutes", "abc"}, {"WarnHourCount", "-5"}});
    select(0);
    EXPECT_EQ(w.lblTotalTime->text(), "0 H., abc Min");
    EXPECT_EQ(w.edtWarnLimit->text(), "0");
    ini().StoreNumber("Home", "WarnHourCount", 70000);
    select(1);
    EXPECT_EQ(w.edtWarnLimit->text(), "32000");
    EXPECT_EQ(value("Home", "WarnHourCount"), "32000");

    // Reset count clears the selected entry only.
    w.btnResetCountClick();
    EXPECT_EQ(value("Home", "Hours"), "0");
    EXPECT_EQ(value("Office", "Minutes"), "abc");
    EXPECT_EQ(w.lblTotalTime->text(), "0 H., 0 Min");
    EXPECT_TRUE(boxes.empty());
}

// The program starts without the limit's edit; it comes with the first show.
// What is stored meanwhile must be what the edit would have stored.
TEST_F(MainWindowTest, BeforeTheFirstShowTheLimitIsStoredAsTheEditWouldStoreIt) {
    const auto run = [&](bool withEdit) {
        discard();
        textControls = withEdit;
        setNotificationAreaProbe([] { return true; }); // the window starts hidden
        TfrmMain& w = create();
        EXPECT_EQ(w.edtWarnLimit != nullptr, withEdit);
        const auto select = [&](int index, std::int32_t stored) {
            ini().StoreNumber(index ? "Home" : "Office", "WarnHourCount", stored);
            w.cboDialups->setCurrentIndex(index);
            w.cboDialupsClick();
        };
        select(1, 70000); // shown as 32000, and stored so
        select(0, 4);
        select(1, 32000);
        select(1, 40000); // shows the same 32000: nothing stored
        return fileBytes(DataFileName());
    };
    const QByteArray withEdit = run(true);
    const QByteArray withoutEdit = run(false);
    EXPECT_EQ(withoutEdit, withEdit);
    EXPECT_EQ(value("Home", "WarnHourCount"), "40000");

    // The first show makes the edit with the last shown value, and stores nothing.
    TfrmMain& w = *window;
    w.show();
    ASSERT_NE(w.edtWarnLimit, nullptr);
    EXPECT_TRUE(w.edtWarnLimit->isVisible());
    EXPECT_EQ(w.edtWarnLimit->text(), "32000");
    EXPECT_EQ(w.GroupBox->title(), " Statistics ");
    EXPECT_EQ(fileBytes(DataFileName()), withoutEdit);
    QTest::keyClicks(w.edtWarnLimit, "x");
    EXPECT_EQ(w.edtWarnLimit->text(), "32000") << "digits only";
    QTest::keyClick(w.edtWarnLimit, Qt::Key_Down);
    EXPECT_EQ(value("Home", "WarnHourCount"), "31999");
}

TEST_F(MainWindowTest, ConnectingSelectsTheConnectedEntryAndShowsTheState) {
    TfrmMain& w = create();
    connect("Home", ras::RASCS_OpenPort);
    EXPECT_EQ(w.lblConnectionStatus->text(), "Not connected.")
        << "a changed status that is not connected";
    EXPECT_EQ(w.cboDialups->currentText(), "Office");

    connect("Home", ras::RASCS_Connected);
    EXPECT_EQ(w.lblConnectionStatus->text(), "Connected");
    EXPECT_EQ(w.cboDialups->currentText(), "Home");

    disconnect();
    EXPECT_EQ(w.lblConnectionStatus->text(), "Not connected.");
    EXPECT_EQ(w.cboDialups->currentText(), "Home") << "the selection stays";

    connect("Unknown");
    EXPECT_EQ(w.cboDialups->currentText(), "Home") << "an unlisted entry moves nothing";
}

TEST_F(MainWindowTest, CountingTickCarriesAndWarnsInTheTickThatReachesTheLimit) {
    TfrmMain& w = create();
    w.tmrCountTimer();
    EXPECT_EQ(value("Office", "Minutes"), "<missing>") << "nothing counted while offline";

    ini().StoreTexts("Office", {{"Hours", "4"}, {"Minutes", "59"}, {"WarnHourCount", "5"}});
    connect("Office");
    w.tmrCountTimer();
    EXPECT_EQ(w.lblTotalTime->text(), "5 H., 0 Min");
    auto warnings = openDialogs<TfrmOverTimeWarning>();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0]->lblMsg->text(),
              "You're using the \"Office\" dialup account longer than you should. (The limit "
              "set by yourself is 5 hours.)");

    w.tmrCountTimer();
    EXPECT_EQ(openDialogs<TfrmOverTimeWarning>().size(), 2u) << "one more every minute";
}

// The rule reads the connected entry, not the one shown, and each warning
// stores its own entry's switch.
TEST_F(MainWindowTest, WarningsFollowTheConnectedEntryNotTheShownOne) {
    TfrmMain& w = create();
    ini().StoreTexts("Home", {{"WarnHourCount", "1"}, {"Hours", "1"}});
    ini().StoreText("Office", "Hours", "3");
    connect("Home");
    select(0); // the user looks at another entry
    w.tmrCountTimer();
    w.tmrCountTimer();
    EXPECT_EQ(w.lblTotalTime->text(), "3 H., 0 Min");
    auto warnings = openDialogs<TfrmOverTimeWarning>();
    ASSERT_EQ(warnings.size(), 2u);
    disconnect();

    warnings[0]->chkDisableWarning->setChecked(true);
    warnings[0]->btnCloseClick();
    QApplication::processEvents();
    EXPECT_EQ(value("Home", "WarnOverTime"), "0");
    warnings[1]->close(); // the close box does the same as the button
    EXPECT_EQ(value("Home", "WarnOverTime"), "1");
    EXPECT_TRUE(openDialogs<TfrmOverTimeWarning>().empty());
}

TEST_F(MainWindowTest, TrayClicksShowAndClosingOnlyHidesWhileATrayExists) {
    setNotificationAreaProbe([] { return true; });
    TfrmMain& w = create();
    ASSERT_NE(TrayIcon(), nullptr);
    w.TrayPop_ShowWindowClick();
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    w.close();
    EXPECT_FALSE(w.isVisible()) << "the close box hides";
    EXPECT_EQ(programEnds, 0) << "and the program goes on";
    w.TrayPop_ShowWindowClick();
    w.btnHideClick();
    EXPECT_FALSE(w.isVisible());
    // The icon's clicks: only a double click shows the window.
    TfrmStartup startup;
    startup.trayActivated(QSystemTrayIcon::Trigger);
    startup.trayActivated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(w.isVisible());
    startup.trayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());

    // Without the icon in the notification area, the window is the only way out.
    RemoveTrayIcon();
    w.close();
    EXPECT_EQ(programEnds, 1);
}

// A period is added (the boxes of failed writes show it) only after a
// character that sorts above it.
TEST_F(MainWindowTest, ErrorTextRule) {
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Odd!"), "Odd!") << "'!' sorts before '.'";
    EXPECT_EQ(errorBoxText(""), "");
}

// The overtime rule stops for each of its conditions; each case would warn
// if that one condition were not checked.
TEST_F(MainWindowTest, OvertimeRuleStopsForEachOfItsConditions) {
    struct Case {
        const char* hours;
        const char* limit;
        const char* warn; // nullptr: no key
        bool warns;
    };
    const Case cases[] = {
        {"5", "5", nullptr, true},                         // at the limit, switch unset: on
        {"6", "5", "1", true},     {"4", "5", "1", false}, // below the limit
        {"9", "5", "0", false},                            // switched off
        {"3", "0", "1", false},                            // no limit
        {"0", "-1", "1", false},                           // a negative limit is none either
        {"3", "junk", "1", false},                         // unreadable: none
    };
    TfrmMain& w = create();
    connect("Office");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Hours=") + c.hours + " WarnHourCount=" + c.limit +
                     " WarnOverTime=" + (c.warn ? c.warn : "(none)"));
        closeDialogs();
        ReleaseDataIni();
        QFile::remove(DataFileName());
        OpenDataIni();
        ini().StoreTexts("Office",
                         {{"Hours", c.hours}, {"Minutes", "0"}, {"WarnHourCount", c.limit}});
        if (c.warn)
            ini().StoreText("Office", "WarnOverTime", c.warn);
        w.tmrCountTimer();
        EXPECT_EQ(openDialogs<TfrmOverTimeWarning>().size(), c.warns ? 1u : 0u);
    }
}

TEST_F(MainWindowTest, EmptyHoursIsAConversionErrorAfterTheMinuteIsCounted) {
    TfrmMain& w = create();
    connect("Office");
    ini().StoreTexts("Office", {{"Hours", ""}, {"Minutes", "3"}, {"WarnHourCount", "1"}});
    try {
        w.tmrCountTimer();
        ADD_FAILURE() << "no conversion error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(value("Office", "Minutes"), "4") << "the minute before the rule stays counted";
    EXPECT_TRUE(openDialogs<TfrmOverTimeWarning>().empty());
}

// The window as the user sees it: made hidden, its limit edit comes with the
// first show, which must move nothing.
TEST_F(MainWindowTest, ShownWindowShowsWhereTheFocusIsAndFitsTheLargestLimit) {
    textControls = false;
    setNotificationAreaProbe([] { return true; });
    TfrmMain& w = create();
    w.TrayPop_ShowWindowClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.edtWarnLimit->geometry(), QRect(116, 78, 37, 21));
    EXPECT_EQ(w.ud_WarnLimit->geometry(), QRect(153, 78, 15, 21));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed border";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.font().pixelSize(), 11);
    EXPECT_TRUE(w.btnHide->isDefault());
    EXPECT_EQ(w.lblTotalTime->text(), "0 H., 0 Min");

    // The list has the focus, and it shows.
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), w.cboDialups, 5000);
    const QImage focused = w.cboDialups->grab().toImage();
    w.cboDialups->clearFocus();
    QCoreApplication::processEvents();
    EXPECT_NE(w.cboDialups->grab().toImage(), focused) << "no focus mark";

    // The largest limit fits: scrolled to either end, the edit shows the same.
    w.edtWarnLimit->setText("32000");
    w.edtWarnLimit->setCursorPosition(0);
    const QImage fromStart = w.edtWarnLimit->grab().toImage();
    w.edtWarnLimit->setCursorPosition(5);
    EXPECT_EQ(w.edtWarnLimit->grab().toImage(), fromStart) << "32000 does not fit";
}

// Names from NetworkManager and texts from the ledger reach labels and boxes
// as they are: one that looks like markup is shown, never interpreted.
TEST_F(MainWindowTest, NamesThatLookLikeMarkupAreShownAsText) {
    const std::string hostile = "<img src=/etc/x.png><b>Home</b>";
    TfrmMain& w = create({{"Office", "555-0100"}, {hostile, "555-0199"}});
    w.TrayPop_ShowWindowClick();
    ini().StoreTexts(hostile, {{"Hours", "1"}, {"WarnHourCount", "1"}});
    connect(hostile);
    service->connections[0].deviceName = "<i>ttyACM0</i>";
    w.ZorvRasConnect->PollConnections();
    w.ZorvRasConnectConnectionStatus(w.ZorvRasConnect, csConnected);
    ASSERT_TRUE(w.lblConnectionStatus->text().contains("<i>ttyACM0</i>"));
    w.tmrCountTimer(); // opens the overtime warning, which names the entry
    ASSERT_EQ(openDialogs<TfrmOverTimeWarning>().size(), 1u);

    // A hand-edited count: the conversion error quotes it in a box.
    setMessageBoxHandler({});
    ini().StoreText(hostile, "Hours", "<b>7</b>");
    QString boxText;
    Qt::TextFormat boxFormat = Qt::AutoText;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                boxText = box->text();
                boxFormat = box->textFormat();
                box->accept();
            }
    });
    answer.start(10);
    QTimer::singleShot(0, &w, [&w] { w.tmrCountTimer(); }); // the failure leaves through the loop
    QTRY_VERIFY_WITH_TIMEOUT(boxText.contains("<b>7</b>"), 5000);
    EXPECT_EQ(boxFormat, Qt::PlainText);

    int hostileLabels = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        for (QLabel* label : top->findChildren<QLabel*>())
            if (label->text().contains(QLatin1Char('<'))) {
                ++hostileLabels;
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
            }
    EXPECT_GE(hostileLabels, 3) << "status, time and warning";
}

// tmrCount sleeps while offline and wakes on the monitor's report, yet every
// minute is counted at the tick of a timer that never stopped: ticks at the
// window's creation + k minutes, each counting while a connection is seen.
TEST_F(MainWindowTest, ParkedCountingTimerKeepsThePlainTimersMinutes) {
    constexpr qint64 kMinute = 60000, kOrigin = 1000000;
    for (const qint64 offset : {qint64(0), qint64(1000), qint64(30000), qint64(59999)}) {
        SCOPED_TRACE(offset);
        auto clock = today(2026, 12, 15);
        clock->setMonotonicMs(kOrigin);
        TfrmMain& w = create();
        qint64 due = -1; // when the event loop would fire the timer
        std::vector<qint64> counted;
        auto track = [&](bool wasActive) {
            if (!w.tmrCount->isActive())
                due = -1;
            else if (!wasActive)
                due = clock->monotonicMs() + w.tmrCount->interval();
        };
        auto minutes = [&] { return ini().LoadNumber("Office", "Minutes", 0); };
        auto runUntil = [&](qint64 t) {
            int n = 0;
            while (due >= 0 && due <= t) {
                // Handled on time, late, or a little early as timers may be.
                clock->setMonotonicMs(due + std::vector<qint64>{0, 7, -3}[n++ % 3]);
                const int before = minutes();
                w.tmrCountTimer();
                if (minutes() > before)
                    counted.push_back(due);
                due = -1;
                track(false);
            }
            clock->setMonotonicMs(t);
        };
        auto at = [&](qint64 t, auto action) {
            runUntil(t);
            const bool wasActive = w.tmrCount->isActive();
            action();
            track(wasActive);
        };
        ASSERT_FALSE(w.tmrCount->isActive()) << "asleep until a connection";
        at(kOrigin + 2 * kMinute + offset, [&] { connect("Office"); });
        at(kOrigin + 5 * kMinute + offset + 500, [&] { disconnect(); });
        at(kOrigin + 9 * kMinute + offset, [&] { connect("Office"); });
        at(kOrigin + 11 * kMinute + 10, [&] { disconnect(); });
        runUntil(kOrigin + 30 * kMinute);
        EXPECT_FALSE(w.tmrCount->isActive()) << "asleep again";

        // The plain timer: a tick each minute, counting while connected.
        std::vector<qint64> expected;
        const std::pair<qint64, qint64> online[] = {
            {kOrigin + 2 * kMinute + offset, kOrigin + 5 * kMinute + offset + 500},
            {kOrigin + 9 * kMinute + offset, kOrigin + 11 * kMinute + 10}};
        for (qint64 tick = kOrigin + kMinute; tick <= kOrigin + 30 * kMinute; tick += kMinute)
            for (const auto& [from, to] : online)
                if (from < tick && tick < to) // seen at the tick's own instant: after it
                    expected.push_back(tick);
        EXPECT_EQ(counted, expected);
        EXPECT_EQ(minutes(), int(expected.size()));
        discard();
    }
}
