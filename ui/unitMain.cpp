#include "ui/unitMain.h"

#include "accounting/Clock.h"
#include "accounting/unitUtils.h"
#include "connection/RasServiceProvider.h"
#include "connection/ZorvRasConnect.h"
#include "ui/app/AppErrors.h"
#include "ui/app/Artwork.h"
#include "ui/app/DesktopNotifier.h"
#include "ui/app/Translations.h"
#include "ui/tray/unitTrayAccess.h"
#include "ui/unit1st_of_Month_Notification.h"
#include "ui/unitAbout.h"
#include "ui/unitDataPlans.h"
#include "ui/unitHistory.h"
#include "ui/unitOvertimeWarning.h"
#include "ui/unitStartup.h"
#include "ui/widgets/AutoSizeLabel.h"
#include "ui/widgets/DialogBase.h"
#include "ui/widgets/Fonts.h"
#include "ui/widgets/UpDown.h"
#include "ui/widgets/ryxTile.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmapCache>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QValidator>

#include <exception>

TfrmMain* frmMain = nullptr;

namespace {
const QString kTitle = QStringLiteral("Brantle Vantrel");
const std::string kWarnHourCount = "WarnHourCount";
const std::string kWarnOverTime = "WarnOverTime";

TAutoSizeLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new TAutoSizeLabel(text, parent, x, y);
    label->setObjectName(name);
    return label;
}

void setTextColor(QWidget* w, const QColor& color, QPalette::ColorRole role) {
    QPalette pal = w->palette();
    pal.setColor(role, color);
    w->setPalette(pal);
}

// The edit takes digits only, typed or pasted.
class DigitsOnlyValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        return Acceptable;
    }
};

// The style works the box's margins out anew from its caption's font, which
// comes only with the first show; the tiled background inside must stay on
// the client area of the layout all the same.
class TStatisticsBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    void setCaption(const QString& caption) {
        setTitle(caption);
        pinMargins();
    }
    void pinMargins() { setContentsMargins(2, 15, 2, 2); } // client area 2,15 301 x 88

protected:
    void changeEvent(QEvent* event) override {
        QGroupBox::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            pinMargins();
    }
};

// Every text of the status label, for a test: a status of the monitor's
// stands there only within the poll that enters a new stage.
Q_LOGGING_CATEGORY(lcMain, "bv.ui.main", QtWarningMsg)

void showStatus(TAutoSizeLabel* label, const QString& text) {
    qCDebug(lcMain) << "status:" << text;
    label->setCaption(text);
}

IniFile& dataIni() {
    IniFile* ini = DataIni();
    if (!ini)
        throw IniWriteError("Unable to write to " + DataFileName().toStdString());
    return *ini;
}
} // namespace

void RefreshStatistics() {
    if (frmMain && DataIni())
        RefreshStatistics(*frmMain, *DataIni());
}

