#pragma once
// "Data plans...": every entry's allowance, billing day and warning level,
// edited in place and stored at once, with its usage this period.

#include "accounting/DataPlans.h"
#include "accounting/History.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

class TfrmDataPlans : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDataPlans(QWidget* parent = nullptr);
    // The entries to list: the phonebook's, then any other the plans file names.
    void load(const QStringList& entries);

    QTableWidget* tblPlans = nullptr;

    // Columns of tblPlans.
    enum Column { colEntry, colAllowance, colUnit, colDay, colWarn, colUsage, colCount };

    // "6.1 GB of 10 GB, renews 17 Dec", "no plan".
    QString usageText(const plans::Plan& plan) const;

private:
    void addRow(const QString& entry, const plans::Plan& plan);
    void store(int row);
    plans::Plan planOf(int row) const;

    history::Summary m_summary; // this month and the last: any period holding today
    QDate m_today;
};
