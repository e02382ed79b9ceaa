#pragma once
// The history window, "Brantle Vantrel - history": one month of the usage
// history as a bar chart of minutes per day, the totals per entry, and the
// month's sessions. It reads the history when it is opened, never before,
// and frees it when closed.

#include "accounting/History.h"

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// Minutes per day of one month, a stacked bar per day with one colour per
// entry, and a legend of the entries shown.
class THistoryChart : public QWidget {
    Q_OBJECT
public:
    explicit THistoryChart(QWidget* parent = nullptr);
    void setMonth(const history::Summary* summary, int monthKey);
    static QColor entryColour(int entry);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const history::Summary* m_summary = nullptr;
    int m_month = 0;
};

class TfrmHistory : public QDialog {
    Q_OBJECT
public:
    // Asks where to save: the chosen path, or empty for none. Tests answer
    // it in place of the file dialog.
    using SaveDialog = std::function<QString(QWidget* parent, const QString& suggested)>;
    static void setSaveDialog(SaveDialog dialog); // empty: the real dialog

    explicit TfrmHistory(QWidget* parent = nullptr);

    // Reads the history file anew and shows the month picked (this month
    // the first time).
    void load();
    void showMonth(int monthKey);
    int month() const { return m_month; }

    QComboBox* cboMonth = nullptr;
    THistoryChart* chart = nullptr;
    QTableWidget* tblEntries = nullptr;
    QTableWidget* tblSessions = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnClose = nullptr;

    void btnExportClick();

private:
    void fillMonths();
    void fillEntries();
    void fillSessions();
    QString entryName(int entry) const;

    history::Summary m_summary;
    bool m_found = false;
    int m_month = -1;
};
