#include "connection/Ras.h"
#include "connection/RasServiceProvider.h"
#include "connection/ZorvRasConnect.h"
#include "platform/fake/FakeRasService.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace ras;

namespace {
// An owner that counts as a form: the core library has no widgets, so the
// tests mark form objects with a property.
bool testFormTest(const QObject* o) {
    return o && o->property("form").toBool();
}

// The text of the RasError that f raises.
template <class F> std::string rasErrorOf(F f) {
    try {
        f();
    } catch (const RasError& e) {
        return e.what();
    }
    return "<no error>";
}

DWORD callEntryProperties() {
    DWORD size = 0, devSize = 0;
    return RasGetEntryProperties(nullptr, "x", nullptr, &size, nullptr, &devSize);
}

using Log = std::vector<std::string>;

// The events of a monitor: "<group> <status>" on entering a group, then
// "changed" or "same".
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

// What the monitor shows after a poll.
std::string shown(const TZorvRasConnect& m) {
    return m.Status().toStdString() + " | " + (m.IsConnected() ? "up " : "down ") +
           m.ConnectedEntry().toStdString() + " #" + m.ConnectedNumber().toStdString() + " g" +
           std::to_string(m.ConnStatus()) + "x" + std::to_string(m.ConnStatusCount());
}

// One poll of a script: the connections listed, the events it raises and what
// the monitor shows after it, with a language set before it.
struct Poll {
    std::vector<FakeRasService::Connection> connections;
    Log log;
    std::string shown;
    std::optional<TLanguage> language = {};
};
} // namespace

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TZorvRasConnect::setFormTest(&testFormTest);
        form.setProperty("form", true);
        service = std::make_shared<FakeRasService>();
        setRasService(service);
        loader = std::make_shared<FakeLibraryLoader>(FakeLibraryLoader::withRasapi32());
        setLibraryLoader(loader);
    }
    void TearDown() override {
        setLibraryLoader(nullptr);
        setRasService(nullptr);
    }

    FakeRasService::Connection conn(const std::string& entry, DWORD state, HRASCONN handle = 1) {
        FakeRasService::Connection c;
        c.handle = handle;
        c.entryName = entry;
        c.deviceType = "modem";
        c.deviceName = "ttyS0";
        c.state = state;
        return c;
    }

    // A script of polls: no connection, one listed as disconnected, a state
    // without a row (it keeps the flags and leaves an empty state text), the
    // connect sequence with one event per group, the connection vanishing,
    // several connections, where the last one listed wins, numbers found by
    // exact names, more than 20 connections, and the texts of both languages.
    // The numbers shown are the entries of PollsRaiseOneEventPerGroupAndShowTheLastConnection.
    std::vector<Poll> script() {
        auto nameless = conn("B", RASCS_Projected, 2);
        nameless.deviceName = "";
        auto silent = conn("B", RASCS_Connected, 2);
        silent.writeState = false; // the query writes nothing: state 0, not A's
        auto failing = conn("B", RASCS_Connected, 2);
        failing.statusResult = ERROR_INVALID_HANDLE; // a failed query has no state
        auto typeless = conn("Office", RASCS_Connected);
        typeless.deviceType = "";
        std::vector<FakeRasService::Connection> many;
        for (HRASCONN h = 1; h <= 21; ++h)
            many.push_back(conn("E" + std::to_string(h), RASCS_Connected, h));
        const auto office = [&](DWORD state) { return std::vector{conn("Office", state)}; };
        const std::string gone = "Disconnected or failed connection |";
        const std::string auth =
            "authenticating modem ttyS0 The authentication process is starting";
        return {
            {{}, {"changed"}, "Nismo spojeni | down  # g3x0"},
            {office(RASCS_Disconnected),
             {"disconnected modem ttyS0 Disconnected or failed connection", "changed"},
             "modem ttyS0 Disconnected or failed connection | down Office #555 g3x1",
             english},
            {{}, {"changed"}, gone + " down  # g3x0"},
            {office(RASCS_Projected), {"changed"}, "modem ttyS0  | down Office #555 g3x0"},
            {office(RASCS_OpenPort),
             {"connecting modem ttyS0 Opening comm port", "changed"},
             "modem ttyS0 Opening comm port | down Office #555 g0x1"},
            {office(RASCS_PortOpened),
             {"changed"},
             "modem ttyS0 Comm port opened | down Office #555 g0x2"},
            {office(RASCS_Authenticate),
             {auth, "changed"},
             "modem ttyS0 The authentication process is starting | down Office #555 g1x1"},
            {office(RASCS_Connected),
             {"connected modem ttyS0 Connected succesfully", "changed"},
             "modem ttyS0 Connected succesfully | up Office #555 g2x1"},
            {office(RASCS_Connected),
             {"same"},
             "modem ttyS0 Connected succesfully | up Office #555 g2x2"},
            {office(RASCS_Interactive), {"changed"}, "modem ttyS0  | up Office #555 g2x2"},
            {{}, {"changed"}, gone + " down  # g3x0"},
            // State text and device from A (B has none), the entry from B.
            {{conn("A", RASCS_Connected, 1), nameless},
             {"connected modem ttyS0 Connected succesfully", "changed"},
             "modem ttyS0 Connected succesfully | up B # g2x1"},
            // Two connections in one group: the count reaches 2 and no event fires.
            {{conn("A", RASCS_OpenPort, 1), conn("B", RASCS_PortOpened, 2)},
             {"changed"},
             "modem ttyS0 Comm port opened | up B # g0x2"},
            // Two groups: the count restarts every poll and the later group fires every poll.
            {{conn("A", RASCS_OpenPort, 1), conn("B", RASCS_Authenticate, 2)},
             {auth, "changed"},
             "modem ttyS0 The authentication process is starting | up B # g1x1"},
            {{conn("A", RASCS_OpenPort, 1), conn("B", RASCS_Authenticate, 2)},
             {auth, "same"},
             "modem ttyS0 The authentication process is starting | up B # g1x1"},
            {{conn("A", RASCS_Connected, 1), conn("B", RASCS_Disconnected, 2)},
             {"disconnected modem ttyS0 Disconnected or failed connection", "changed"},
             "modem ttyS0 Disconnected or failed connection | down B # g3x1"},
            // Names match exactly; of two entries of one name the last one's number counts.
            {{conn("Dup", RASCS_Connected)},
             {"connected modem ttyS0 Connected succesfully", "changed"},
             "modem ttyS0 Connected succesfully | up Dup #333 g2x1"},
            {{conn("dup", RASCS_Connected)},
             {"same"},
             "modem ttyS0 Connected succesfully | up dup # g2x2"},
            // Twenty connections are all read; more take the no-connection path.
            {{many.begin(), many.end() - 1},
             {"same"},
             "modem ttyS0 Connected succesfully | up E20 # g2x22"},
            {many, {"changed"}, gone + " down  # g3x0"},
            // One connection's state is never reported for another.
            {{conn("A", RASCS_Connected, 1), silent},
             {"connecting modem ttyS0 Opening comm port", "changed"},
             "modem ttyS0 Opening comm port | up B # g0x1"},
            {{conn("A", RASCS_Disconnected, 1), failing},
             {"disconnected modem ttyS0 Disconnected or failed connection", "changed"},
             "modem ttyS0 Disconnected or failed connection | down B # g3x1"},
            // No device type leaves its blank; a new language shows at the next poll.
            {{typeless},
             {"connected  ttyS0 Spojeni smo", "changed"},
             " ttyS0 Spojeni smo | up Office #555 g2x1",
             croatian},
            {{typeless},
             {"changed"},
             " ttyS0 Connected succesfully | up Office #555 g2x2",
             english},
            {office(RASCS_ConnectDevice),
             {"connecting modem ttyS0 Spajamo se na mrežu", "changed"},
             "modem ttyS0 Spajamo se na mrežu | up Office #555 g0x1",
             croatian},
        };
    }

    QObject form;
    std::shared_ptr<FakeRasService> service;
    std::shared_ptr<FakeLibraryLoader> loader;
};

