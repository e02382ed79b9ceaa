#include "MainWindowFixture.h"

#include "ui/AutoSizeLabel.h"
#include "ui/unitStartup.h"
#include "ui/unitTrayAccess.h"

#include <QLabel>
#include <QTest>

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

TEST_F(StartupTest, TrayActionsReachTheMainWindow) {
    TfrmStartup startup;
    TfrmMain& w = create();
    w.hide();
    startup.trayActivated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(w.isVisible()) << "a single click does nothing";
    startup.trayActivated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(w.isVisible());
    startup.trayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(StartupTest, ClosingTheStartupWindowRemovesTheIconAndReleasesTheLedger) {
    auto* startup = new TfrmStartup;
    create();
    ASSERT_NE(DataIni(), nullptr);
    ASSERT_NE(TrayIcon(), nullptr);
    window->TrayPop_CloseProgramClick();
    EXPECT_EQ(TrayIcon(), nullptr);
    EXPECT_EQ(DataIni(), nullptr);
    delete startup;
}

TEST_F(StartupTest, TrayTipIsCutAt63Characters) {
    EXPECT_EQ(trayTipText("Brantle Vantrel"), "Brantle Vantrel");
    const QString longTip(70, QLatin1Char('x'));
    EXPECT_EQ(trayTipText(longTip), QString(63, QLatin1Char('x')));
}

TEST_F(StartupTest, ApplicationErrorNamesTheFailureAndEndsWithAPeriod) {
    const QString text = applicationErrorText(RasError("Error opening rasapi32.dll"), nullptr);
    EXPECT_TRUE(text.startsWith("Exception RasError in module ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(".\nError opening rasapi32.dll.")) << text.toStdString();
    EXPECT_TRUE(applicationErrorText(RasError("Done."), nullptr).endsWith("\nDone."));
}
