// With a service that reports its changes, the monitor stops polling while
// nothing can change, and must still raise what it raises when it always polls.

#include "MonitorFixture.h"

#include <QTest>
#include <QTimer>

#include <optional>
#include <string>
#include <vector>

using namespace ras;
using Log = std::vector<std::string>;

namespace {

// What changes before one step of a script.
struct Step {
    std::vector<FakeRasService::Connection> connections;
    std::optional<TLanguage> language;
};

void record(TZorvRasConnect& m, Log& log) {
    static const char* const groups[] = {"connecting", "authenticating", "connected",
                                         "disconnected"};
    m.OnConnectionStatus = [&log](TZorvRasConnect* s, TCStatus status) {
        log.push_back(std::string(groups[status]) + " " + s->Status().toStdString());
    };
    m.OnStatusChange = [&log](TZorvRasConnect*, bool changed) {
        log.push_back(changed ? "changed" : "same");
    };
}

} // namespace

class ParkingTest : public MonitorTest {
protected:
    // Stands in for the event loop: each call is the next 500 ms tick, which
    // comes only while the polling timer runs. Returns the polls made.
    static int elapse(TZorvRasConnect& m, int ticks) {
        int polls = 0;
        for (int i = 0; i < ticks; ++i) {
            if (m.pollTimer()->isActive()) {
                m.TimerTick(m.pollTimer());
                ++polls;
            }
        }
        return polls;
    }

    static bool parked(const TZorvRasConnect& m) {
        return m.DoTimer() && !m.pollTimer()->isActive();
    }

    // The events of each step, every step followed by `ticks` ticks.
    std::vector<Log> play(bool reports, const std::vector<Step>& script, int ticks = 6) {
        service->reportsChanges = reports;
        service->entries = {{"Office", "555"}};
        service->connections.clear();
        TZorvRasConnect m(&form);
        EXPECT_EQ(m.ParksWhenIdle(), reports);
        m.setLanguage(english);
        Log log;
        record(m, log);
        m.setDoTimer(true);
        std::vector<Log> steps;
        for (const Step& step : script) {
            service->connections = step.connections;
            if (step.language)
                m.setLanguage(*step.language);
            else if (reports)
                service->announceChange();
            log.clear();
            elapse(m, ticks);
            steps.push_back(log);
        }
        return steps;
    }
};

TEST_F(ParkingTest, EveryTransitionRaisesWhatPlainPollingRaises) {
    const auto at = [&](DWORD state) { return std::vector{conn("Office", state)}; };
    const std::vector<Step> script = {
        {{}, {}},                 // the first poll
        {at(RASCS_OpenPort), {}}, // the four-poll connect sequence
        {at(RASCS_PortOpened), {}},
        {at(RASCS_Authenticate), {}},
        {at(RASCS_Connected), {}},
        {at(RASCS_Connected), croatian}, // a language switch while connected
        {at(RASCS_Connected), english},
        {{}, {}},                     // the connection vanishes
        {at(RASCS_Disconnected), {}}, // listed as disconnected
        {at(RASCS_Projected), {}},    // a state without a row
        {at(RASCS_Connected), {}},
        {{conn("A", RASCS_OpenPort, 1), conn("B", RASCS_Authenticate, 2)}, {}},  // two groups
        {{conn("A", RASCS_Connected, 1), conn("B", RASCS_Disconnected, 2)}, {}}, // at rest
        {{}, {}},
    };
    const std::vector<Log> plain = play(false, script);
    const std::vector<Log> parking = play(true, script);
    ASSERT_EQ(plain.size(), parking.size());

    EXPECT_EQ(plain[1], (Log{"connecting modem ttyS0 Opening comm port", "changed", "same", "same",
                             "same", "same", "same"}));
    EXPECT_EQ(plain[4].front(), "connected modem ttyS0 Connected succesfully");
    EXPECT_EQ(plain[5].front(), "changed") << "the status text is now Croatian";
    for (std::size_t i = 0; i < plain.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        // The same events in the same order; parked, only OnStatusChange(false) is missing.
        ASSERT_LE(parking[i].size(), plain[i].size());
        EXPECT_FALSE(parking[i].empty()) << "the change was not polled";
        const Log head(plain[i].begin(), plain[i].begin() + parking[i].size());
        EXPECT_EQ(parking[i], head);
        for (std::size_t k = parking[i].size(); k < plain[i].size(); ++k)
            EXPECT_EQ(plain[i][k], "same");
    }
    // Connecting and authenticating are polled through like before; so is a
    // pair in two groups at rest, which enters a group at every poll.
    for (std::size_t i : {1, 2, 3, 11, 12})
        EXPECT_EQ(parking[i], plain[i]) << "step " << i;
    // At rest the change's poll and one quiet poll, then nothing.
    EXPECT_EQ(parking[7], (Log{"changed", "same"}));
}

