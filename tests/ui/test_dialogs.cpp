#include "MainWindowFixture.h"

#include "tests/core/MemoryIniFileSystem.h"
#include "ui/unit1st_of_Month_Notification.h"
#include "ui/unitAbout.h"

#include <QScreen>
#include <QUrl>

namespace {
void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Enter or Escape where the user would type it: the focused control.
void typeKey(QWidget* window, Qt::Key key) {
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, key);
}
} // namespace

class DialogTest : public MainWindowTest {
protected:
    void TearDown() override {
        TfrmAbout::setUrlOpener({});
        MainWindowTest::TearDown();
    }

    // The one-shot check as the timer runs it.
    void startCheck() {
        window->tmrVerifyFirstofMonth->start();
        window->tmrVerifyFirstofMonthTimer();
        EXPECT_FALSE(window->tmrVerifyFirstofMonth->isActive()) << "fires once";
    }
    Tfrm1stOfMonthNotification* theReminder() { return theOnly<Tfrm1stOfMonthNotification>(); }
    std::string option(const std::string& key) {
        return IniFile(filePath(OptionsFileName())).LoadText("General", key, "<missing>");
    }
};

// ---- the first-of-month reminder ------------------------------------------------------

TEST_F(DialogTest, OnlyTheFirstRemindsAndAnswersMoveTheMonthsKey) {
    create();
    ini().StoreText("Office", "Hours", "5");
    for (int day : {2, 15, 31}) {
        today(2004, 3, day);
        startCheck();
    }
    EXPECT_TRUE(openDialogs<Tfrm1stOfMonthNotification>().empty());
    auto clock = today(2004, 3, 1);
    startCheck();
    QPointer<Tfrm1stOfMonthNotification> r = theReminder();
    ASSERT_TRUE(r) << "an empty options file reminds";
    EXPECT_EQ(r->reminderKey(), "Notify2008");

    // Closed by the title bar: freed, nothing recorded, and the day still unanswered.
    r->close();
    flushDeletes();
    EXPECT_TRUE(r.isNull());
    EXPECT_FALSE(QFile::exists(OptionsFileName()));
    EXPECT_EQ(value("Office", "Hours"), "5");
    startCheck();
    ASSERT_TRUE(r = theReminder());

    // Remind again: "1", and the next start asks again.
    QTest::mouseClick(r->btnNo_remind, Qt::LeftButton);
    flushDeletes();
    EXPECT_TRUE(r.isNull()) << "freed when closed";
    EXPECT_EQ(option("Notify2008"), "1");
    startCheck();
    ASSERT_TRUE(r = theReminder());

    // Not again this month: "0" under the key of the day shown, even after
    // midnight, and the next start is silent.
    clock->setDate(QDate(2004, 3, 2));
    QTest::mouseClick(r->btnNo_NoRemind, Qt::LeftButton);
    EXPECT_EQ(option("Notify2008"), "0");
    EXPECT_EQ(option("Notify2009"), "<missing>");
    today(2004, 3, 1);
    startCheck();
    EXPECT_TRUE(openDialogs<Tfrm1stOfMonthNotification>().empty());

    // The additive key: 1 Feb 2005 shares 2008 with 1 Mar 2004.
    today(2005, 2, 1);
    startCheck();
    EXPECT_TRUE(openDialogs<Tfrm1stOfMonthNotification>().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DialogTest, YesResetsEverySectionAndRefreshesTheWindow) {
    TfrmMain& w = create();
    ini().StoreTexts("Office", {{"Hours", "5"}, {"Minutes", "42"}});
    w.cboDialupsClick();
    ASSERT_EQ(w.lblTotalTime->text(), "5 H., 42 Min");

    today(2004, 3, 1);
    startCheck();
    Tfrm1stOfMonthNotification* r = theReminder();
    ASSERT_TRUE(r);
    QTest::mouseClick(r->btnYes, Qt::LeftButton);
    EXPECT_EQ(option("Notify2008"), "0");
    EXPECT_EQ(w.lblTotalTime->text(), "0 H., 0 Min");
    EXPECT_TRUE(openDialogs<Tfrm1stOfMonthNotification>().empty());
}

TEST_F(DialogTest, FailedWritesAreReportedAndKeepTheReminderOpen) {
    create();
    ini().StoreText("Office", "Hours", "5");
    ini().StoreText("Home", "Hours", "4");
    today(2004, 3, 1);
    ASSERT_TRUE(QDir().mkpath(OptionsFileName())); // a folder where the file should be
    startCheck();
    Tfrm1stOfMonthNotification* r = theReminder();
    ASSERT_TRUE(r) << "an unreadable options file reminds";

    QTest::mouseClick(r->btnYes, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to write to " + OptionsFileName() + ".");
    EXPECT_EQ(value("Office", "Hours"), "5") << "Yes resets nothing when its key cannot be written";
    QTest::mouseClick(r->btnNo_remind, Qt::LeftButton);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(theReminder(), r) << "still open";

    // The key written, the ledger refused: the reset is one write, so no section is reset.
    ASSERT_TRUE(QDir().rmdir(OptionsFileName()));
    auto dataFs = std::make_shared<MemoryIniFileSystem>();
    dataFs->files[filePath(DataFileName())] = "[Office]\nHours=5\n[Home]\nHours=4\n";
    dataFs->failingWrite = 0;
    OpenDataIni(std::make_unique<IniFile>(filePath(DataFileName()), dataFs));
    QTest::mouseClick(r->btnYes, Qt::LeftButton);
    EXPECT_EQ(option("Notify2008"), "0");
    EXPECT_EQ(value("Office", "Hours"), "5");
    EXPECT_EQ(value("Home", "Hours"), "4");
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, "Unable to write to " + DataFileName() + ".");
    EXPECT_EQ(theReminder(), r);
}

// ---- what the three dialogs share ----------------------------------------------------

// Fixed, ownerless, modeless, centred and freed on close; the default button
// has the focus, and Tab goes round the buttons and the check box.
TEST_F(DialogTest, DialogsShareTheirFrameAndKeyboardOrder) {
    Tfrm1stOfMonthNotification reminder("Notify2008");
    TfrmOverTimeWarning warning;
    TfrmAbout about;
    struct Case {
        QWidget* dialog;
        QSize size;
        const char* family;
        QPushButton* defaultButton;
        std::vector<const QWidget*> tabs; // after the default button
    } cases[] = {
        {&reminder,
         {292, 141},
         "Verdana",
         reminder.btnYes,
         {reminder.btnNo_remind, reminder.btnNo_NoRemind, reminder.btnYes}},
        {&warning,
         {293, 154},
         "Verdana",
         warning.btnClose,
         {warning.chkDisableWarning, warning.btnClose}},
        {&about,
         {249, 212},
         "Tahoma",
         about.btnClose,
         {about.lblWebPage, about.lblEmail, about.btnClose}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.dialog->windowTitle().toStdString());
        QWidget* d = c.dialog;
        d->show();
        EXPECT_EQ(d->size(), c.size);
        EXPECT_EQ(d->minimumSize(), d->maximumSize()) << "fixed size";
        EXPECT_FALSE(d->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(d->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(d->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(d->font().families().value(0), c.family);
        EXPECT_EQ(d->font().pixelSize(), 11);
        EXPECT_EQ(d->parentWidget(), nullptr) << "no owner";
        EXPECT_FALSE(d->isModal());
        EXPECT_TRUE(d->testAttribute(Qt::WA_DeleteOnClose));
        const QPoint screenCentre = d->screen()->availableGeometry().center();
        EXPECT_LE((d->frameGeometry().center() - screenCentre).manhattanLength(), 2);
        EXPECT_TRUE(c.defaultButton->isDefault());
        EXPECT_EQ(c.dialog->focusWidget(), c.defaultButton);
        EXPECT_EQ(tabChain(c.dialog, c.defaultButton, c.tabs.size()), c.tabs);
    }
    EXPECT_FALSE(warning.chkDisableWarning->isChecked());
    EXPECT_EQ(qAlpha(warning.imgIcon->pixmap().toImage().pixel(0, 31)), 0)
        << "bottom-left see-through";
    for (const QLabel* link : {about.lblWebPage, about.lblEmail})
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

// ---- behaviour common to the dialogs, and the about box's links -----------------------

TEST_F(DialogTest, AboutBoxIsOneAtATimeAndItsLinksGoToTheShell) {
    std::vector<QString> opened;
    TfrmAbout::setUrlOpener([&](const QUrl& url) {
        opened.push_back(url.toString());
        return false; // no browser: nothing is shown
    });
    TfrmMain& w = create();
    w.btnAboutClick();
    QPointer<TfrmAbout> first = theOnly<TfrmAbout>();
    ASSERT_TRUE(first);
    QTest::mouseClick(first->lblWebPage, Qt::LeftButton);
    QTest::mouseClick(first->lblEmail, Qt::LeftButton);
    QTest::mouseClick(first->lblEmail, Qt::RightButton);
    first->lblEmail->setFocus(); // by keyboard
    QTest::keyClick(first->lblEmail, Qt::Key_Return);
    QTest::keyClick(first->lblEmail, Qt::Key_A);
    first->lblWebPage->setText("https://www.example.org/elsewhere/");
    first->lblWebPageClick();
    EXPECT_EQ(opened, (std::vector<QString>{"https://www.example.org/brantle-vantrel/",
                                            "mailto:author@example.org?Subject=Brantle Vantrel",
                                            "mailto:author@example.org?Subject=Brantle Vantrel",
                                            "https://www.example.org/elsewhere/"}));
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(boxes.empty());

    // Asked for again: the open box comes forward; once closed, a new one.
    first->showMinimized();
    for (int i = 0; i < 5; ++i)
        w.TrayPop_About->trigger();
    ASSERT_EQ(openDialogs<TfrmAbout>().size(), 1u);
    EXPECT_FALSE(first->isMinimized());

    QTest::mouseClick(first->btnClose, Qt::LeftButton);
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    w.btnAboutClick();
    EXPECT_NE(theOnly<TfrmAbout>(), nullptr);
}

TEST_F(DialogTest, EnterPressesTheDefaultButtonAndEscapeDoesNothing) {
    create();

    auto* warning = new TfrmOverTimeWarning();
    warning->EntryName = "Office";
    warning->show();
    warning->chkDisableWarning->setChecked(true);
    warning->chkDisableWarning->setFocus(); // not a button: Enter goes to the default
    typeKey(warning, Qt::Key_Enter);
    EXPECT_EQ(value("Office", "WarnOverTime"), "0");
    EXPECT_TRUE(openDialogs<TfrmOverTimeWarning>().empty());

    today(2004, 3, 1);
    startCheck();
    Tfrm1stOfMonthNotification* r = theReminder();
    ASSERT_TRUE(r);
    typeKey(r, Qt::Key_Escape);
    EXPECT_EQ(theReminder(), r);
    EXPECT_FALSE(QFile::exists(OptionsFileName()));
    r->btnNo_remind->setFocus(); // another button with the focus takes Enter
    typeKey(r, Qt::Key_Return);
    EXPECT_EQ(option("Notify2008"), "1");
}
