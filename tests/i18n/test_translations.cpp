// The windows in the language of the locale the test runs under (set by
// ctest per language): the right texts, every text within its control's
// fixed size, and one accelerator per letter in each window and menu.
#include "tests/ui/MainWindowFixture.h"

#include "accounting/Statistics.h"
#include "ui/app/Translations.h"
#include "ui/unit1st_of_Month_Notification.h"
#include "ui/unitAbout.h"
#include "ui/unitDataPlans.h"
#include "ui/unitHistory.h"
#include "ui/unitOvertimeWarning.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>

#include <map>

namespace {

const QString kLanguage = qEnvironmentVariable("BV_EXPECT_LANGUAGE"); // "" for English

// Two or three texts of each window and of the tray menu, per language.
const std::map<QString, std::vector<const char*>> kExpected = {
    {"",
     {"&Reset count", "&Show window", "&Close", "Dialup connection overtime!", "Yes",
      "Brantle Vantrel - history", "Brantle Vantrel - data plans", "Starting..."}},
    {"hr",
     {"&Poništi", "&Prikaži prozor", "&Zatvori", "Prekoračeno vrijeme veze!", "Da",
      "Brantle Vantrel - povijest", "Brantle Vantrel - podatkovni paketi", "Pokretanje..."}},
    {"de",
     {"&Rücksetzen", "Fenster &anzeigen", "&Schließen", "Verbindungszeit überschritten!", "Ja",
      "Brantle Vantrel - Verlauf", "Brantle Vantrel - Datentarife", "Wird gestartet..."}},
};

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

// Each text within its place: a fixed label or button holds its text, a
// label sized to its text runs into no other control and not past its window.
void expectTextsFit(QWidget* window) {
    SCOPED_TRACE(window->objectName().toStdString());
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->text().isEmpty())
            continue;
        SCOPED_TRACE(l->text().toStdString());
        if (l->wordWrap()) {
            EXPECT_LE(l->heightForWidth(l->width()), l->height());
            continue;
        }
        const QRect needed(l->pos(), QSize(l->fontMetrics().horizontalAdvance(l->text()), 13));
        EXPECT_LE(needed.width(), l->width()); // a fixed one is not clipped
        EXPECT_TRUE(l->parentWidget()->rect().contains(needed));
        for (QWidget* other :
             l->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != l && other->isVisible() && !other->inherits("TryxTile")) {
                EXPECT_FALSE(other->geometry().intersects(needed))
                    << other->objectName().toStdString();
            }
        }
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty())
            continue;
        SCOPED_TRACE(b->text().toStdString());
        int needed = b->fontMetrics().horizontalAdvance(plain(b->text()));
        if (qobject_cast<QCheckBox*>(b))
            needed += b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                      b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
        else
            needed += 8; // the button's frame and a little air
        EXPECT_LE(needed, b->width());
    }
}

// One control per accelerator letter in a window, one item per letter in a menu.
void expectAcceleratorsUnique(QWidget* window) {
    std::map<QString, QString> seen;
    auto add = [&](const QString& text) {
        const QString key = QKeySequence::mnemonic(text).toString().toLower();
        if (key.isEmpty())
            return;
        EXPECT_TRUE(seen.emplace(key, text).second)
            << window->objectName().toStdString() << ": " << text.toStdString() << " and "
            << seen[key].toStdString();
    };
    if (auto* menu = qobject_cast<QMenu*>(window)) {
        for (QAction* a : menu->actions())
            add(a->text());
        return;
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        add(b->text());
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy())
            add(l->text());
}

} // namespace

class TranslationTest : public MainWindowTest {};

TEST_F(TranslationTest, WindowsSpeakTheLocalesLanguageAndTheirTextsFit) {
    ASSERT_EQ(uiLanguage(), kLanguage);
    ASSERT_TRUE(kExpected.count(kLanguage));
    const std::vector<const char*>& e = kExpected.at(kLanguage);
    TfrmMain& w = create({{"Office", "555-0100"}});
    TfrmAbout about;
    TfrmOverTimeWarning warning;
    Tfrm1stOfMonthNotification reminder(QStringLiteral("Notify2040"));
    TfrmStartup startup;
    w.TrayPop_HistoryClick();
    w.TrayPop_DataPlansClick();
    QWidget* history = openDialogs<TfrmHistory>().at(0);
    QWidget* plans = openDialogs<TfrmDataPlans>().at(0);
    const QString texts[] = {w.btnResetCount->text(), w.TrayPop_ShowWindow->text(),
                             about.btnClose->text(),  warning.lblTitle->text(),
                             reminder.btnYes->text(), history->windowTitle(),
                             plans->windowTitle(),    startup.windowTitle()};
    for (std::size_t i = 0; i < e.size(); ++i)
        EXPECT_EQ(texts[i], e[i]);

    // The widest count the list shows in practice, and the message of a long limit.
    w.lblTotalTime->setText(
        QCoreApplication::translate("Statistics", "%1 H., %2 Min").arg(9999).arg(59));
    warning.lblMsg->setText(OverTimeMessage(QStringLiteral("Office dial-up"), 32000));
    for (QWidget* window : std::vector<QWidget*>{&w, &about, &warning, &reminder, &startup}) {
        window->show();
        QCoreApplication::processEvents();
        expectTextsFit(window);
        expectAcceleratorsUnique(window);
    }
    for (QWidget* window : {history, plans, static_cast<QWidget*>(w.TrayPopup)})
        expectAcceleratorsUnique(window);
    // "<select dialup>" in the fixed total label, with no entry selected.
    TfrmMain& empty = create({});
    empty.show();
    QCoreApplication::processEvents();
    expectTextsFit(&empty);
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installTranslations(); // as the program does, from the environment's locale
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
