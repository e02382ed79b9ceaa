#include "MainWindowFixture.h"

#include "ui/app/Artwork.h"

#include <QSystemTrayIcon>

using StartupTest = MainWindowTest;

TEST_F(StartupTest, StartupWindowHidesAtOnceWithoutATimer) {
    TfrmStartup startup;
    startup.showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!startup.isVisible(), 2000);
    EXPECT_TRUE(startup.findChildren<QTimer*>().isEmpty()) << "nothing ticks for the whole run";
    // Shown again (restored from the taskbar): gone again.
    startup.showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(!startup.isVisible(), 2000);
}

TEST_F(StartupTest, TrayTipIsCutAt63Characters) {
    QObject owner;
    const QString longTip = QString(60, QLatin1Char('x')) + "yz12345";
    AddTrayIcon(&owner, longTip, Artwork::windowIcon());
    ASSERT_NE(TrayIcon(), nullptr);
    EXPECT_EQ(TrayIcon()->toolTip(), longTip.left(63));
    RemoveTrayIcon();
}

TEST_F(StartupTest, ApplicationErrorNamesTheFailureAndEndsWithAPeriod) {
    const QString text = applicationErrorText(RasError("Error opening rasapi32.dll"), nullptr);
    EXPECT_TRUE(text.startsWith("Exception RasError in module ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(".\nError opening rasapi32.dll.")) << text.toStdString();
    EXPECT_TRUE(applicationErrorText(RasError("Done."), nullptr).endsWith("\nDone."));
}
