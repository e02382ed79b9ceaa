#include "MainWindowFixture.h"

#include "ui/app/Artwork.h"
#include "ui/widgets/AutoSizeLabel.h"

#include <QSystemTrayIcon>

using StartupTest = MainWindowTest;

TEST_F(StartupTest, StartupWindowHidesAtOnceWithoutATimer) {
    TfrmStartup startup;
    EXPECT_EQ(startup.windowTitle(), "Starting...");
    EXPECT_EQ(startup.lblNotice->text(), "Loading Brantle Vantrel...");
    EXPECT_EQ(startup.lblNotice->pos(), QPoint(11, 15));
    startup.showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!startup.isVisible(), 2000);
    EXPECT_TRUE(startup.findChildren<QTimer*>().isEmpty()) << "nothing ticks for the whole run";
    // Shown again (restored from the taskbar): gone again.
    startup.showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(!startup.isVisible(), 2000);
}

// The program ends whatever is open, and an open warning goes without its
// closing step: its ticked box is not stored, and it is not asked to close.
TEST_F(StartupTest, CloseProgramEndsTheProgramPastOpenDialogsWithoutTheirClosingStep) {
    auto* startup = new TfrmStartup;
    TfrmMain& w = create();
    ASSERT_NE(DataIni(), nullptr);
    ASSERT_NE(TrayIcon(), nullptr);
    ini().StoreTexts("Office", {{"Hours", "3"}, {"WarnHourCount", "2"}});
    connect("Office");
    w.tmrCountTimer();
    auto warnings = openDialogs<TfrmOverTimeWarning>();
    ASSERT_EQ(warnings.size(), 1u);
    warnings[0]->chkDisableWarning->setChecked(true);
    const QByteArray before = fileBytes(DataFileName());

    w.TrayPop_CloseProgramClick();
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(TrayIcon(), nullptr);
    EXPECT_EQ(DataIni(), nullptr);
    EXPECT_EQ(openDialogs<TfrmOverTimeWarning>().size(), 1u) << "not asked to close";
    EXPECT_EQ(fileBytes(DataFileName()), before);
    delete startup;
}

TEST_F(StartupTest, TrayTipIsCutAt63Characters) {
    QObject owner;
    const QString longTip = QString(60, QLatin1Char('x')) + "yz12345";
    AddTrayIcon(&owner, longTip, Artwork::windowIcon());
    ASSERT_NE(TrayIcon(), nullptr);
    EXPECT_EQ(TrayIcon()->toolTip(), longTip.left(63));
    RemoveTrayIcon();
    AddTrayIcon(&owner, "Brantle Vantrel", Artwork::windowIcon());
    EXPECT_EQ(TrayIcon()->toolTip(), "Brantle Vantrel");
    RemoveTrayIcon();
}

TEST_F(StartupTest, ApplicationErrorNamesTheFailureAndEndsWithAPeriod) {
    const QString text = applicationErrorText(RasError("Error opening rasapi32.dll"), nullptr);
    EXPECT_TRUE(text.startsWith("Exception RasError in module ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(".\nError opening rasapi32.dll.")) << text.toStdString();
    EXPECT_TRUE(applicationErrorText(RasError("Done."), nullptr).endsWith("\nDone."));
}
