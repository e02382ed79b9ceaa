// The history window as the tray menu opens it, and the history the counting
// tick writes.

#include "MainWindowFixture.h"
#include "accounting/History.h"
#include "ui/unitHistory.h"

#include <QRadioButton>
#include <QTableWidget>

#include <optional>

namespace {

class HistoryWindowTest : public MainWindowTest {
protected:
    void TearDown() override {
        TfrmHistory::setSaveDialog({});
        MainWindowTest::TearDown();
    }
    void writeHistory(const std::string& text) {
        writeFile(HistoryFileName(), QByteArray::fromStdString(text));
    }
    static std::string minutes(const char* from, int count, const std::string& entry) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += history::formatRecord(history::addMinutes(*stamp(from), i), entry);
        return text;
    }
    TfrmHistory* open() {
        window->TrayPop_History->trigger();
        TfrmHistory* found = theOnly<TfrmHistory>();
        return found && read(found) ? found : nullptr;
    }
    // The read runs beside the event loop: done within a deadline.
    static bool read(TfrmHistory* h) {
        return QTest::qWaitFor([h] { return !h->reading(); }, 20000);
    }
    static std::optional<history::Stamp> stamp(const char* text) {
        history::Stamp s;
        return history::parseStamp(text, s) ? std::optional(s) : std::nullopt;
    }
    static QStringList row(QAbstractItemView* t, int r) {
        QStringList cells;
        for (int c = 0; c < t->model()->columnCount(); ++c)
            cells << t->model()->index(r, c).data().toString();
        return cells;
    }
};

} // namespace

TEST_F(HistoryWindowTest, TablesShowTheMonthsTheEntriesAndTheSessions) {
    today(2026, 12, 15);
    writeHistory(std::string(history::kHeader) + minutes("2026-10-31T23:00+01:00", 90, "Office") +
                 minutes("2026-11-30T23:59+01:00", 3, "Office") + "junk\n" +
                 minutes("2026-12-08T10:00+01:00", 75, "Home") +
                 minutes("2026-12-09T21:00+01:00", 2, "Office") +
                 minutes("2026-12-09T22:00+01:00", 1, "Line\nbreak"));
    create();
    TfrmHistory* h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->cboMonth->currentText(), "2026-12");
    QStringList months;
    for (int i = 0; i < h->cboMonth->count(); ++i)
        months << h->cboMonth->itemText(i);
    EXPECT_EQ(months, QStringList({"2026-12", "2026-11", "2026-10"}));

    // This month and the last are the calendar's; all time is everything.
    ASSERT_EQ(h->tblEntries->rowCount(), 3);
    EXPECT_EQ(row(h->tblEntries, 0),
              QStringList({"Office", "0 H., 4 Min", "0 H., 31 Min", "1 H., 35 Min",
                           "no data recorded", "no data recorded", "no data recorded"}));
    EXPECT_EQ(row(h->tblEntries, 1),
              QStringList({"Home", "1 H., 15 Min", "0 H., 0 Min", "1 H., 15 Min",
                           "no data recorded", "0 B", "no data recorded"}));
    EXPECT_EQ(row(h->tblEntries, 2).at(0), QString("Line\uFFFDbreak"));
    EXPECT_EQ(h->lblStatus->text(), "1 line of the history could not be read and was skipped.");

    ASSERT_EQ(h->tblSessions->model()->rowCount(), 4);
    EXPECT_EQ(row(h->tblSessions, 1), QStringList({"Office", "2026-12-09 21:00", "21:02",
                                                   "0 H., 2 Min", "no data recorded"}));
    EXPECT_EQ(row(h->tblSessions, 2), QStringList({"Home", "2026-12-08 10:00", "11:15",
                                                   "1 H., 15 Min", "no data recorded"}));

    // Another month: the same window, its sessions.
    // Its days and sessions are read when it is picked.
    h->cboMonth->setCurrentIndex(2);
    emit h->cboMonth->activated(2);
    ASSERT_TRUE(read(h));
    ASSERT_EQ(h->tblSessions->model()->rowCount(), 1);
    EXPECT_EQ(row(h->tblSessions, 0), QStringList({"Office", "2026-10-31 23:00", "2026-11-01 00:00",
                                                   "1 H., 0 Min", "no data recorded"}));

    // Asked for again, it stays one window and reads the file anew.
    writeHistory(minutes("2026-12-10T08:00+01:00", 1, "Office"));
    window->TrayPop_History->trigger();
    EXPECT_EQ(openDialogs<TfrmHistory>().size(), 1u);
    ASSERT_TRUE(read(h));
    EXPECT_EQ(h->tblEntries->rowCount(), 1);
    EXPECT_EQ(h->lblStatus->text(), "");
}

