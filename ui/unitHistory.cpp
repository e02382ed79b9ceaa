#include "ui/unitHistory.h"

#include "accounting/Clock.h"
#include "accounting/unitUtils.h"
#include "ui/app/AppErrors.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
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
    return QString::fromStdString(history::formatDuration(minutes));
}

QString localText(const history::Stamp& s, bool withDate) {
    const QString time = QStringLiteral("%1:%2")
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

QString entryLabel(const history::Summary& summary, int entry) {
    if (entry == history::Summary::kOther)
        return QStringLiteral("(the other entries)");
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
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeaders[] = {"Entry", "Start", "End", "Duration"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3)
            return {};
        return QString::fromLatin1(kHeaders[section]);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!m_sessions || !index.isValid() || index.row() >= rowCount({}))
            return {};
        const history::Session& s = (*m_sessions)[static_cast<std::size_t>(index.row())];
        if (role == Qt::DecorationRole && index.column() == 0)
            return THistoryChart::entryColour(s.entry);
        if (role == Qt::TextAlignmentRole && index.column() == 3)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
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
        default:
            return duration(s.minutes);
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

    std::vector<int> totals(static_cast<std::size_t>(days), 0);
    std::vector<int> shownEntries;
    if (month) {
        for (const auto& [entry, em] : month->entries) {
            shownEntries.push_back(entry);
            for (int d = 0; d < days; ++d)
                totals[static_cast<std::size_t>(d)] += em.days[static_cast<std::size_t>(d)];
        }
    }
    const int peak = std::max(1, *std::max_element(totals.begin(), totals.end()));

    // A step for the scale of 1, 2 or 5 times a power of ten minutes, or of
    // hours once the days run long.
    const bool hours = peak > 180;
    const int unit = hours ? 60 : 1;
    const int peakUnits = (peak + unit - 1) / unit;
    int step = 1;
    for (int base = 1;; base *= 10) {
        if (peakUnits <= base * 5) {
            step = base;
            break;
        }
        if (peakUnits <= base * 10) {
            step = base * 2;
            break;
        }
        if (peakUnits <= base * 25) {
            step = base * 5;
            break;
        }
    }
    const int top = ((peakUnits + step - 1) / step) * step * unit;

    const QFontMetrics fm(font());
    const int legendHeight = shownEntries.empty() ? 0 : fm.height() + 8;
    const QString topLabel =
        hours ? QStringLiteral("%1 h").arg(top / 60) : QStringLiteral("%1 min").arg(top);
    const int left = fm.horizontalAdvance(topLabel) + 10;
    const QRect plot(left, 8 + legendHeight, width() - left - 8,
                     height() - 16 - legendHeight - fm.height() - 4);
    if (plot.width() < days || plot.height() < 10)
        return;

    // Grid and scale.
    p.setPen(palette().color(QPalette::Mid));
    const QColor text = palette().color(QPalette::Text);
    for (int v = 0; v <= top; v += step * unit) {
        const int y =
            plot.bottom() - static_cast<int>(static_cast<qint64>(v) * plot.height() / top);
        p.setPen(v == 0 ? text : palette().color(QPalette::Midlight));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(text);
        const QString label = hours ? QStringLiteral("%1 h").arg(v / 60) : QString::number(v);
        p.drawText(QRect(0, y - fm.height() / 2, left - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }

    // Bars, stacked in the order of the legend.
    const double slot = static_cast<double>(plot.width()) / days;
    const int barWidth = std::max(1, static_cast<int>(slot * 0.7));
    for (int d = 0; d < days; ++d) {
        const int x = plot.left() + static_cast<int>(slot * d + (slot - barWidth) / 2);
        int below = 0;
        for (int entry : shownEntries) {
            const int minutes = month->entries.at(entry).days[static_cast<std::size_t>(d)];
            if (minutes == 0)
                continue;
            const int y0 =
                plot.bottom() - static_cast<int>(static_cast<qint64>(below) * plot.height() / top);
            below += minutes;
            const int y1 =
                plot.bottom() - static_cast<int>(static_cast<qint64>(below) * plot.height() / top);
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
                   m_summary ? QStringLiteral("No minutes counted in this month.")
                             : QStringLiteral("Reading…"));
    }
}

// ---- the window ---------------------------------------------------------------------

void TfrmHistory::setSaveDialog(SaveDialog dialog) {
    saveDialog() = std::move(dialog);
}

TfrmHistory::TfrmHistory(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHistory");
    setWindowTitle(QStringLiteral("Brantle Vantrel - history"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window);
    resize(620, 640);

    auto* top = new QHBoxLayout;
    auto* monthLabel = new QLabel(QStringLiteral("&Month:"), this);
    cboMonth = new QComboBox(this);
    cboMonth->setObjectName("cboMonth");
    monthLabel->setBuddy(cboMonth);
    top->addWidget(monthLabel);
    top->addWidget(cboMonth);
    top->addStretch();
    connect(cboMonth, &QComboBox::activated, this,
            [this](int index) { showMonth(cboMonth->itemData(index).toInt()); });

    chart = new THistoryChart(this);
    tblEntries = makeTable(this, "tblEntries",
                           {QStringLiteral("Entry"), QStringLiteral("This month"),
                            QStringLiteral("Last month"), QStringLiteral("All time")});
    tblSessions = new QTableView(this);
    m_sessionsModel = new HistorySessionsModel(tblSessions);
    tblSessions->setModel(m_sessionsModel);
    setUpTable(tblSessions, "tblSessions",
               {QStringLiteral("Entry"), QStringLiteral("Start"), QStringLiteral("End"),
                QStringLiteral("Duration")});
    // Columns fitted to the rows in sight: its texts are of one width, and
    // measuring ten thousand rows would hold up the loop.
    tblSessions->horizontalHeader()->setResizeContentsPrecision(0);

    chart->setAccessibleName(QStringLiteral("Minutes online per day"));
    tblEntries->setAccessibleName(QStringLiteral("Per entry"));
    tblSessions->setAccessibleName(QStringLiteral("Sessions of the month, newest first"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    btnExport = new QPushButton(QStringLiteral("&Export CSV..."), this);
    btnExport->setObjectName("btnExport");
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName("btnClose");
    connect(btnExport, &QPushButton::clicked, this, &TfrmHistory::btnExportClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(btnExport);
    bottom->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chart, 3);
    layout->addWidget(new QLabel(QStringLiteral("Per entry:"), this));
    layout->addWidget(tblEntries, 0);
    layout->addWidget(new QLabel(QStringLiteral("Sessions of the month, newest first:"), this));
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
    lblStatus->setText(QStringLiteral("Reading…"));
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
    std::sort(keys.begin(), keys.end(), std::greater<int>());
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
        status << QStringLiteral("No usage history yet.");
    else if (m_summary.skipped == 1)
        status << QStringLiteral("1 line of the history could not be read and was skipped.");
    else if (m_summary.skipped > 1)
        status << QStringLiteral("%1 lines of the history could not be read and were skipped.")
                      .arg(m_summary.skipped);
    if (m_summary.hasOther())
        status << QStringLiteral("Entries past the first %1 names are counted together as "
                                 "\"(the other entries)\".")
                      .arg(history::kMaxEntries);
    const history::Month* month = m_summary.month(m_month);
    if (month && month->sessionsLeftOut > 0)
        status << QStringLiteral("The newest %1 sessions are listed; %2 older ones are not.")
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
    const QString path =
        saveDialog() ? saveDialog()(this, suggested)
                     : QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), suggested,
                                                    QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    const std::string csv = history::sessionsCsv(m_summary, m_summary.sessionsNewestFirst(m_month));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        reportError(QStringLiteral("Unable to write to ") + path);
    }
}
