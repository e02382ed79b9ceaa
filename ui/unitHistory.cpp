#include "ui/unitHistory.h"

#include "accounting/Clock.h"
#include "accounting/unitUtils.h"
#include "ui/app/AppErrors.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

TfrmHistory::SaveDialog& saveDialog() {
    static TfrmHistory::SaveDialog dialog;
    return dialog;
}

int monthKeyOf(const QDate& date) {
    return date.year() * 12 + date.month() - 1;
}

QString monthText(int key) {
    return QString::fromStdString(history::formatMonth(key));
}

QString duration(std::int64_t minutes) {
    return QCoreApplication::translate("Statistics", "%1 H., %2 Min")
        .arg(minutes / 60)
        .arg(minutes % 60);
}

QString localText(const history::Stamp& s, bool withDate) {
    QString time = QStringLiteral("%1:%2")
                       .arg(s.hour, 2, 10, QLatin1Char('0'))
                       .arg(s.minute, 2, 10, QLatin1Char('0'));
    if (!withDate)
        return time;
    return QStringLiteral("%1-%2-%3 ")
               .arg(s.year, 4, 10, QLatin1Char('0'))
               .arg(s.month, 2, 10, QLatin1Char('0'))
               .arg(s.day, 2, 10, QLatin1Char('0')) +
           time;
}

void setUpTable(QTableView* table, const char* name, const QStringList& headers) {
    table->setObjectName(name);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < headers.size(); ++c)
        table->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

QTableWidget* makeTable(QWidget* parent, const char* name, const QStringList& headers) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    setUpTable(table, name, headers);
    return table;
}

void setCell(QTableWidget* table, int row, int column, const QString& text, bool number = false) {
    auto* item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
}

// Names of the history are stored bytes: line breaks and the like shown, not obeyed.
QString shown(QString name) {
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar(0xFFFD);
    return name;
}

// Data as a cell shows it. Where only some of the minutes carried data the
// sum is a floor, and says so.
QString dataText(const history::Traffic& data, std::int64_t minutes) {
    if (!data.recorded())
        return minutes > 0 ? QCoreApplication::translate("TfrmHistory", "no data recorded")
                           : QString::fromStdString(history::formatBytes(0));
    const QString bytes = QString::fromStdString(history::formatBytes(data.total()));
    return data.minutes < minutes ? QStringLiteral("\u2265 ") + bytes : bytes;
}

// Its tooltip: the two parts, and the minutes without data.
QString dataTip(const history::Traffic& data, std::int64_t minutes) {
    QString tip;
    if (data.recorded())
        tip = QCoreApplication::translate("TfrmHistory", "%1 received, %2 sent")
                  .arg(QString::fromStdString(history::formatBytes(data.received)),
                       QString::fromStdString(history::formatBytes(data.sent)));
    if (data.minutes < minutes)
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) +
               QCoreApplication::translate("TfrmHistory",
                                           "No data recorded for %1: counted before data was, "
                                           "or on a connection without counters.")
                   .arg(duration(minutes - data.minutes));
    return tip;
}

void setDataCell(QTableWidget* table, int row, int column, const history::Traffic& data,
                 std::int64_t minutes) {
    setCell(table, row, column, dataText(data, minutes), true);
    table->item(row, column)->setToolTip(dataTip(data, minutes));
}

QString entryLabel(const history::Summary& summary, int entry) {
    if (entry == history::Summary::kOther)
        return QCoreApplication::translate("TfrmHistory", "(the other entries)");
    return shown(fromLedgerName(summary.name(entry)));
}

} // namespace