TfrmMain::TfrmMain(QWidget* parent) : QDialog(parent) {
    frmMain = this;
    setObjectName("frmMain");
    setWindowTitle(kTitle);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(321, 189);
    setFont(programFont("Verdana"));
    setWindowIcon(Artwork::windowIcon());

    createControls();

    TZorvRasConnect::setFormTest([](const QObject* o) {
        const auto* w = qobject_cast<const QWidget*>(o);
        return w && w->isWindow();
    });
    ZorvRasConnect = new TZorvRasConnect(this);
    ZorvRasConnect->setObjectName("ZorvRasConnect");
    // The status texts come in the two languages the monitor knows.
    ZorvRasConnect->setLanguage(uiLanguage() == QLatin1String("hr") ? croatian : english);
    ZorvRasConnect->OnConnectionStatus = [this](TZorvRasConnect* s, TCStatus st) {
        ZorvRasConnectConnectionStatus(s, st);
    };
    ZorvRasConnect->OnStatusChange = [this](TZorvRasConnect* s, bool changed) {
        ZorvRasConnectStatusChange(s, changed);
    };
    ZorvRasConnect->setDoTimer(true);

    tmrCount = new QTimer(this);
    tmrCount->setObjectName("tmrCount");
    tmrCount->setTimerType(Qt::PreciseTimer); // a coarse timer could drift by minutes a day
    tmrCount->setInterval(60000);
    connect(tmrCount, &QTimer::timeout, this, &TfrmMain::tmrCountTimer);
    // Parked from the start: the monitor's report of a connection resumes it.
    m_countOrigin = appClock().monotonicMs();

    tmrVerifyFirstofMonth = new QTimer(this);
    tmrVerifyFirstofMonth->setObjectName("tmrVerifyFirstofMonth");
    tmrVerifyFirstofMonth->setInterval(1000);
    connect(tmrVerifyFirstofMonth, &QTimer::timeout, this, &TfrmMain::tmrVerifyFirstofMonthTimer);
    tmrVerifyFirstofMonth->start();

    TrayPopup = new QMenu(this);
    TrayPopup->setObjectName("TrayPopup");
    TrayPop_ShowWindow = TrayPopup->addAction(tr("&Show window"));
    TrayPop_History = TrayPopup->addAction(tr("&History..."));
    TrayPop_DataPlans = TrayPopup->addAction(tr("&Data plans..."));
    TrayPop_About = TrayPopup->addAction(tr("&About..."));
    TrayPop_sep1 = TrayPopup->addSeparator();
    TrayPop_CloseProgram = TrayPopup->addAction(tr("&Close program"));
    TrayPop_ShowWindow->setObjectName("TrayPop_ShowWindow");
    TrayPop_History->setObjectName("TrayPop_History");
    TrayPop_DataPlans->setObjectName("TrayPop_DataPlans");
    TrayPop_About->setObjectName("TrayPop_About");
    TrayPop_sep1->setObjectName("TrayPop_sep1");
    TrayPop_CloseProgram->setObjectName("TrayPop_CloseProgram");
    connect(TrayPop_ShowWindow, &QAction::triggered, this, &TfrmMain::TrayPop_ShowWindowClick);
    connect(TrayPop_History, &QAction::triggered, this, &TfrmMain::TrayPop_HistoryClick);
    connect(TrayPop_DataPlans, &QAction::triggered, this, &TfrmMain::TrayPop_DataPlansClick);
    connect(TrayPop_About, &QAction::triggered, this, &TfrmMain::btnAboutClick);
    connect(TrayPop_CloseProgram, &QAction::triggered, this, &TfrmMain::TrayPop_CloseProgramClick);
}

TfrmMain::~TfrmMain() {
    if (frmMain == this)
        frmMain = nullptr;
    // It has no parent; closing it here stops a read still running at exit.
    delete m_history.data();
}

