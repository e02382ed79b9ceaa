#include "Statistics.h"

#include "Clock.h"
#include "unitUtils.h"

#include <QCoreApplication>
#include <QDate>

#include <algorithm>

namespace {
const std::string kMinutes = "Minutes";
const std::string kHours = "Hours";
const std::string kWarnHourCount = "WarnHourCount";
const std::string kWarnOverTime = "WarnOverTime";
const std::string kGeneral = "General";
constexpr std::int32_t kMaxWarnLimit = 32000;
} // namespace

std::int16_t WarnLimitPosition(std::int32_t stored) {
    // Clamped, not cut to 16 bits: 70000 must not show as 4464.
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(stored, 0, kMaxWarnLimit));
}

void RefreshStatistics(StatisticsView& view, IniFile& data) {
    QString entry;
    if (!view.selectedEntry(entry))
        return;
    const std::string section = ledgerName(entry);
    const std::string minutes = data.LoadText(section, kMinutes, "0");
    const std::string hours = data.LoadText(section, kHours, "0");
    view.setTotalTimeText(QCoreApplication::translate("Statistics", "%1 H., %2 Min")
                              .arg(fromLedgerName(hours), fromLedgerName(minutes)));
    view.setWarnLimitPosition(WarnLimitPosition(data.LoadNumber(section, kWarnHourCount, 0)));
    // The same default as the overtime rule, so the box never shows the
    // warning off while warnings come.
    view.setWarnOverTimeChecked(data.LoadFlag(section, kWarnOverTime, true));
}

QString OverTimeMessage(const QString& entryName, std::int32_t limit) {
    return QCoreApplication::translate("Statistics",
                                       "You're using the \"%1\" dialup account longer than you "
                                       "should. (The limit set by yourself is %2 hours.)")
        .arg(entryName, QString::number(limit));
}

void CheckOverTime(StatisticsView& view, IniFile& data) {
    if (!view.isConnected())
        return;
    const QString entry = view.connectedEntry();
    const std::string section = ledgerName(entry);
    if (!data.LoadFlag(section, kWarnOverTime, true))
        return;
    const std::int32_t limit = data.LoadNumber(section, kWarnHourCount, 0);
    if (limit <= 0)
        return;
    // The connected entry's own hours, whatever entry the window shows.
    const std::int32_t hours = StrToInt(data.LoadText(section, kHours, "0"));
    if (hours < limit)
        return;
    view.showOverTimeWarning(entry, OverTimeMessage(entry, limit));
}

QString ReminderKey(const QDate& date) {
    return QStringLiteral("Notify") + QString::number(date.day() + date.month() + date.year());
}

void CheckFirstOfMonth(StatisticsView& view) {
    const QDate today = appClock().today();
    if (today.day() != 1)
        return;
    // The key is formed once, here: a reminder answered after midnight still
    // answers for the day it was shown.
    const QString key = ReminderKey(today);
    if (!OptionsIni()->LoadFlag(kGeneral, key.toStdString(), true))
        return;
    view.showFirstOfMonthNotification(key);
}

void StoreReminderAnswer(const QString& reminderKey, bool remindAgain) {
    OptionsIni()->StoreFlag(kGeneral, reminderKey.toStdString(), remindAgain);
}