// The month's sessions, up to ten thousand of them: the view asks for the
// rows it shows, so filling costs nothing per row.
class HistorySessionsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void show(const history::Summary* summary, int monthKey) {
        beginResetModel();
        const history::Month* month = summary ? summary->month(monthKey) : nullptr;
        m_summary = summary;
        m_sessions = month ? &month->sessions : nullptr;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || !m_sessions ? 0 : static_cast<int>(m_sessions->size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 5; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeaders[] = {
            QT_TRANSLATE_NOOP("TfrmHistory", "Entry"), QT_TRANSLATE_NOOP("TfrmHistory", "Start"),
            QT_TRANSLATE_NOOP("TfrmHistory", "End"), QT_TRANSLATE_NOOP("TfrmHistory", "Duration"),
            QT_TRANSLATE_NOOP("TfrmHistory", "Data")};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 4)
            return {};
        return QCoreApplication::translate("TfrmHistory", kHeaders[section]);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!m_sessions || !index.isValid() || index.row() >= rowCount({}))
            return {};
        const history::Session& s = (*m_sessions)[static_cast<std::size_t>(index.row())];
        if (role == Qt::DecorationRole && index.column() == 0)
            return THistoryChart::entryColour(s.entry);
        if (role == Qt::TextAlignmentRole && index.column() >= 3)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole && index.column() == 4)
            return dataTip(s.data, s.minutes);
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return entryLabel(*m_summary, s.entry);
        case 1:
            return localText(s.start, true);
        case 2:
            return localText(s.end, !(s.start.year == s.end.year && s.start.month == s.end.month &&
                                      s.start.day == s.end.day));
        case 3:
            return duration(s.minutes);
        default:
            return dataText(s.data, s.minutes);
        }
    }

private:
    const history::Summary* m_summary = nullptr;
    const std::vector<history::Session>* m_sessions = nullptr;
};

// ---- the chart ----------------------------------------------------------------------

THistoryChart::THistoryChart(QWidget* parent) : QWidget(parent) {
    setObjectName("chart");
    setMinimumSize(420, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void THistoryChart::setMode(Mode mode) {
    m_mode = mode;
    update();
}

void THistoryChart::setMonth(const history::Summary* summary, int monthKey) {
    m_summary = summary;
    m_month = monthKey;
    update();
}

QColor THistoryChart::entryColour(int entry) {
    // Told apart at a glance and by most colour-blind eyes; past them, hues
    // spread by the golden angle.
    static const QColor kColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e),
                                      QColor(0x2c, 0xa0, 0x2c), QColor(0xd6, 0x27, 0x28),
                                      QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                      QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};
    constexpr int kCount = sizeof kColours / sizeof kColours[0];
    if (entry == history::Summary::kOther)
        return QColor(0xbb, 0xbb, 0xbb);
    if (entry < kCount)
        return kColours[entry];
    return QColor::fromHsv((entry * 137) % 360, 170, 200);
}

void THistoryChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setRenderHint(QPainter::Antialiasing, false);
    const int days = history::daysInMonth(m_month);
    const history::Month* month = m_summary ? m_summary->month(m_month) : nullptr;

    // What a bar of an entry's day stands for: minutes, or bytes.
    const bool data = m_mode == Data;
    auto value = [&](const history::EntryMonth& em, int d) -> double {
        const auto day = static_cast<std::size_t>(d);
        return data ? static_cast<double>(em.dayData[day].total())
                    : static_cast<double>(em.days[day]);
    };
    std::vector<double> totals(static_cast<std::size_t>(days), 0);
    std::vector<int> shownEntries;
    bool anyData = false;
    if (month) {
        for (const auto& [entry, em] : month->entries) {
            shownEntries.push_back(entry);
            anyData = anyData || em.data.recorded();
            for (int d = 0; d < days; ++d)
                totals[static_cast<std::size_t>(d)] += value(em, d);
        }
    }
    const double peak = std::max(1.0, *std::max_element(totals.begin(), totals.end()));

    // A step for the scale of 1, 2 or 5 times a power of ten: of minutes, or
    // of hours once the days run long; of bytes in the decimal unit that
    // keeps the peak below 1000.
    double unit = 1;
    QString unitName = QStringLiteral("min");
    if (data) {
        static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
        int u = 0;
        while (u < 6 && peak / unit >= 1000) {
            unit *= 1000;
            ++u;
        }
        unitName = QString::fromLatin1(kUnits[u]);
    } else if (peak > 180) {
        unit = 60;
        unitName = QStringLiteral("h");
    }
    const qint64 peakUnits = static_cast<qint64>(std::ceil(peak / unit));
    qint64 stepUnits = 1;
    for (qint64 base = 1;; base *= 10) {
        if (peakUnits <= base * 5) {
            stepUnits = base;
            break;
        }
        if (peakUnits <= base * 10) {
            stepUnits = base * 2;
            break;
        }
        if (peakUnits <= base * 25) {
            stepUnits = base * 5;
            break;
        }
    }
    const qint64 topUnits = (peakUnits + stepUnits - 1) / stepUnits * stepUnits;
    const double top = static_cast<double>(topUnits) * unit;
    auto scaleLabel = [&](qint64 units, bool withUnit) {
        // Minutes without their unit, as before; the rest always with it.
        return withUnit || unitName != QLatin1String("min")
                   ? QStringLiteral("%1 %2").arg(units).arg(
                         unitName == QLatin1String("min")
                             ? QCoreApplication::translate("TfrmHistory", "min", "minutes")
                         : unitName == QLatin1String("h")
                             ? QCoreApplication::translate("TfrmHistory", "h", "hours")
                             : unitName)
                   : QString::number(units);
    };
    QRect plot;
    auto yOf = [&](double v) {
        return static_cast<int>(static_cast<double>(plot.bottom()) - v * plot.height() / top);
    };

    const QFontMetrics fm(font());
    const int legendHeight = shownEntries.empty() ? 0 : fm.height() + 8;
    const QString topLabel = scaleLabel(topUnits, true);
    const int left = fm.horizontalAdvance(topLabel) + 10;
    plot = QRect(left, 8 + legendHeight, width() - left - 8,
                 height() - 16 - legendHeight - fm.height() - 4);
    if (plot.width() < days || plot.height() < 10)
        return;

    // Grid and scale.
    p.setPen(palette().color(QPalette::Mid));
    const QColor text = palette().color(QPalette::Text);
    for (qint64 v = 0; v <= topUnits; v += stepUnits) {
        const int y = yOf(static_cast<double>(v) * unit);
        p.setPen(v == 0 ? text : palette().color(QPalette::Midlight));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(text);
        const QString label = scaleLabel(v, false);
        p.drawText(QRect(0, y - fm.height() / 2, left - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }

    // Bars, stacked in the order of the legend.
    const double slot = static_cast<double>(plot.width()) / days;
    const int barWidth = std::max(1, static_cast<int>(slot * 0.7));
    for (int d = 0; d < days; ++d) {
        const int x = plot.left() + static_cast<int>(slot * d + (slot - barWidth) / 2);
        double below = 0;
        for (int entry : shownEntries) {
            const double v = value(month->entries.at(entry), d);
            if (v == 0)
                continue;
            const int y0 = yOf(below);
            below += v;
            const int y1 = yOf(below);
            p.fillRect(QRect(x, y1, barWidth, std::max(1, y0 - y1)), entryColour(entry));
        }
        // Day numbers: every one when there is room, else every fifth.
        const int day = d + 1;
        if (slot >= fm.horizontalAdvance(QStringLiteral("31")) + 4 || day == 1 || day % 5 == 0) {
            p.setPen(text);
            p.drawText(QRect(static_cast<int>(plot.left() + slot * d) - 10, plot.bottom() + 3,
                             static_cast<int>(slot) + 20, fm.height()),
                       Qt::AlignHCenter | Qt::AlignTop, QString::number(day));
        }
    }

    // Legend.
    int x = plot.left();
    const int y = 6;
    for (int entry : shownEntries) {
        const QString name = entryLabel(*m_summary, entry);
        p.fillRect(QRect(x, y + (fm.height() - 10) / 2, 10, 10), entryColour(entry));
        p.setPen(text);
        const int w = fm.horizontalAdvance(name);
        p.drawText(QRect(x + 14, y, w + 2, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += 14 + w + 16;
        if (x > width() - 40)
            break;
    }
    if (!month) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(plot, Qt::AlignCenter,
                   m_summary ? QCoreApplication::translate("TfrmHistory",
                                                           "No minutes counted in this month.")
                             : QCoreApplication::translate("TfrmHistory", "Reading…"));
    } else if (data && !anyData) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(plot, Qt::AlignCenter,
                   QCoreApplication::translate("TfrmHistory", "No data recorded in this month."));
    }
}

// ---- the window ---------------------------------------------------------------------

void TfrmHistory::setSaveDialog(SaveDialog dialog) {
    saveDialog() = std::move(dialog);
}

TfrmHistory::TfrmHistory(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHistory");
    setWindowTitle(tr("Brantle Vantrel - history"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window);
    resize(780, 640);

    auto* top = new QHBoxLayout;
    auto* monthLabel = new QLabel(tr("&Month:"), this);
    cboMonth = new QComboBox(this);
    cboMonth->setObjectName("cboMonth");
    monthLabel->setBuddy(cboMonth);
    top->addWidget(monthLabel);
    top->addWidget(cboMonth);
    top->addSpacing(16);
    top->addWidget(new QLabel(tr("Chart:"), this));
    rbChartTime = new QRadioButton(tr("&Time"), this);
    rbChartTime->setObjectName("rbChartTime");
    rbChartTime->setChecked(true);
    rbChartData = new QRadioButton(tr("&Data"), this);
    rbChartData->setObjectName("rbChartData");
    top->addWidget(rbChartTime);
    top->addWidget(rbChartData);
    top->addStretch();
    connect(cboMonth, &QComboBox::activated, this,
            [this](int index) { showMonth(cboMonth->itemData(index).toInt()); });

    chart = new THistoryChart(this);
    connect(rbChartData, &QRadioButton::toggled, this,
            [this](bool on) { chart->setMode(on ? THistoryChart::Data : THistoryChart::Time); });
    tblEntries = makeTable(this, "tblEntries",
                           {tr("Entry"), tr("This month"), tr("Last month"), tr("All time"),
                            tr("Data this month"), tr("Data last month"), tr("Data all time")});
    tblSessions = new QTableView(this);
    m_sessionsModel = new HistorySessionsModel(tblSessions);
    tblSessions->setModel(m_sessionsModel);
    setUpTable(tblSessions, "tblSessions",
               {tr("Entry"), tr("Start"), tr("End"), tr("Duration"), tr("Data")});
    // Columns fitted to the rows in sight: its texts are of one width, and
    // measuring ten thousand rows would hold up the loop.
    tblSessions->horizontalHeader()->setResizeContentsPrecision(0);

    chart->setAccessibleName(tr("Minutes online per day"));
    tblEntries->setAccessibleName(tr("Per entry"));
    tblSessions->setAccessibleName(tr("Sessions of the month, newest first"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    btnExport = new QPushButton(tr("&Export CSV..."), this);
    btnExport->setObjectName("btnExport");
    btnDataPlans = new QPushButton(tr("Data &plans..."), this);
    btnDataPlans->setObjectName("btnDataPlans");
    connect(btnDataPlans, &QPushButton::clicked, this, &TfrmHistory::dataPlansRequested);
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName("btnClose");
    connect(btnExport, &QPushButton::clicked, this, &TfrmHistory::btnExportClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(btnDataPlans);
    bottom->addWidget(btnExport);
    bottom->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chart, 3);
    layout->addWidget(new QLabel(tr("Per entry:"), this));
    layout->addWidget(tblEntries, 0);
    layout->addWidget(new QLabel(tr("Sessions of the month, newest first:"), this));
    layout->addWidget(tblSessions, 2);
    layout->addLayout(bottom);
}

TfrmHistory::~TfrmHistory() {
    stopReading();
    // The dialog's own destructor still lays out the views; they must not
    // reach into the summary, which is gone by then.
    m_sessionsModel->show(nullptr, 0);
    chart->setMonth(nullptr, m_month);
}

void TfrmHistory::load() {
    if (m_month < 0)
        m_month = monthKeyOf(appClock().today());
    startReading();
}

void TfrmHistory::stopReading() {
    if (!m_reader.joinable())
        return;
    // The reader looks at the flag between its 64 KiB pieces: a close
    // waits for one piece at most.
    m_cancel = true;
    m_reader.join();
    m_cancel = false;
}

void TfrmHistory::startReading() {
    stopReading();
    const int now = monthKeyOf(appClock().today());
    // The month shown, and the calendar's this and last month of the table.
    m_detail = {m_month, now, now - 1};
    m_reading = true;
    const quint64 count = ++m_readCount;
    lblStatus->setText(tr("Reading…"));
    btnExport->setEnabled(false);
    if (!m_summary.month(m_month))
        chart->setMonth(nullptr, m_month);
    m_reader = std::thread([this, count, path = filePath(HistoryFileName()), detail = m_detail] {
        auto result = std::make_shared<history::Summary>();
        const bool found = history::readFile(path, *result, detail, &m_cancel);
        if (m_cancel)
            return;
        // Queued to the window's thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, count, found, result] {
                if (count == m_readCount)
                    readDone(std::move(*result), found);
            },
            Qt::QueuedConnection);
    });
}

void TfrmHistory::readDone(history::Summary summary, bool found) {
    if (m_reader.joinable())
        m_reader.join();               // done already: its last act was to post this
    m_sessionsModel->show(nullptr, 0); // it points into the summary replaced
    m_summary = std::move(summary);
    m_found = found;
    m_reading = false;
    fillMonths();
    fillEntries();
    showMonth(m_month);
    emit loaded();
}

void TfrmHistory::fillMonths() {
    std::vector<int> keys = m_summary.monthKeys;
    keys.push_back(monthKeyOf(appClock().today()));
    keys.push_back(m_month);
    std::sort(keys.begin(), keys.end(), std::greater<>());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    cboMonth->clear();
    for (int key : keys)
        cboMonth->addItem(monthText(key), key);
}

QString TfrmHistory::entryName(int entry) const {
    return entryLabel(m_summary, entry);
}

void TfrmHistory::fillEntries() {
    // This month and the last are the calendar's, whatever month is picked.
    const int now = monthKeyOf(appClock().today());
    const int rows = m_summary.entryCount();
    tblEntries->setRowCount(rows);
    for (int e = 0; e < rows; ++e) {
        setCell(tblEntries, e, 0, entryName(e));
        tblEntries->item(e, 0)->setData(Qt::DecorationRole, THistoryChart::entryColour(e));
        setCell(tblEntries, e, 1, duration(m_summary.minutes(e, now)), true);
        setCell(tblEntries, e, 2, duration(m_summary.minutes(e, now - 1)), true);
        setCell(tblEntries, e, 3, duration(m_summary.allTime(e)), true);
        setDataCell(tblEntries, e, 4, m_summary.data(e, now), m_summary.minutes(e, now));
        setDataCell(tblEntries, e, 5, m_summary.data(e, now - 1), m_summary.minutes(e, now - 1));
        setDataCell(tblEntries, e, 6, m_summary.allTimeTraffic(e), m_summary.allTime(e));
    }
    // As high as its rows, up to six of them; the sessions take the rest.
    const int shownRows = std::clamp(tblEntries->rowCount(), 1, 6);
    tblEntries->setFixedHeight(tblEntries->horizontalHeader()->sizeHint().height() +
                               shownRows * tblEntries->verticalHeader()->defaultSectionSize() +
                               2 * tblEntries->frameWidth());
}

void TfrmHistory::fillStatus() {
    QStringList status;
    if (!m_found)
        status << tr("No usage history yet.");
    else if (m_summary.skipped == 1)
        status << tr("1 line of the history could not be read and was skipped.");
    else if (m_summary.skipped > 1)
        status << tr("%1 lines of the history could not be read and were skipped.")
                      .arg(m_summary.skipped);
    if (m_summary.hasOther())
        status << tr("Entries past the first %1 names are counted together as \"%2\".")
                      .arg(history::kMaxEntries)
                      .arg(QCoreApplication::translate("TfrmHistory", "(the other entries)"));
    const history::Month* month = m_summary.month(m_month);
    if (month && month->sessionsLeftOut > 0)
        status << tr("The newest %1 sessions are listed; %2 older ones are not.")
                      .arg(history::kMaxSessions)
                      .arg(month->sessionsLeftOut);
    lblStatus->setText(status.join(QLatin1Char(' ')));
}

void TfrmHistory::showMonth(int monthKey) {
    m_month = monthKey;
    const int index = cboMonth->findData(monthKey);
    if (index >= 0)
        cboMonth->setCurrentIndex(index);
    if (std::find(m_detail.begin(), m_detail.end(), monthKey) == m_detail.end()) {
        startReading(); // its days and sessions were not kept
        return;
    }
    if (m_reading)
        return; // shown when the read is done
    chart->setMonth(&m_summary, monthKey);
    fillSessions();
    fillStatus();
}

void TfrmHistory::fillSessions() {
    m_sessionsModel->show(&m_summary, m_month);
    btnExport->setEnabled(m_sessionsModel->rowCount({}) > 0);
}

void TfrmHistory::btnExportClick() {
    const QString suggested = QDir::homePath() + QStringLiteral("/Vantrel sessions ") +
                              monthText(m_month) + QStringLiteral(".csv");
    const QString path = saveDialog()
                             ? saveDialog()(this, suggested)
                             : QFileDialog::getSaveFileName(this, tr("Export CSV"), suggested,
                                                            tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    const std::string csv = history::sessionsCsv(m_summary, m_summary.sessionsNewestFirst(m_month));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        reportError(QStringLiteral("Unable to write to ") + path); // translated there
    }
}