void TfrmMain::createControls() {
    // The tiled background lies beneath everything: created first.
    ryxTile = new TryxTile(this, Artwork::backgroundTile(), 0x02F8F8F8, tmNormal);
    ryxTile->setObjectName("ryxTile");

    imgIcon = new QLabel(this);
    imgIcon->setObjectName("imgIcon");
    imgIcon->setGeometry(8, 8, 32, 32);
    imgIcon->setPixmap(Artwork::keyedByBottomLeft(Artwork::picture()));

    lblNothing1 = makeLabel(this, "lblNothing1", kTitle, 48, 8);
    QFont bold = font();
    bold.setBold(true);
    lblNothing1->setFont(bold);
    lblNothing2 = makeLabel(this, "lblNothing2", tr("Current status:"), 48, 24);
    lblConnectionStatus = makeLabel(this, "lblConnectionStatus", tr("Not connected."), 144, 24);
    setTextColor(lblConnectionStatus, QColor(0, 0, 255), QPalette::WindowText);

    auto* box = new TStatisticsBox(this); // its caption comes with CreateTextControls
    GroupBox = box;
    GroupBox->setObjectName("GroupBox");
    GroupBox->setGeometry(8, 48, 305, 105);
    setTextColor(GroupBox, QColor(253, 253, 253), QPalette::Window);
    GroupBox->setAutoFillBackground(true);
    box->pinMargins();
    ryxTile1 = new TryxTile(GroupBox, Artwork::backgroundTile(), 0x02F8F8F8, tmNormal);
    ryxTile1->setObjectName("ryxTile1");

    lblNothing3 = makeLabel(GroupBox, "lblNothing3", tr("Choose dialup:"), 8, 18);
    lblNothing4 = makeLabel(GroupBox, "lblNothing4", tr("Time spent online:"), 8, 48);
    lblNothing4->setAutoFillBackground(true); // opaque: the group box colour behind it
    lblTotalTime = new QLabel(tr("<select dialup>"), GroupBox);
    lblTotalTime->setObjectName("lblTotalTime");
    lblTotalTime->setTextFormat(Qt::PlainText);
    lblTotalTime->setGeometry(120, 48, 90, 13);
    setTextColor(lblTotalTime, QColor(0, 128, 0), QPalette::WindowText);
    lblNothing6 = makeLabel(GroupBox, "lblNothing6", tr("hour(s) of use."), 176, 80);

    cboDialups = new QComboBox(GroupBox);
    cboDialups->setObjectName("cboDialups");
    cboDialups->setGeometry(104, 16, 193, 21);
    cboDialups->setEditable(false);
    lblNothing3->setBuddy(cboDialups); // what a screen reader calls the list
    connect(cboDialups, &QComboBox::activated, this, [this] { cboDialupsClick(); });

    btnResetCount = new QPushButton(tr("&Reset count"), GroupBox);
    btnResetCount->setObjectName("btnResetCount");
    btnResetCount->setGeometry(216, 42, 81, 25);
    connect(btnResetCount, &QPushButton::clicked, this, &TfrmMain::btnResetCountClick);

    ud_WarnLimit = new TUpDown(GroupBox);
    ud_WarnLimit->setObjectName("ud_WarnLimit");
    ud_WarnLimit->setGeometry(153, 78, 15, 21);
    ud_WarnLimit->setRange(0, 32000);
    ud_WarnLimit->setAccessibleName(tr("Hour limit arrows"));
    connect(ud_WarnLimit, &TUpDown::clicked, this, &TfrmMain::ud_WarnLimitClick);

    chkWarnOverTime = new QCheckBox(tr("Warn me after"), GroupBox);
    chkWarnOverTime->setObjectName("chkWarnOverTime");
    chkWarnOverTime->setGeometry(8, 80, 105, 17);
    connect(chkWarnOverTime, &QCheckBox::toggled, this, [this] { chkWarnOverTimeClick(); });

    btnHide = new QPushButton(tr("Hide"), this);
    btnHide->setObjectName("btnHide");
    btnHide->setGeometry(80, 160, 73, 23);
    btnHide->setDefault(true);
    connect(btnHide, &QPushButton::clicked, this, &TfrmMain::btnHideClick);

    btnAbout = new QPushButton(tr("&About"), this);
    btnAbout->setObjectName("btnAbout");
    btnAbout->setGeometry(160, 160, 73, 23);
    connect(btnAbout, &QPushButton::clicked, this, &TfrmMain::btnAboutClick);

    // The group box's controls first, then the window's buttons.
    setTabOrder(cboDialups, btnResetCount);
    setTabOrder(btnResetCount, chkWarnOverTime);
    setTabOrder(chkWarnOverTime, btnHide);
    setTabOrder(btnHide, btnAbout);
}

void TfrmMain::CreateTextControls() {
    if (edtWarnLimit)
        return;
    static_cast<TStatisticsBox*>(GroupBox)->setCaption(tr(" Statistics "));

    // Beneath the up-down, as if made in the order of the layout.
    edtWarnLimit = new QLineEdit(m_warnLimitText, GroupBox);
    edtWarnLimit->setObjectName("edtWarnLimit");
    edtWarnLimit->setGeometry(116, 78, 37, 21);
    edtWarnLimit->stackUnder(ud_WarnLimit);
    // The largest limit, 32000, must fit the layout's 37 pixels: the narrow
    // sibling of the window's font, and an edit margin of 1 pixel, not 2.
    edtWarnLimit->setFont(programFont("Tahoma"));
    edtWarnLimit->setTextMargins(-1, 0, -1, 0);
    setTextColor(edtWarnLimit, QColor(128, 0, 128), QPalette::Text);
    edtWarnLimit->setValidator(new DigitsOnlyValidator(edtWarnLimit));
    // No label of its own: it stands between "Warn me after" and "hour(s) of use."
    edtWarnLimit->setAccessibleName(tr("Hour limit"));
    edtWarnLimit->setAccessibleDescription(tr("Warn me after this many hour(s) of use."));
    ud_WarnLimit->setBuddy(edtWarnLimit);
    connect(edtWarnLimit, &QLineEdit::textChanged, this, [this] { edtWarnLimit_Change(); });
    setTabOrder(btnResetCount, edtWarnLimit);
    setTabOrder(edtWarnLimit, chkWarnOverTime);
    // Made after the group box was shown, it would otherwise stay hidden.
    if (GroupBox->isVisible())
        edtWarnLimit->show();
}

