#include "ui/unit1st_of_Month_Notification.h"

#include "accounting/Statistics.h"
#include "accounting/unitUtils.h"
#include "ui/app/AppErrors.h"
#include "ui/app/Artwork.h"
#include "ui/unitMain.h"

#include <QLabel>
#include <QPushButton>

namespace {
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int x, int y,
                        int width) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, width, 23);
    return button;
}
} // namespace

Tfrm1stOfMonthNotification::Tfrm1stOfMonthNotification(QString reminderKey)
    : TDialogBase(tr("Brantle Vantrel - notification"), 292, 141, "Verdana"),
      m_reminderKey(std::move(reminderKey)) {
    setObjectName("frm1stOfMonthNotification");

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 8, 32, 32);
    Image1->setPixmap(Artwork::reminderIcon().pixmap(32, 32));

    Label1 = addAutoSizeLabel(this, "Label1", tr("It's the first of the month!"), 48, 8, true);

    Label2 = addWrappedLabel(this, "Label2",
                             tr("It's the 1st of the month, would you like to reset your the time "
                                "count for you dialup account(s)?"),
                             QRect(48, 24, 233, 41));

    btnYes = makeButton(this, "btnYes", tr("Yes"), 18, 80, 65);
    btnYes->setDefault(true);
    btnNo_remind =
        makeButton(this, "btnNo_remind", tr("No, but remind me on next run"), 90, 80, 191);
    btnNo_NoRemind = makeButton(this, "btnNo_NoRemind",
                                tr("No, and don't remind me again this month"), 18, 112, 263);
    connect(btnYes, &QPushButton::clicked, this, &Tfrm1stOfMonthNotification::btnYesClick);
    connect(btnNo_remind, &QPushButton::clicked, this,
            &Tfrm1stOfMonthNotification::btnNo_remindClick);
    connect(btnNo_NoRemind, &QPushButton::clicked, this,
            &Tfrm1stOfMonthNotification::btnNo_NoRemindClick);

    setTabOrder(btnYes, btnNo_remind);
    setTabOrder(btnNo_remind, btnNo_NoRemind);
    btnYes->setFocus();
}

template <class Steps> void Tfrm1stOfMonthNotification::answer(Steps steps) {
    try {
        steps();
    } catch (const std::exception& e) {
        reportError(e);
        return;
    }
    close();
}

void Tfrm1stOfMonthNotification::btnYesClick() {
    answer([this] {
        StoreReminderAnswer(m_reminderKey, false);
        IniFile* data = DataIni();
        if (!data)
            throw IniWriteError("Unable to write to " + DataFileName().toStdString());
        ResetAllEntries(*data);
        RefreshStatistics();
    });
}

void Tfrm1stOfMonthNotification::btnNo_remindClick() {
    answer([this] { StoreReminderAnswer(m_reminderKey, true); });
}

void Tfrm1stOfMonthNotification::btnNo_NoRemindClick() {
    answer([this] { StoreReminderAnswer(m_reminderKey, false); });
}