using LoaderTest = MonitorTest;

TEST_F(MonitorTest, OwnerMustBeAFormWithoutAnotherMonitor) {
    EXPECT_EQ(rasErrorOf([] { TZorvRasConnect m(nullptr); }),
              "Please drop the component onto a Form!");
    QObject notAForm;
    EXPECT_THROW(TZorvRasConnect m(&notAForm), RasError);
    EXPECT_TRUE(notAForm.children().isEmpty()) << "a failed monitor must leave its owner";

    service->entries = {{"Office", "555"}};
    auto* first = new TZorvRasConnect(&form);
    EXPECT_EQ(rasErrorOf([&] { TZorvRasConnect second(&form); }),
              "There is TZorvRasConnect component already on this form");
    EXPECT_EQ(form.children().size(), 1);
    service->connections = {conn("Office", RASCS_Connected)};
    first->TimerTick(nullptr);
    EXPECT_TRUE(first->IsConnected());
    EXPECT_EQ(first->ConnectedNumber(), "555");

    // A derived monitor on another form does not count as another one.
    struct Derived : TZorvRasConnect {
        using TZorvRasConnect::TZorvRasConnect;
    };
    QObject other;
    other.setProperty("form", true);
    new Derived(&other);
    EXPECT_NO_THROW(new TZorvRasConnect(&other));
}