TEST_F(HistoryWindowTest, DataColumnsTheChartsSwitchAndTheExport) {
    today(2026, 12, 15);
    history::Traffic minute;
    minute.add(1'100'000'000, 95'000'000);
    // November before the data was counted; December with it.
    writeHistory("time,entry\n" + minutes("2026-11-30T23:00+01:00", 2, "Office") +
                 history::formatRecord(*stamp("2026-12-08T10:00+01:00"), "Office", &minute) +
                 history::formatRecord(*stamp("2026-12-08T10:01+01:00"), "Office") +
                 minutes("2026-12-08T11:00+01:00", 1, "Home, \"2\""));
    create();
    TfrmHistory* h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(row(h->tblEntries, 0).mid(4),
              QStringList({"\u2265 1.2 GB", "no data recorded", "\u2265 1.2 GB"}));
    EXPECT_TRUE(h->tblEntries->item(0, 4)->toolTip().startsWith("1.1 GB received, 95 MB sent\n"))
        << h->tblEntries->item(0, 4)->toolTip().toStdString();
    EXPECT_EQ(row(h->tblSessions, 1).at(4), "\u2265 1.2 GB");

    EXPECT_EQ(h->chart->mode(), THistoryChart::Time);
    h->rbChartData->click();
    // The data chart draws the day's bar: the pixels of Office's colour.
    h->show();
    const QImage shot = h->chart->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            coloured += shot.pixelColor(x, y) == THistoryChart::entryColour(0);
    EXPECT_GT(coloured, 500);
    h->rbChartTime->click();
    EXPECT_EQ(h->chart->mode(), THistoryChart::Time);

    // The export writes the month's sessions where the dialog says.
    QString suggested;
    QString target = m_home.path() + "/sessions.csv";
    TfrmHistory::setSaveDialog([&](QWidget*, const QString& s) {
        suggested = s;
        return target;
    });
    h->btnExport->click();
    EXPECT_TRUE(suggested.endsWith("2026-12.csv")) << suggested.toStdString();
    EXPECT_EQ(fileBytes(target),
              "entry,start,end,minutes\n"
              "\"Home, \"\"2\"\"\",2026-12-08T11:00+01:00,2026-12-08T11:01+01:00,1\n"
              "Office,2026-12-08T10:00+01:00,2026-12-08T10:02+01:00,2\n");

    // A place that cannot be written is reported; cancelling writes nothing.
    TfrmHistory::setSaveDialog([&](QWidget*, const QString&) { return m_home.path(); });
    h->btnExport->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to write to " + m_home.path() + ".");
    TfrmHistory::setSaveDialog([&](QWidget*, const QString&) { return QString(); });
    h->btnExport->click();
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(HistoryWindowTest, ABigHistoryIsReadBesideTheLoopAndShownCapped) {
    today(2026, 12, 15);
    // More names than are told apart, and more sessions than are listed.
    const history::Stamp t = *stamp("2026-12-01T00:00+01:00");
    std::string text;
    const int names = static_cast<int>(history::kMaxEntries) + 3;
    const int sessions = static_cast<int>(history::kMaxSessions) + 4;
    for (int i = 0; i < names; ++i)
        text += history::formatRecord(history::addMinutes(t, std::int64_t{4} * i),
                                      "n" + std::to_string(i));
    for (int i = names; i < names + sessions; ++i)
        text += history::formatRecord(history::addMinutes(t, std::int64_t{4} * i), "n0");
    writeHistory(text);
    create();
    window->TrayPop_History->trigger();
    TfrmHistory* h = theOnly<TfrmHistory>();
    ASSERT_NE(h, nullptr);
    // Back in the loop at once, the file still to be read.
    EXPECT_EQ(h->lblStatus->text(), QString("Reading…"));
    ASSERT_TRUE(read(h));

    ASSERT_EQ(h->tblEntries->rowCount(), names - 2);
    EXPECT_EQ(row(h->tblEntries, names - 3).mid(0, 4),
              QStringList({"(the other entries)", "0 H., 3 Min", "0 H., 0 Min", "0 H., 3 Min"}));
    EXPECT_EQ(h->tblSessions->model()->rowCount(), static_cast<int>(history::kMaxSessions));
    EXPECT_TRUE(h->lblStatus->text().contains("1007 older ones are not"))
        << h->lblStatus->text().toStdString();
    EXPECT_TRUE(h->lblStatus->text().contains("first 1000 names"));
}

TEST_F(HistoryWindowTest, ClosingItOrTheProgramMidReadNeitherHangsNorCrashes) {
    std::string text;
    const history::Stamp t = *stamp("2026-12-01T00:00+01:00");
    for (int i = 0; i < 100000; ++i)
        text += history::formatRecord(history::addMinutes(t, i % 40000), i % 2 ? "Office" : "Home");
    writeHistory(text);
    create();

    window->TrayPop_History->trigger();
    QPointer<TfrmHistory> h = openDialogs<TfrmHistory>().at(0);
    ASSERT_TRUE(h->reading());
    h->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.isNull(); }, 20000));

    // "Close program" while the window reads; the program then ends.
    window->TrayPop_History->trigger();
    h = openDialogs<TfrmHistory>().at(0);
    window->TrayPop_CloseProgram->trigger();
    EXPECT_EQ(programEnds, 1);
    window.reset();
    EXPECT_TRUE(h.isNull());
    QCoreApplication::processEvents();
}

