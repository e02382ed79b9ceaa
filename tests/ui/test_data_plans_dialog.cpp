// The data plans dialog: where it is opened from, edits stored as they are
// made, and input refused as it is typed.

#include "MainWindowFixture.h"
#include "accounting/DataPlans.h"
#include "accounting/History.h"
#include "ui/unitDataPlans.h"
#include "ui/unitHistory.h"

#include <QSpinBox>
#include <QTableWidget>

namespace {

class DataPlansTest : public MainWindowTest {
protected:
    void TearDown() override {
        // Escape hides the dialog and leaves its deletion to the event loop.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmDataPlans*>(w))
                delete w;
        MainWindowTest::TearDown();
    }
    static std::string plansText() { return fileBytes(PlansFileName()).toStdString(); }
    TfrmDataPlans* open() {
        window->TrayPop_DataPlans->trigger();
        return theOnly<TfrmDataPlans>();
    }
    template <class W> static W* cell(TfrmDataPlans* d, int row, int col) {
        return qobject_cast<W*>(d->tblPlans->cellWidget(row, col));
    }
    static int rowOf(TfrmDataPlans* d, const QString& entry) {
        for (int r = 0; r < d->tblPlans->rowCount(); ++r)
            if (d->tblPlans->item(r, TfrmDataPlans::colEntry)->text() == entry)
                return r;
        return -1;
    }
};

} // namespace

// Below "History..." in the tray menu, and from the history window; every
// phonebook entry listed, and the plans file's other sections after them.
TEST_F(DataPlansTest, OpenedFromTheTrayMenuAndTheHistoryWindowAndBadInputIsRefused) {
    writeFile(PlansFileName(), "[Old]\nDataAllowanceMB=2500\nBillingDay=31\n");
    create();
    TfrmDataPlans* d = open();
    ASSERT_TRUE(d);
    ASSERT_EQ(d->tblPlans->rowCount(), 3);
    EXPECT_EQ(rowOf(d, "Office"), 0);
    EXPECT_EQ(rowOf(d, "Home"), 1);
    EXPECT_EQ(cell<QLineEdit>(d, 2, TfrmDataPlans::colAllowance)->text(), "2.5");
    EXPECT_EQ(cell<QComboBox>(d, 2, TfrmDataPlans::colUnit)->currentText(), "GB");
    EXPECT_EQ(cell<QSpinBox>(d, 2, TfrmDataPlans::colDay)->value(), 31);
    // A sign, letters, a day of 0 or 32, a level of 100: refused as typed, and
    // the file stays as it was.
    auto* amount = cell<QLineEdit>(d, 0, TfrmDataPlans::colAllowance);
    QTest::keyClicks(amount, "5");
    const std::string stored = plansText();
    ASSERT_NE(stored.find("DataAllowanceMB=5000"), std::string::npos) << stored;
    for (const char* typed : {"-", "x", "e", " GB", ",", "+"})
        QTest::keyClicks(amount, typed);
    EXPECT_EQ(amount->text(), "5");
    struct Case {
        int col;
        const char* typed;
        int lo, hi;
    } cases[] = {{TfrmDataPlans::colDay, "0", 1, 31},
                 {TfrmDataPlans::colDay, "32", 1, 31},
                 {TfrmDataPlans::colDay, "-1", 1, 31},
                 {TfrmDataPlans::colWarn, "100", 1, 99},
                 {TfrmDataPlans::colWarn, "abc", 1, 99}};
    for (const Case& c : cases) {
        auto* spin = cell<QSpinBox>(d, 0, c.col);
        const int before = spin->value();
        spin->selectAll();
        QTest::keyClicks(spin, c.typed);
        QTest::keyClick(spin, Qt::Key_Return);
        EXPECT_TRUE(spin->value() == before || (spin->value() >= c.lo && spin->value() <= c.hi))
            << c.typed;
        const std::string now = plansText();
        EXPECT_EQ(now.find("BillingDay=0\n"), std::string::npos) << c.typed;
        EXPECT_EQ(now.find("BillingDay=32"), std::string::npos) << c.typed;
        EXPECT_EQ(now.find("WarnPercent=100"), std::string::npos) << c.typed;
        EXPECT_EQ(now.find('-'), std::string::npos) << c.typed;
    }
    // The largest allowance the field takes is one the file reads back.
    QTest::keyClicks(amount, "123456.0005");
    EXPECT_EQ(amount->text(), "512345.000");
    EXPECT_EQ(plans::loadPlan(IniFile(filePath(PlansFileName())), "Office").allowanceMB,
              512'345'000);
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_TRUE(openDialogs<TfrmDataPlans>().empty());

    window->TrayPop_History->trigger();
    TfrmHistory* history = theOnly<TfrmHistory>();
    ASSERT_NE(history, nullptr);
    QTest::mouseClick(history->btnDataPlans, Qt::LeftButton);
    EXPECT_EQ(openDialogs<TfrmDataPlans>().size(), 1u);
}

// Each edit is in the file as soon as it is made, and the usage follows.
TEST_F(DataPlansTest, EditsAreStoredAtOnce) {
    history::Traffic t;
    t.add(6'080'000'000, 0);
    const std::string record = history::formatRecord(history::localNow(), "Office", &t);
    writeFile(HistoryFileName(), QByteArray::fromStdString(std::string(history::kHeader) + record));
    create();
    TfrmDataPlans* d = open();
    ASSERT_TRUE(d);
    const int row = rowOf(d, "Office");
    auto* amount = cell<QLineEdit>(d, row, TfrmDataPlans::colAllowance);
    QTest::keyClicks(amount, "10");
    IniFile ini(filePath(PlansFileName()));
    EXPECT_EQ(plans::loadPlan(ini, "Office").allowanceMB, 10000);
    const history::Stamp now = history::localNow();
    auto* day = cell<QSpinBox>(d, row, TfrmDataPlans::colDay);
    day->setValue(now.day);
    EXPECT_EQ(plans::loadPlan(ini, "Office").billingDay, now.day);
    const plans::Period p = plans::periodFor(QDate(now.year, now.month, now.day), now.day);
    EXPECT_EQ(d->tblPlans->item(row, TfrmDataPlans::colUsage)->text(),
              "6.1 GB of 10 GB, renews " + plans::shortDate(p.next));
    cell<QComboBox>(d, row, TfrmDataPlans::colUnit)->setCurrentIndex(0); // MB
    EXPECT_EQ(plans::loadPlan(ini, "Office").allowanceMB, 10);
    cell<QSpinBox>(d, row, TfrmDataPlans::colWarn)->setValue(90);
    EXPECT_EQ(plans::loadPlan(ini, "Office").warnPercent, 90);
    // Emptied: no plan, and no warning.
    amount->selectAll();
    QTest::keyClick(amount, Qt::Key_Delete);
    EXPECT_FALSE(plans::loadPlan(ini, "Office").active());
    EXPECT_EQ(d->tblPlans->item(row, TfrmDataPlans::colUsage)->text(), "no plan");
}