TEST_F(ParkingTest, NothingPollsWhileNothingChanges) {
    service->reportsChanges = true;
    service->connections = {conn("Office", RASCS_Connected)};
    TZorvRasConnect m(&form);
    m.setDoTimer(true);
    EXPECT_EQ(elapse(m, 10), 2) << "the first poll, then one that changed nothing";
    ASSERT_TRUE(parked(m));
    const int polls = service->enumConnectionsCalls;
    EXPECT_EQ(elapse(m, 100000), 0);

    // The real timer and event loop, at a 1 ms interval.
    m.setPollInterval(1);
    QTest::qWait(300);
    EXPECT_EQ(service->enumConnectionsCalls, polls);

    // A report wakes it, and it parks again once the change is seen.
    service->connections.clear();
    service->announceChange();
    EXPECT_TRUE(m.pollTimer()->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return parked(m); }, 15000));
    EXPECT_FALSE(m.IsConnected());
    EXPECT_EQ(service->enumConnectionsCalls, polls + 2);

    // Off means off, whatever is reported; on polls once more.
    m.setDoTimer(false);
    service->announceChange();
    m.setLanguage(english);
    EXPECT_FALSE(m.pollTimer()->isActive());
    m.setDoTimer(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return parked(m); }, 15000));
    EXPECT_EQ(m.Status(), "Disconnected or failed connection");
}

// The change is reported while the poll runs, after it has read the answers:
// the poll looks quiet, but the monitor must not park on it.
TEST_F(ParkingTest, ChangeReportedDuringThePollIsNotLost) {
    service->reportsChanges = true;
    service->connections = {conn("Office", RASCS_Connected)};
    TZorvRasConnect m(&form);
    Log log;
    record(m, log);
    m.setDoTimer(true);
    elapse(m, 5);
    ASSERT_TRUE(parked(m));

    int reports = 0;
    service->duringEnumConnections = [&] {
        if (reports++ == 0)
            service->announceChange();
    };
    service->announceChange(); // something that changes nothing the poll sees
    log.clear();
    EXPECT_EQ(elapse(m, 1), 1);
    EXPECT_EQ(log, Log{"same"});
    EXPECT_FALSE(parked(m));
    service->connections.clear(); // what the report during the poll was about
    elapse(m, 5);
    EXPECT_EQ(log, (Log{"same", "changed", "same"}));
    EXPECT_FALSE(m.IsConnected());
    EXPECT_TRUE(parked(m));
}

// A handler that opens a message box runs the event loop, where a change or
// a new language can be reported after the poll but before the parking.
TEST_F(ParkingTest, ChangeReportedDuringAHandlerIsNotLost) {
    service->reportsChanges = true;
    service->connections = {conn("Office", RASCS_Connected)};
    TZorvRasConnect m(&form);
    m.setLanguage(english);
    std::vector<bool> changes;
    int quiet = 0;
    m.OnStatusChange = [&](TZorvRasConnect*, bool changed) {
        changes.push_back(changed);
        if (changed)
            return;
        if (++quiet == 1) {
            service->connections.clear();
            service->announceChange();
        } else if (quiet == 2) {
            m.setLanguage(croatian);
        }
    };
    m.setDoTimer(true);
    elapse(m, 20);
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_EQ(m.Status(), "Nismo spojeni");
    EXPECT_TRUE(parked(m));
}

TEST_F(ParkingTest, AGoneMonitorHearsNoMoreReports) {
    service->reportsChanges = true;
    {
        TZorvRasConnect m(&form);
        EXPECT_THROW(TZorvRasConnect second(&form), RasError);
        m.setDoTimer(true);
    }
    service->announceChange(); // would reach freed monitors
    TZorvRasConnect again(&form);
    again.setDoTimer(true);
    elapse(again, 5);
    EXPECT_TRUE(parked(again));
}

// A resumed timer keeps the phase of its ticks: the change is polled when
// plain polling would have polled next, not a whole period later.
TEST_F(ParkingTest, ResumesAtTheNextTickOfItsPhase) {
    service->reportsChanges = true;
    TZorvRasConnect m(&form);
    m.setPollInterval(60000); // no tick of its own during the test
    // A coarse timer may move its timeout by up to 5 %, which would hide the phase.
    m.pollTimer()->setTimerType(Qt::PreciseTimer);
    m.setDoTimer(true);
    m.TimerTick(m.pollTimer());
    m.TimerTick(m.pollTimer());
    ASSERT_TRUE(parked(m));
    QTest::qWait(50);
    service->announceChange();
    ASSERT_TRUE(m.pollTimer()->isActive());
    EXPECT_LE(m.pollTimer()->remainingTime(), 60000 - 50);
    m.TimerTick(m.pollTimer());
    EXPECT_EQ(m.pollTimer()->interval(), 60000) << "then whole periods again";
}