void TfrmMain::setVisible(bool visible) {
    if (visible)
        CreateTextControls();
    QDialog::setVisible(visible);
}

void TfrmMain::FormCreate() {
    // The icon (or, without a notification area, the window) comes whatever
    // fails before it: a failure must not leave the program unreachable.
    std::exception_ptr failure;
    try {
        OpenDataIni(DataFileName());
        cboDialups->addItems(ZorvRasConnect->AvailableEntries());
        if (cboDialups->count() > 0) {
            cboDialups->setCurrentIndex(0);
            RefreshStatistics(*this, dataIni());
        } else {
            cboDialups->setCurrentIndex(-1);
        }
    } catch (...) {
        failure = std::current_exception();
    }

    AddTrayIcon(frmStartup, windowTitle(), Artwork::trayIcon(), TrayPopup);
    if (TTrayIcon* tray = TrayIcon()) {
        if (frmStartup)
            connect(tray, &TTrayIcon::activated, frmStartup, &TfrmStartup::trayActivated);
        // The tray is gone for good: the window is the way in again.
        connect(tray, &TTrayIcon::trayMissing, this, [this] {
            if (!isVisible())
                showAndFocus();
        });
    }
    // Without a notification area the window is the only way in, and out.
    if (!NotificationAreaAvailable())
        showAndFocus();
    if (failure)
        std::rethrow_exception(failure);
}

// --- the dial-up list and the statistics --------------------------------------------

void TfrmMain::cboDialupsClick() {
    if (cboDialups->currentIndex() >= 0)
        RefreshStatistics(*this, dataIni());
}

void TfrmMain::SelectEntry(const QString& entryName) {
    for (int i = 0; i < cboDialups->count(); ++i) {
        if (cboDialups->itemText(i) == entryName) {
            cboDialups->setCurrentIndex(i);
            return;
        }
    }
}

bool TfrmMain::selectedEntry(QString& name) const {
    if (cboDialups->currentIndex() < 0)
        return false;
    name = cboDialups->currentText();
    return true;
}

void TfrmMain::setTotalTimeText(const QString& text) {
    lblTotalTime->setText(text);
}

void TfrmMain::setWarnLimitPosition(std::int16_t position) {
    ud_WarnLimit->setPosition(position); // rewrites the edit, when there is one
    if (edtWarnLimit)
        return;
    // No edit yet: a changed text is stored as the edit's handler would.
    const QString text = QString::number(ud_WarnLimit->position());
    if (text == m_warnLimitText)
        return;
    m_warnLimitText = text;
    storeWarnLimit();
}

void TfrmMain::setWarnOverTimeChecked(bool checked) {
    chkWarnOverTime->setChecked(checked);
}

bool TfrmMain::isConnected() const {
    return ZorvRasConnect->IsConnected();
}

QString TfrmMain::connectedEntry() const {
    return ZorvRasConnect->ConnectedEntry();
}

void TfrmMain::showOverTimeWarning(const QString& entryName, const QString& message) {
    auto* warning = new TfrmOverTimeWarning();
    warning->lblMsg->setText(message);
    warning->EntryName = entryName;
    warning->show();
}

void TfrmMain::showFirstOfMonthNotification(const QString& reminderKey) {
    auto* reminder = new Tfrm1stOfMonthNotification(reminderKey);
    reminder->show();
}

// --- the limit and the warning switch -----------------------------------------------

void TfrmMain::edtWarnLimit_Change() {
    QString entry;
    if (!selectedEntry(entry))
        return;
    const QString text = edtWarnLimit->text();
    if (text.isEmpty())
        return;
    const std::int32_t number = StrToInt(text.toStdString());
    ud_WarnLimit->setPosition(number);
    storeWarnLimit();
    edtWarnLimit->setCursorPosition(static_cast<int>(edtWarnLimit->text().size()));
}

// The limit and the switch are stored only when the ledger would then mean
// something else: a missing key already means what the controls show for
// it, and every start would otherwise make a section for the first entry,
// or fail on a ledger that cannot be written.
void TfrmMain::storeWarnLimit() {
    QString entry;
    if (!selectedEntry(entry))
        return;
    const std::string section = ledgerName(entry);
    const std::int32_t position = ud_WarnLimit->position();
    IniFile& ini = dataIni();
    if (ini.LoadNumber(section, kWarnHourCount, 0) != position)
        ini.StoreNumber(section, kWarnHourCount, position);
}

