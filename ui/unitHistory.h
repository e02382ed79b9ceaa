#pragma once
// The history window, "Brantle Vantrel - history": one month of the usage
// history as a bar chart of minutes per day, the totals per entry, and the
// month's sessions. It reads the history when it is opened, never before,
// and frees it when closed. The reading runs on a thread of its own, so the
// tray and "Close program" answer throughout; what it keeps is bounded (see
// history::Reader).

#include "accounting/History.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;
class QTableWidget;
class HistorySessionsModel;

// Minutes or data per day of one month, a stacked bar per day with one
// colour per entry, and a legend of the entries shown.
class THistoryChart : public QWidget {
    Q_OBJECT
public:
    enum Mode { Time, Data };
    explicit THistoryChart(QWidget* parent = nullptr);
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // No summary: being read.
    void setMonth(const history::Summary* summary, int monthKey);
    static QColor entryColour(int entry);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const history::Summary* m_summary = nullptr;
    int m_month = 0;
    Mode m_mode = Time;
};

class TfrmHistory : public QDialog {
    Q_OBJECT
public:
    // Asks where to save: the chosen path, or empty for none. Tests answer
    // it in place of the file dialog.
    using SaveDialog = std::function<QString(QWidget* parent, const QString& suggested)>;
    static void setSaveDialog(SaveDialog dialog); // empty: the real dialog

    explicit TfrmHistory(QWidget* parent = nullptr);
    ~TfrmHistory() override;

    // Reads the history file anew and then shows the month picked (this
    // month the first time). It returns at once; "Reading…" shows meanwhile.
    void load();
    // Shows a month; one not read in detail is read first.
    void showMonth(int monthKey);
    int month() const { return m_month; }
    bool reading() const { return m_reading; }

    QComboBox* cboMonth = nullptr;
    QRadioButton* rbChartTime = nullptr; // the chart shows minutes per day
    QRadioButton* rbChartData = nullptr; // or data per day
    THistoryChart* chart = nullptr;
    QTableWidget* tblEntries = nullptr;
    QTableView* tblSessions = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnDataPlans = nullptr;
    QPushButton* btnClose = nullptr;

    void btnExportClick();

signals:
    // "Data plans..." was clicked; the main window opens the dialog.
    void dataPlansRequested();
    // A read is done and shown.
    void loaded();

private:
    void startReading();
    void stopReading();
    void readDone(history::Summary summary, bool found);
    void fillMonths();
    void fillEntries();
    void fillSessions();
    void fillStatus();
    QString entryName(int entry) const;

    history::Summary m_summary;
    HistorySessionsModel* m_sessionsModel = nullptr;
    bool m_found = false;
    int m_month = -1;
    bool m_reading = false;
    std::vector<int> m_detail; // the months m_summary holds in detail
    std::thread m_reader;
    std::atomic<bool> m_cancel{false};
    quint64 m_readCount = 0; // tells a stale read's result from the last one's
};