// It starts idle; the timer drives the polls, switching it on again keeps its
// rhythm, and while it is off nothing is polled.
TEST_F(MonitorTest, TimerDrivesThePollsAndASecondSwitchOnKeepsTheRhythm) {
    TZorvRasConnect m(&form);
    EXPECT_FALSE(m.IsConnected());
    EXPECT_FALSE(m.pollTimer()->isActive());
    EXPECT_EQ(m.pollTimer()->interval(), 500);
    EXPECT_EQ(service->enumConnectionsCalls, 0);
    service->connections = {conn("Office", RASCS_Connected)};
    m.setDoTimer(true);
    QTimer* timer = m.pollTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer->remainingTime() <= 350; }, 5000));
    m.setDoTimer(true);
    EXPECT_TRUE(timer->isActive());
    EXPECT_LE(timer->remainingTime(), 350) << "switching on again restarted the interval";
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.IsConnected(); }, 5000)) << "no tick polled";
    EXPECT_EQ(m.ConnectedEntry(), "Office");
    m.setDoTimer(false);
    EXPECT_FALSE(timer->isActive());

    timer->setInterval(1); // many ticks would come in the wait below
    m.setDoTimer(true);
    m.setDoTimer(false);
    service->connections.clear();
    const int polls = service->enumConnectionsCalls;
    QTest::qWait(100);
    EXPECT_EQ(service->enumConnectionsCalls, polls);
    EXPECT_TRUE(m.IsConnected());
}

// The two-call protocol against what the service answers: the sizes of the
// buffers offered, call by call, and the list that results.
TEST_F(MonitorTest, EntryListFollowsTheServicesAnswers) {
    struct Row {
        const char* what;
        int entries;
        std::vector<DWORD> results;
        std::optional<DWORD> neededSize, claimedCount;
        std::vector<DWORD> bufferSizes;
        bool listed;
    };
    const Row rows[] = {
        {"too small, then read", 3, {}, {}, {}, {264, 792}, true},
        {"too small twice", 2, {603, 603}, {}, {}, {264, 528}, false},
        {"failed", 1, {621}, {}, {}, {264}, false},
        // A needed size below one record still gets a whole one.
        {"needs less than a record", 1, {603}, 100, {}, {264, 264}, true},
        // A count beyond the records that fit is cut to them: nothing is read
        // past the buffer.
        {"counts too many", 2, {}, {}, 100000, {264, 528}, true},
    };
    const QStringList names{"One", "Two", "Three"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        service->entries.clear();
        for (int i = 0; i < row.entries; ++i)
            service->entries.push_back({names[i].toStdString(), std::to_string(i)});
        service->enumEntriesResults = row.results;
        service->neededEntriesSize = row.neededSize;
        service->claimedEntryCount = row.claimedCount;
        service->enumEntriesCalls.clear();
        loader->loadCalls.clear();
        TZorvRasConnect m(&form);
        std::vector<DWORD> sizes;
        for (const auto& call : service->enumEntriesCalls) {
            sizes.push_back(call.bufferSize);
            EXPECT_EQ(call.firstDwSize, 264u);
            EXPECT_TRUE(call.bufferZeroed);
        }
        EXPECT_EQ(sizes, row.bufferSizes);
        EXPECT_EQ(m.AvailableEntries(), row.listed ? names.mid(0, row.entries) : QStringList());
        EXPECT_EQ(m.AvailableNumbers().size(), m.AvailableEntries().size());
        if (!row.listed) {
            EXPECT_TRUE(loader->loadCalls.empty()) << "no entries: no library is loaded";
        }
    }
}

