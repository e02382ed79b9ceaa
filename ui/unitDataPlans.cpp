#include "ui/unitDataPlans.h"

#include "accounting/unitUtils.h"
#include "ui/app/AppErrors.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <set>

namespace {
// Decimal, at most three places (a megabyte of a gigabyte) and six digits
// before them, so 999,999 GB stays within what the file reads back. No
// sign, no exponent, nothing else.
const QRegularExpression kAmount(QStringLiteral("\\d{0,6}(\\.\\d{0,3})?"));

QString amountText(std::int64_t mb, bool& inGB) {
    inGB = mb >= 1000;
    if (!inGB)
        return mb > 0 ? QString::number(mb) : QString();
    QString text = QString::number(static_cast<double>(mb) / 1000.0, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}
} // namespace

TfrmDataPlans::TfrmDataPlans(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDataPlans");
    setWindowTitle(tr("Brantle Vantrel - data plans"));
    setAttribute(Qt::WA_DeleteOnClose);
    tblPlans = new QTableWidget(0, colCount, this);
    tblPlans->setObjectName("tblPlans");
    tblPlans->setHorizontalHeaderLabels({tr("Entry"), tr("Allowance"), QString(), tr("Billing day"),
                                         tr("Warn at"), tr("This period")});
    tblPlans->setAccessibleName(tr("Data plans"));
    tblPlans->verticalHeader()->hide();
    tblPlans->setSelectionMode(QAbstractItemView::NoSelection);
    tblPlans->horizontalHeader()->setSectionResizeMode(colUsage, QHeaderView::Stretch);
    auto* note =
        new QLabel(tr("Changes are stored as they are made. An entry without an allowance has "
                      "no plan and is never warned about."),
                   this);
    note->setWordWrap(true);
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName("btnClose");
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblPlans);
    layout->addWidget(note);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(720, 320);
}

void TfrmDataPlans::load(const QStringList& entries) {
    const history::Stamp now = history::localNow();
    m_today = QDate(now.year, now.month, now.day);
    m_summary = history::Summary();
    history::readFile(filePath(HistoryFileName()), m_summary, {now.monthKey(), now.monthKey() - 1});
    const std::unique_ptr<IniFile> ini = PlansIni();
    std::vector<plans::Plan> stored = plans::loadPlans(*ini);
    tblPlans->setRowCount(0);
    std::set<std::string> listed;
    for (const QString& entry : entries) {
        const std::string name = ledgerName(entry);
        if (!listed.insert(name).second)
            continue;
        addRow(entry, plans::loadPlan(*ini, name));
    }
    for (const plans::Plan& p : stored)
        if (listed.insert(p.entry).second)
            addRow(fromLedgerName(p.entry), p);
    tblPlans->resizeColumnsToContents();
    tblPlans->horizontalHeader()->setSectionResizeMode(colUsage, QHeaderView::Stretch);
}

void TfrmDataPlans::addRow(const QString& entry, const plans::Plan& plan) {
    const int row = tblPlans->rowCount();
    tblPlans->insertRow(row);
    auto* name = new QTableWidgetItem(entry);
    name->setFlags(Qt::ItemIsEnabled);
    name->setData(Qt::UserRole,
                  QByteArray::fromStdString(plan.entry.empty() ? ledgerName(entry) : plan.entry));
    tblPlans->setItem(row, colEntry, name);

    bool inGB = true;
    auto* amount = new QLineEdit(amountText(plan.allowanceMB, inGB));
    amount->setObjectName("edtAllowance");
    amount->setValidator(new QRegularExpressionValidator(kAmount, amount));
    amount->setPlaceholderText(tr("no plan"));
    amount->setAlignment(Qt::AlignRight);
    auto* unit = new QComboBox;
    unit->setObjectName("cboUnit");
    unit->addItems({QStringLiteral("MB"), QStringLiteral("GB")});
    unit->setCurrentIndex(inGB || plan.allowanceMB == 0 ? 1 : 0);
    auto* day = new QSpinBox;
    day->setObjectName("spnBillingDay");
    day->setRange(1, 31);
    day->setValue(plan.billingDay);
    auto* warn = new QSpinBox;
    warn->setObjectName("spnWarnPercent");
    warn->setRange(1, 99);
    warn->setSuffix(QStringLiteral(" %"));
    warn->setValue(plan.warnPercent);
    // Cell widgets have no label of their own for a screen reader.
    amount->setAccessibleName(tr("%1: allowance").arg(entry));
    unit->setAccessibleName(tr("%1: unit").arg(entry));
    day->setAccessibleName(tr("%1: billing day").arg(entry));
    warn->setAccessibleName(tr("%1: warn at").arg(entry));
    tblPlans->setCellWidget(row, colAllowance, amount);
    tblPlans->setCellWidget(row, colUnit, unit);
    tblPlans->setCellWidget(row, colDay, day);
    tblPlans->setCellWidget(row, colWarn, warn);
    auto* usage = new QTableWidgetItem(usageText(plan));
    usage->setFlags(Qt::ItemIsEnabled);
    tblPlans->setItem(row, colUsage, usage);

    // The row is found anew at each change: rows never move, but the
    // widgets outlive no row.
    auto storeRow = [this, name] { store(tblPlans->row(name)); };
    connect(amount, &QLineEdit::textEdited, this, storeRow);
    connect(unit, &QComboBox::currentIndexChanged, this, storeRow);
    connect(day, &QSpinBox::valueChanged, this, storeRow);
    connect(warn, &QSpinBox::valueChanged, this, storeRow);
}

plans::Plan TfrmDataPlans::planOf(int row) const {
    plans::Plan p;
    p.entry = tblPlans->item(row, colEntry)->data(Qt::UserRole).toByteArray().toStdString();
    const auto* amount = static_cast<QLineEdit*>(tblPlans->cellWidget(row, colAllowance));
    const auto* unit = static_cast<QComboBox*>(tblPlans->cellWidget(row, colUnit));
    const double value = amount->text().toDouble(); // "" and "." read as 0: no plan
    p.allowanceMB = std::llround(value * (unit->currentIndex() == 1 ? 1000.0 : 1.0));
    p.billingDay = static_cast<QSpinBox*>(tblPlans->cellWidget(row, colDay))->value();
    p.warnPercent = static_cast<QSpinBox*>(tblPlans->cellWidget(row, colWarn))->value();
    return p;
}

void TfrmDataPlans::store(int row) {
    if (row < 0)
        return;
    const plans::Plan p = planOf(row);
    try {
        const std::unique_ptr<IniFile> ini = PlansIni();
        plans::storeSettings(*ini, p);
    } catch (const IniWriteError& e) {
        reportError(QString::fromLocal8Bit(e.what()));
        return;
    }
    tblPlans->item(row, colUsage)->setText(usageText(p));
}

QString TfrmDataPlans::usageText(const plans::Plan& plan) const {
    if (!plan.active())
        return tr("no plan");
    const plans::Period period = plans::periodFor(m_today, plan.billingDay);
    return plans::usageText(plans::usage(m_summary, plan.entry, period), plan, period);
}