void TfrmMain::ud_WarnLimitClick() {
    storeWarnLimit();
}

void TfrmMain::chkWarnOverTimeClick() {
    QString entry;
    if (!selectedEntry(entry))
        return;
    const std::string section = ledgerName(entry);
    const bool checked = chkWarnOverTime->isChecked();
    IniFile& ini = dataIni();
    if (ini.LoadFlag(section, kWarnOverTime, true) != checked)
        ini.StoreFlag(section, kWarnOverTime, checked);
}

void TfrmMain::btnResetCountClick() {
    QString entry;
    if (!selectedEntry(entry)) {
        showMessageBox(tr("Error"),
                       tr("No item is selected. Please select a dialup entry and only then click "
                          "on this button."),
                       QMessageBox::Warning);
        return;
    }
    ResetEntry(dataIni(), entry);
    RefreshStatistics(*this, dataIni());
}

// --- timers and the monitor's events ------------------------------------------------

// tmrCount sleeps while nothing is connected, so that the program wakes for
// nothing at rest, but keeps the phase it had when the window was made: every
// minute is counted at the very tick a timer that never stopped would count
// it, however often the connection came and went.
void TfrmMain::armCountTimer(bool atTick) {
    constexpr qint64 kMinute = 60000;
    const qint64 elapsed = appClock().monotonicMs() - m_countOrigin;
    qint64 wait = kMinute - elapsed % kMinute;
    // A tick handled a moment before its time is that tick, not the one before.
    if (atTick && wait < 1000)
        wait += kMinute;
    tmrCount->start(int(wait));
}

void TfrmMain::tmrCountTimer() {
    if (!ZorvRasConnect->IsConnected()) {
        tmrCount->stop(); // parked until the monitor reports a connection
        return;
    }
    armCountTimer(true); // first: a failure below must not stop the counting
    const QString entry = ZorvRasConnect->ConnectedEntry();
    AddMinute(dataIni(), entry);
    // Sampled once the minute is held: a minute the ledger refused leaves
    // its bytes to the next one.
    const ras::ByteDelta bytes =
        m_bytes.sample(ras::rasService(), entry.toLocal8Bit().toStdString());
    // Only a minute the ledger holds goes into the history; a history that
    // cannot be written is reported but never stops the counting.
    try {
        if (bytes.known)
            AppendHistory(entry, bytes.received, bytes.sent);
        else
            AppendHistory(entry);
        CheckDataPlan(entry, bytes.known ? history::saturatingAdd(bytes.received, bytes.sent) : 0);
    } catch (const IniWriteError& e) {
        reportErrorLater(QString::fromLocal8Bit(e.what()));
    }
    RefreshStatistics(*this, dataIni());
    CheckOverTime(*this, dataIni());
}

// In the tick that appended the minute: reads the small plans file, and
// the history only when the period is new to this run.
void TfrmMain::CheckDataPlan(const QString& entry, std::uint64_t bytes) {
    const std::string section = ledgerName(entry);
    if (!m_planUsage)
        m_planUsage = std::make_unique<plans::UsageTracker>(filePath(HistoryFileName()));
    const history::Stamp now = history::localNow();
    const QDate today(now.year, now.month, now.day);
    const std::unique_ptr<IniFile> ini = PlansIni();
    const plans::TickCheck check = plans::checkMinute(*ini, *m_planUsage, section, today, bytes);
    const plans::Notice notice = check.notice;
    const plans::Period& period = check.period;
    if (notice == plans::Notice::None)
        return;
    const std::string key = section + '\n' + std::to_string(static_cast<int>(notice)) + '\n' +
                            period.start.toString(Qt::ISODate).toStdString();
    if (m_noticesUnrecorded.count(key))
        return;
    // Recorded before it is shown: a crash in between loses a notice rather
    // than repeating it at every start.
    try {
        plans::recordNotice(*ini, section, notice, period);
    } catch (const IniWriteError& e) {
        m_noticesUnrecorded.insert(key);
        reportErrorLater(QString::fromLocal8Bit(e.what()));
    }
    if (!m_notifier) {
        m_notifier = new DesktopNotifier(this);
        connect(m_notifier, &DesktopNotifier::actionInvoked, this, &TfrmMain::TrayPop_HistoryClick);
    }
    m_notifier->notify(notice == plans::Notice::Limit ? tr("Data plan used up") : tr("Data plan"),
                       plans::noticeText(entry, check.used, check.plan, period), tr("History..."));
}