// Numbers are read once per entry; a failed record gives an empty number and
// does not stop the program.
TEST_F(MonitorTest, OneUnreadableEntryDoesNotStopTheProgram) {
    service->entries = {{"Broken", "1"}, {"Fine", "2"}, {"Work", "555-0199"}};
    service->entries[0].firstCallResult = SUCCESS; // not 603
    service->entries[2].secondCallResult = 623;
    TZorvRasConnect m(&form);
    EXPECT_EQ(m.AvailableNumbers(), QStringList({"", "2", ""}));
    EXPECT_EQ(service->entryPropertiesCalls,
              (std::vector<std::string>{"Broken", "Fine", "Fine", "Work", "Work"}));

    // The routine itself still reports the failure, in the current language.
    EXPECT_EQ(rasErrorOf([&] { m.GetEntryNumber("Broken"); }),
              "Ne mogu dobiti informacije o vezi Broken");
    m.setLanguage(english);
    EXPECT_EQ(rasErrorOf([&] { m.GetEntryNumber("Broken"); }),
              "RasGetEntryProperties failed: Broken");
    // A loader's error passes out as it is.
    ras::setLibraryLoader(std::make_shared<FakeLibraryLoader>());
    EXPECT_EQ(rasErrorOf([&] { m.GetEntryNumber("Fine"); }), "Error opening rasapi32.dll");
}

TEST_F(MonitorTest, PollsRaiseOneEventPerGroupAndShowTheLastConnection) {
    service->entries = {{"Office", "555"}, {"Dup", "111"}, {"Other", "222"}, {"Dup", "333"}};
    TZorvRasConnect m(&form);
    Log log;
    record(m, log);
    const std::vector<Poll> polls = script();
    for (std::size_t i = 0; i < polls.size(); ++i) {
        SCOPED_TRACE("poll " + std::to_string(i));
        if (polls[i].language)
            m.setLanguage(*polls[i].language);
        service->connections = polls[i].connections;
        log.clear();
        m.TimerTick(nullptr);
        EXPECT_EQ(log, polls[i].log);
        EXPECT_EQ(shown(m), polls[i].shown);
    }
}

TEST_F(LoaderTest, Rasapi32UsesTheSuffixedNameAndIsNeverReleased) {
    service->entries = {{"x", "1"}};
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(loader->loadCalls, std::vector<std::string>{"rasapi32.dll"});
    EXPECT_EQ(loader->procCalls,
              (std::vector<std::string>{"RasGetEntryPropertiesA", "RasGetEntryPropertiesA"}));
    EXPECT_TRUE(rasLoaderState().RasLoaded);
    EXPECT_FALSE(rasLoaderState().RasFromRnaph);
    finalizeRas();
    EXPECT_TRUE(loader->freeCalls.empty());
}

TEST_F(LoaderTest, RnaphUsesThePlainNameAndIsReleasedAtTheEnd) {
    loader->libraries = {{"rasapi32.dll", {}}, {"rnaph.dll", {"RasGetEntryProperties"}}};
    service->entries = {{"x", "1"}};
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(loader->loadCalls, (std::vector<std::string>{"rasapi32.dll", "rnaph.dll"}));
    EXPECT_EQ(loader->procCalls,
              (std::vector<std::string>{"RasGetEntryPropertiesA", "RasGetEntryProperties",
                                        "RasGetEntryProperties"}));
    EXPECT_TRUE(rasLoaderState().RasFromRnaph);
    finalizeRas();
    EXPECT_EQ(loader->freeCalls, std::vector<std::string>{"rnaph.dll"});
}

