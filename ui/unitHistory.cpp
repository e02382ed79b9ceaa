#include "ui/unitHistory.h"

#include "ui/app/AppErrors.h"
#include "accounting/Clock.h"
#include "accounting/unitUtils.h"

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

QTableWidget* makeTable(QWidget* parent, const char* name, const QStringList& headers) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < headers.size(); ++c)
        table->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
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

} // namespace

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
        const QString name =
            shown(fromLedgerName(m_summary->entries[static_cast<std::size_t>(entry)]));
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
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("No minutes counted in this month."));
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
    tblSessions = makeTable(this, "tblSessions",
                            {QStringLiteral("Entry"), QStringLiteral("Start"),
                             QStringLiteral("End"), QStringLiteral("Duration")});

    chart->setAccessibleName(QStringLiteral("Minutes online per day"));
    tblEntries->setAccessibleName(QStringLiteral("Per entry"));
    tblSessions->setAccessibleName(QStringLiteral("Sessions of the month, newest first"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setTextFormat(Qt::PlainText);
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

void TfrmHistory::load() {
    m_found = history::readFile(filePath(HistoryFileName()), m_summary);
    if (m_month < 0)
        m_month = monthKeyOf(appClock().today());
    fillMonths();
    fillEntries();
    showMonth(m_month);
}

void TfrmHistory::fillMonths() {
    std::vector<int> keys;
    for (const auto& [key, m] : m_summary.months)
        keys.push_back(key);
    keys.push_back(monthKeyOf(appClock().today()));
    keys.push_back(m_month);
    std::sort(keys.begin(), keys.end(), std::greater<int>());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    cboMonth->clear();
    for (int key : keys)
        cboMonth->addItem(monthText(key), key);
}

QString TfrmHistory::entryName(int entry) const {
    return shown(fromLedgerName(m_summary.entries[static_cast<std::size_t>(entry)]));
}

void TfrmHistory::fillEntries() {
    // This month and the last are the calendar's, whatever month is picked.
    const int now = monthKeyOf(appClock().today());
    tblEntries->setRowCount(static_cast<int>(m_summary.entries.size()));
    for (int e = 0; e < static_cast<int>(m_summary.entries.size()); ++e) {
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
    QString status;
    if (!m_found)
        status = QStringLiteral("No usage history yet.");
    else if (m_summary.skipped == 1)
        status = QStringLiteral("1 line of the history could not be read and was skipped.");
    else if (m_summary.skipped > 1)
        status = QStringLiteral("%1 lines of the history could not be read and were skipped.")
                     .arg(m_summary.skipped);
    lblStatus->setText(status);
}

void TfrmHistory::showMonth(int monthKey) {
    m_month = monthKey;
    const int index = cboMonth->findData(monthKey);
    if (index >= 0)
        cboMonth->setCurrentIndex(index);
    chart->setMonth(&m_summary, monthKey);
    fillSessions();
}

void TfrmHistory::fillSessions() {
    const std::vector<history::Session> sessions = m_summary.sessionsNewestFirst(m_month);
    tblSessions->setRowCount(static_cast<int>(sessions.size()));
    for (int row = 0; row < static_cast<int>(sessions.size()); ++row) {
        const history::Session& s = sessions[static_cast<std::size_t>(row)];
        const bool sameDay =
            s.start.year == s.end.year && s.start.month == s.end.month && s.start.day == s.end.day;
        setCell(tblSessions, row, 0, entryName(s.entry));
        tblSessions->item(row, 0)->setData(Qt::DecorationRole, THistoryChart::entryColour(s.entry));
        setCell(tblSessions, row, 1, localText(s.start, true));
        setCell(tblSessions, row, 2, localText(s.end, !sameDay));
        setCell(tblSessions, row, 3, duration(s.minutes), true);
    }
    btnExport->setEnabled(!sessions.empty());
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