void TfrmMain::tmrVerifyFirstofMonthTimer() {
    tmrVerifyFirstofMonth->stop();
    // The start is over. What Qt cached of the icons while the tray and the
    // windows were set up would wake the program once more, for the cache's
    // flush 30 s later; the few pixmaps are made again if ever needed.
    QPixmapCache::clear();
    CheckFirstOfMonth(*this);
}

void TfrmMain::ZorvRasConnectConnectionStatus(TZorvRasConnect* Sender, TCStatus) {
    showStatus(lblConnectionStatus, Sender->Status());
}

void TfrmMain::ZorvRasConnectStatusChange(TZorvRasConnect* Sender, bool StatusChanged) {
    if (!StatusChanged)
        return;
    if (Sender->IsConnected()) {
        m_bytes.baseline(ras::rasService(), Sender->ConnectedEntry().toLocal8Bit().toStdString());
        if (!tmrCount->isActive())
            armCountTimer(false);
        showStatus(lblConnectionStatus, tr("Connected"));
        SelectEntry(Sender->ConnectedEntry());
        RefreshStatistics(*this, dataIni());
    } else {
        showStatus(lblConnectionStatus, tr("Not connected."));
    }
}

// --- showing, hiding and ending -----------------------------------------------------

void TfrmMain::btnHideClick() {
    hide();
}

// Wayland lets no program raise its own window without a token from the
// user's click, and the tray or a second start may have none. A window that
// is mapped anew comes to the front instead.
static void remapIfBehindOnWayland(QWidget* w) {
    if (w->isVisible() && !w->isActiveWindow() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        !qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"))
        w->hide();
}

// One about box at a time: asked for again (by a click, or by a neighbour on
// the bus a thousand times), the open one comes forward.
void TfrmMain::btnAboutClick() {
    static QPointer<TfrmAbout> open;
    if (!open)
        open = new TfrmAbout();
    remapIfBehindOnWayland(open);
    open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
    open->show();
    open->raise();
    open->activateWindow();
}

void TfrmMain::showAndFocus() {
    remapIfBehindOnWayland(this);
    show();
    activateWindow();
    raise();
}

void TfrmMain::TrayPop_ShowWindowClick() {
    remapIfBehindOnWayland(this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmMain::TrayPop_HistoryClick() {
    // One window, read anew each time it is asked for.
    if (!m_history) {
        m_history = new TfrmHistory();
        connect(m_history, &TfrmHistory::dataPlansRequested, this,
                &TfrmMain::TrayPop_DataPlansClick);
    }
    m_history->load();
    m_history->setWindowState(m_history->windowState() & ~Qt::WindowMinimized);
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void TfrmMain::TrayPop_DataPlansClick() {
    // One dialog, read anew each time it is asked for.
    if (!m_dataPlans)
        m_dataPlans = new TfrmDataPlans();
    QStringList entries;
    for (int i = 0; i < cboDialups->count(); ++i)
        entries << cboDialups->itemText(i);
    m_dataPlans->load(entries);
    m_dataPlans->setWindowState(m_dataPlans->windowState() & ~Qt::WindowMinimized);
    m_dataPlans->show();
    m_dataPlans->raise();
    m_dataPlans->activateWindow();
}

void TfrmMain::TrayPop_CloseProgramClick() {
    if (frmStartup)
        frmStartup->close();
    else
        EndProgram();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    // With no notification area, nothing else could reach or end the program.
    if (!NotificationAreaAvailable() || !TrayIcon())
        TrayPop_CloseProgramClick();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // Escape does nothing here
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmMain::showEvent(QShowEvent* event) {
    // The style marks the focused control only once the keyboard has moved
    // the focus; the window opens with the focus on the list, and a keyboard
    // user must see that.
    setAttribute(Qt::WA_KeyboardFocusChange);
    if (!m_positioned) {
        m_positioned = true; // centred the first time only; after that where it was left
        centreOnScreen(this);
    }
    QDialog::showEvent(event);
}