TEST_F(LoaderTest, FailuresCarryTheirTextsAndTheNextCallStartsOver) {
    loader->libraries.clear();
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }), "Error opening rasapi32.dll");

    loader->libraries = {{"rasapi32.dll", {}}};
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }), "Error opening rnaph.dll");

    loader->libraries = {{"rasapi32.dll", {}}, {"rnaph.dll", {}}};
    loader->loadCalls.clear();
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }),
              "Function RasGetEntryProperties not found!");
    EXPECT_FALSE(rasLoaderState().RasLoaded);
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }),
              "Function RasGetEntryProperties not found!");
    EXPECT_EQ(loader->loadCalls.size(), 4u) << "both libraries are tried again";

    // Once loaded, a routine missing later gives the plain name in the text.
    loader->libraries = {{"rasapi32.dll", {"RasGetEntryPropertiesA"}}};
    EXPECT_NO_THROW(GetRasFunction("RasGetEntryProperties"));
    EXPECT_EQ(rasErrorOf([] { GetRasFunction("RasDial"); }), "Function RasDial not found!");
    EXPECT_EQ(loader->procCalls.back(), "RasDialA");
}

TEST_F(LoaderTest, BuiltinLoaderServesTheInstalledService) {
    ras::setLibraryLoader(createPlatformLibraryLoader());
    service->entries = {{"Office", "555-0100"}};
    TZorvRasConnect m(&form);
    EXPECT_EQ(m.AvailableNumbers(), QStringList({"555-0100"}));
    EXPECT_THROW(GetRasFunction("RasDial"), RasError);
}

// With a service that reports its changes, the monitor stops polling while
// nothing can change, and must still raise what it raises when it always polls.
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
    std::vector<Log> play(bool reports, const std::vector<Poll>& steps, int ticks = 6) {
        service->reportsChanges = reports;
        service->entries = {{"Office", "555"}};
        service->connections.clear();
        TZorvRasConnect m(&form);
        EXPECT_EQ(m.ParksWhenIdle(), reports);
        m.setLanguage(english);
        Log log;
        record(m, log);
        m.setDoTimer(true);
        std::vector<Log> logs;
        for (const Poll& step : steps) {
            service->connections = step.connections;
            // A new language alone must wake a resting monitor.
            if (step.language && *step.language != m.Language())
                m.setLanguage(*step.language);
            else if (reports)
                service->announceChange();
            log.clear();
            elapse(m, ticks);
            logs.push_back(log);
        }
        return logs;
    }
};

// Every poll of the script, then five more ticks.
TEST_F(ParkingTest, EveryTransitionRaisesWhatPlainPollingRaises) {
    const std::vector<Log> plain = play(false, script());
    const std::vector<Log> parking = play(true, script());
    ASSERT_EQ(plain.size(), parking.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        // The same events in the same order; parked, only OnStatusChange(false) is missing.
        ASSERT_LE(parking[i].size(), plain[i].size());
        EXPECT_FALSE(parking[i].empty()) << "the change was not polled";
        const Log head(plain[i].begin(),
                       plain[i].begin() + static_cast<std::ptrdiff_t>(parking[i].size()));
        EXPECT_EQ(parking[i], head);
        for (std::size_t k = parking[i].size(); k < plain[i].size(); ++k)
            EXPECT_EQ(plain[i][k], "same");
    }
    // Connecting and authenticating are polled through like before; so are
    // pairs in two groups, even at rest, which enter a group at every poll.
    for (std::size_t i : {4, 5, 6, 13, 14, 15})
        EXPECT_EQ(parking[i], plain[i]) << "step " << i;
    // At rest the change's poll and one quiet poll, then nothing.
    EXPECT_EQ(parking[10], (Log{"changed", "same"}));
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
