#pragma once
// The main window: the connection state, the dial-up list with the time
// counted for the selected entry, its hour limit and warning switch.

#include "accounting/DataPlans.h"
#include "accounting/Statistics.h"
#include "connection/ByteCounting.h"
#include "connection/ZorvRasConnect.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <set>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTimer;
class TAutoSizeLabel;
class DesktopNotifier;
class TUpDown;
class TfrmDataPlans;
class TfrmHistory;
class TryxTile;

class TfrmMain : public QDialog, public StatisticsView {
    Q_OBJECT
public:
    // Creates the controls and components; the monitor's construction may
    // throw. FormCreate is separate, so its failures can be told apart.
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    void FormCreate();
    // The limit's edit and the group box's caption lay out text, which loads
    // the fonts: several megabytes a window that stays hidden all day does
    // not need. They are made the first time the window is shown.
    void CreateTextControls();

    // Controls, as the window's layout names them.
    QLabel* imgIcon = nullptr;
    TAutoSizeLabel* lblNothing1 = nullptr;
    TAutoSizeLabel* lblNothing2 = nullptr;
    TAutoSizeLabel* lblConnectionStatus = nullptr;
    QGroupBox* GroupBox = nullptr;
    TAutoSizeLabel* lblNothing3 = nullptr;
    TAutoSizeLabel* lblNothing4 = nullptr;
    QLabel* lblTotalTime = nullptr;
    TAutoSizeLabel* lblNothing6 = nullptr;
    QComboBox* cboDialups = nullptr;
    QPushButton* btnResetCount = nullptr;
    TUpDown* ud_WarnLimit = nullptr;
    QLineEdit* edtWarnLimit = nullptr; // null until CreateTextControls
    QCheckBox* chkWarnOverTime = nullptr;
    QPushButton* btnHide = nullptr;
    QPushButton* btnAbout = nullptr;
    TryxTile* ryxTile = nullptr;
    TryxTile* ryxTile1 = nullptr;

    TZorvRasConnect* ZorvRasConnect = nullptr;
    QTimer* tmrCount = nullptr;
    QTimer* tmrVerifyFirstofMonth = nullptr;
    QMenu* TrayPopup = nullptr;
    QAction* TrayPop_ShowWindow = nullptr;
    QAction* TrayPop_History = nullptr;
    QAction* TrayPop_DataPlans = nullptr;
    QAction* TrayPop_About = nullptr;
    QAction* TrayPop_sep1 = nullptr;
    QAction* TrayPop_CloseProgram = nullptr;

    // Handlers.
    void cboDialupsClick();
    void btnHideClick();
    void btnResetCountClick();
    void btnAboutClick();
    void edtWarnLimit_Change();
    void ud_WarnLimitClick();
    void chkWarnOverTimeClick();
    void tmrCountTimer();
    void tmrVerifyFirstofMonthTimer();
    void TrayPop_ShowWindowClick();
    void TrayPop_HistoryClick();
    void TrayPop_DataPlansClick();
    void TrayPop_CloseProgramClick();
    void ZorvRasConnectConnectionStatus(TZorvRasConnect* Sender, TCStatus status);
    void ZorvRasConnectStatusChange(TZorvRasConnect* Sender, bool StatusChanged);

    void SelectEntry(const QString& entryName);
    // The tray's double-click: visible and focused, window state unchanged.
    void showAndFocus();

    // StatisticsView
    bool selectedEntry(QString& name) const override;
    void setTotalTimeText(const QString& text) override;
    void setWarnLimitPosition(std::int16_t position) override;
    void setWarnOverTimeChecked(bool checked) override;
    bool isConnected() const override;
    QString connectedEntry() const override;
    void showOverTimeWarning(const QString& entryName, const QString& message) override;
    void showFirstOfMonthNotification(const QString& reminderKey) override;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void storeWarnLimit();
    void armCountTimer(bool atTick);
    bool m_positioned = false;
    qint64 m_countOrigin = 0; // tmrCount's phase, kept while it is parked
    QPointer<TfrmDataPlans> m_dataPlans;
    QPointer<TfrmHistory> m_history;               // made when asked for, freed when closed
    QString m_warnLimitText = QStringLiteral("0"); // what the edit shows, or will
    ras::ByteSampler m_bytes;                      // the data of the counted connection
    // Data plans: the period's usage kept as the tick adds to it, and the
    // notices shown that the plans file refused to record, so they do not
    // come again each minute.
    void CheckDataPlan(const QString& entry, std::uint64_t bytes);
    std::unique_ptr<plans::UsageTracker> m_planUsage;
    DesktopNotifier* m_notifier = nullptr;
    std::set<std::string> m_noticesUnrecorded;
};

extern TfrmMain* frmMain;

// RefreshStatistics on the main window and DataIni, for the dialogs.
void RefreshStatistics();