TEST_F(HistoryWindowTest, EachCountedMinuteIsAppendedAfterTheLedger) {
    create();
    // The baseline comes when the connection is reported up, each minute's
    // data from the tick, and a connection without counters has none.
    connect("Office", ras::RASCS_Connected, ras::ConnectionBytes{1'000, 200, "ppp0"});
    service->connections[0].bytes = ras::ConnectionBytes{4'000, 700, "ppp0"};
    window->tmrCountTimer();
    service->connections[0].bytes = ras::ConnectionBytes{4'100, 700, "ppp0"};
    window->tmrCountTimer();
    connect("Home, \"x\"");
    window->tmrCountTimer();
    history::Summary s;
    ASSERT_TRUE(history::readFile(HistoryFileName().toStdString(), s));
    EXPECT_EQ(s.records, 3u);
    EXPECT_EQ(s.entries, (std::vector<std::string>{"Office", "Home, \"x\""}));
    EXPECT_EQ(s.allTimeTraffic(0).received, 3'100u);
    EXPECT_FALSE(s.allTimeTraffic(1).recorded());

    // The history cannot be written: reported once the tick is over, and the
    // ledger goes on counting.
    QFile::remove(HistoryFileName());
    QDir().mkpath(HistoryFileName());
    connect("Office");
    window->tmrCountTimer();
    EXPECT_EQ(value("Office", "Minutes"), "3");
    EXPECT_TRUE(boxes.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to write to " + HistoryFileName() + ".");
    EXPECT_EQ(window->lblTotalTime->text(), "0 H., 3 Min");
}
