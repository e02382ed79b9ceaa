#pragma once
// The statistics shown for the selected entry, the overtime rule and the
// first-of-month check. They work on the main window through StatisticsView,
// so they stay free of widgets and can be tested with a plain object.

#include "IniFile.h"

#include <QDate>
#include <QString>

#include <cstdint>

class StatisticsView {
public:
    virtual ~StatisticsView() = default;

    // The selected entry of the dial-up list; false when nothing is selected.
    virtual bool selectedEntry(QString& name) const = 0;
    virtual void setTotalTimeText(const QString& text) = 0;
    // Setting these runs the controls' own change handlers, which store the
    // shown value back for the selected entry.
    virtual void setWarnLimitPosition(std::int16_t position) = 0;
    virtual void setWarnOverTimeChecked(bool checked) = 0;

    virtual bool isConnected() const = 0;
    virtual QString connectedEntry() const = 0;

    // Opens a new, modeless overtime warning for the entry.
    virtual void showOverTimeWarning(const QString& entryName, const QString& message) = 0;
    // Opens a new, modeless first-of-month reminder, answering under reminderKey.
    virtual void showFirstOfMonthNotification(const QString& reminderKey) = 0;
};

// Shows the selected entry's ledger values; stops when nothing is selected.
void RefreshStatistics(StatisticsView& view, IniFile& data);

// The overtime rule for the connected entry. Throws ConvertError when the
// entry's Hours is not an integer.
void CheckOverTime(StatisticsView& view, IniFile& data);
QString OverTimeMessage(const QString& entryName, std::int32_t limit);

// "Notify" + (day + month + year).
QString ReminderKey(const QDate& date);
// On the first of a month, shows the reminder unless this month's key says no.
// Reads the options file only on the first.
void CheckFirstOfMonth(StatisticsView& view);
// Records a reminder's answer under the key it was shown with. Throws
// IniWriteError.
void StoreReminderAnswer(const QString& reminderKey, bool remindAgain);

// The form values of the warning switch and the limit shown in the window.
std::int16_t WarnLimitPosition(std::int32_t stored);
