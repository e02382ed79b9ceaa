// The Remote Access service on NetworkManager, against python-dbusmock's
// NetworkManager template on a private bus.

#include "NmMockBus.h"

#include "connection/RasServiceProvider.h"
#include "platform/networkmanager/NetworkManagerRasService.h"
#include "platform/networkmanager/NmCounters.h"
#include "platform/networkmanager/NmMapping.h"
#include "platform/networkmanager/NmRetry.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

using namespace ras;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

template <std::size_t N> std::string text(const char (&field)[N]) {
    return std::string(field, fieldLength(field));
}

std::string repeat(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

template <class F> bool waitFor(F&& condition) {
    return QTest::qWaitFor(condition, 15000);
}

void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// An interface folder as sysfs lays it out.
fs::path makeInterface(const fs::path& root, const std::string& name, const std::string& rx,
                       const std::string& tx = "20\n", const std::string& ifindex = "4\n") {
    fs::path dir = root / name;
    write(dir / "statistics" / "rx_bytes", rx);
    write(dir / "statistics" / "tx_bytes", tx);
    write(dir / "ifindex", ifindex);
    return dir;
}

} // namespace

class NetworkManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!NmMockBus::available())
            GTEST_SKIP() << "/usr/bin/python3 -m dbusmock is not available";
        ASSERT_TRUE(mock.startBus(128)); // a system bus's limit of pending replies
    }
    void TearDown() override {
        owned.reset();
        QDBusConnection::disconnectFromBus("nm-test-client");
    }

    void startMock() { ASSERT_TRUE(mock.startMock()); }
    NetworkManagerRasService& nm() { return *static_cast<NetworkManagerRasService*>(service); }
    void createService() {
        track(std::make_shared<NetworkManagerRasService>(mock.connect("nm-test-client")));
    }
    void track(std::shared_ptr<RasService> created) {
        owned = std::move(created);
        service = owned.get();
        service->AddChangeListener([this] {
            ++reports;
            unread = true;
        });
    }

    // The two-call protocol, as the monitor reads the phonebook.
    Strings entries() {
        DWORD size = 0, count = 0;
        if (service->RasEnumEntriesA(nullptr, nullptr, nullptr, &size, &count) == SUCCESS)
            return {};
        std::vector<RASENTRYNAMEA> buffer(size / kEntryNameSize);
        buffer.at(0).dwSize = kEntryNameSize;
        EXPECT_EQ(service->RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, &count), 0u);
        Strings names;
        for (DWORD i = 0; i < count; ++i)
            names.push_back(text(buffer[i].szEntryName));
        return names;
    }

    std::string number(const std::string& entry) {
        DWORD size = 0;
        EXPECT_EQ(service->RasGetEntryPropertiesA(nullptr, entry.c_str(), nullptr, &size, nullptr,
                                                  nullptr),
                  ERROR_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, kEntrySize);
        RASENTRYA record{};
        record.dwSize = kEntrySize;
        EXPECT_EQ(service->RasGetEntryPropertiesA(nullptr, entry.c_str(), &record, &size, nullptr,
                                                  nullptr),
                  SUCCESS);
        return text(record.szLocalPhoneNumber);
    }

    // As the monitor polls: 20 records, then each one's state.
    std::vector<RASCONNA> connections() {
        std::vector<RASCONNA> buffer(20);
        buffer[0].dwSize = kConnSize;
        DWORD size = 20 * kConnSize, count = 0;
        if (service->RasEnumConnectionsA(buffer.data(), &size, &count) != SUCCESS)
            count = 0;
        buffer.resize(count);
        return buffer;
    }
    DWORD state(HRASCONN handle) {
        RASCONNSTATUSA status{};
        status.dwSize = kConnStatusSize;
        status.rasconnstate = 0xDEAD;
        service->RasGetConnectStatusA(handle, &status);
        return status.rasconnstate;
    }
    // "entry|device type|device name|state" per connection.
    Strings described() {
        Strings result;
        for (const RASCONNA& c : connections())
            result.push_back(text(c.szEntryName) + "|" + text(c.szDeviceType) + "|" +
                             text(c.szDeviceName) + "|" + std::to_string(state(c.hrasconn)));
        return result;
    }
    // As a resting monitor waits: it reads the connections again only when the
    // service reports a change, so a change left unreported is never seen.
    bool waitForDescribed(const Strings& expected) {
        return waitFor([&] {
            if (std::exchange(unread, false))
                seen = described();
            return seen == expected;
        });
    }

    NmMockBus mock;
    std::shared_ptr<RasService> owned;
    RasService* service = nullptr;
    int reports = 0;
    bool unread = true;
    Strings seen;
};

TEST_F(NetworkManagerTest, PhonebookListsProfilesAndTheirNumbers) {
    startMock();
    const std::string longName = "ab" + repeat("\xE2\x82\xAC", 86); // 260 bytes of "€"
    mock.addProfile("Office", "cdma", "#777");
    mock.addProfile("Home", "802-3-ethernet");
    mock.addProfile("Office", "gsm", "555-0100");
    mock.addProfile("lo", "loopback");
    mock.addProperty(mock.addProfile("docker0", "bridge"), NmMockBus::kProfileIface, "Flags", 8u);
    mock.addProperty(mock.addProfile("VPN", "vpn"), NmMockBus::kProfileIface, "Flags", 3u);
    mock.addProfile(q(longName), "gsm", q(repeat("9", 200)));
    createService();

    DWORD size = 0, count = 0;
    EXPECT_EQ(service->RasEnumEntriesA(nullptr, nullptr, nullptr, &size, &count), 603u);
    EXPECT_EQ(size, 5 * kEntryNameSize);
    std::vector<RASENTRYNAMEA> buffer(5);
    size = kEntryNameSize;
    buffer[0].dwSize = kEntryNameSize;
    EXPECT_EQ(service->RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, &count), 603u);
    EXPECT_EQ(size, 5 * kEntryNameSize);
    buffer[0].dwSize = 0;
    EXPECT_NE(service->RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, &count), 0u);

    const std::string cut = "ab" + repeat("\xE2\x82\xAC", 84); // no half character
    EXPECT_EQ(entries(), (Strings{"Office", "Home", "Office", "VPN", cut}));
    // Read in the phonebook's order, as the monitor does: equal names each
    // get their own profile's number, index for index.
    Strings numbers;
    for (const std::string& name : entries())
        numbers.push_back(number(name));
    EXPECT_EQ(numbers, (Strings{"#777", "", "555-0100", "", repeat("9", 128)}));
    EXPECT_NE(service->RasGetEntryPropertiesA(nullptr, "Nobody", nullptr, &size, nullptr, nullptr),
              ERROR_BUFFER_TOO_SMALL);

    // Read once: later profiles are not asked for.
    const quint64 calls = nm().busCallCount();
    mock.addProfile("Later", "gsm");
    EXPECT_EQ(entries().size(), 5u);
    EXPECT_EQ(nm().busCallCount(), calls);
}

TEST_F(NetworkManagerTest, ManyProfilesAreAllReadWithinTheBusLimits) {
    startMock();
    Strings expected;
    for (int i = 0; i < 200; ++i) {
        expected.push_back("Profile " + std::to_string(i));
        mock.addProfile(q(expected.back()), "gsm");
    }
    createService();
    EXPECT_EQ(entries(), expected);
}

// A hung daemon holds up the start only until the deadline. It is asked
// again after 1, 2, 4 ... s (here sped up) until it answers; nothing waits on
// a timer once all came.
TEST_F(NetworkManagerTest, HungDaemonHoldsUpTheStartOnlyUntilTheDeadlineAndIsAskedAgain) {
    startMock();
    mock.addProfile("Office", "gsm", "555-0100");
    mock.pauseMock();
    createService();
    nm().setPhonebookTimeout(std::chrono::milliseconds(300));
    nm().setFetchTimeout(std::chrono::milliseconds(300));
    nm().setRetryDelays(std::chrono::milliseconds(50), std::chrono::milliseconds(400));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(connections().empty());
    EXPECT_LT(elapsed.elapsed(), 20000); // D-Bus alone waits 25 s for a reply
    EXPECT_TRUE(nm().retryScheduled());
    // Asked again and again while it hangs, but not in a tight loop. The
    // first call still has the default timeout of 10 s.
    const quint64 calls = nm().busCallCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nm().busCallCount() >= calls + 4; }, 40000));
    mock.resumeMock();
    EXPECT_TRUE(waitFor([&] { return entries() == Strings{"Office"}; }));
    EXPECT_EQ(number("Office"), "555-0100");
    EXPECT_TRUE(waitFor([&] { return !nm().retryScheduled(); }));

    // One connection's properties get no answer.
    const QString dev = mock.addDevice("ppp", "ppp0", 23);
    mock.addActive({dev}, mock.addProfile("Dial", "gsm"), "a", 2);
    mock.pauseMock();
    ASSERT_TRUE(waitFor([&] { return nm().retryScheduled(); }));
    mock.resumeMock();
    EXPECT_TRUE(waitForDescribed({"Dial|ppp|ppp0|8192"}));
    EXPECT_TRUE(waitFor([&] { return !nm().retryScheduled(); }));

    // The daemon restarts and hangs before it answers the list: the old
    // connection is gone with its handle, the one already up is still found.
    const HRASCONN before = connections()[0].hrasconn;
    mock.stopMock();
    EXPECT_TRUE(waitForDescribed({}));
    startMock();
    const QString eth = mock.addDevice("eth", "eth0");
    mock.addActive({eth}, mock.addProfile("Home", "802-3-ethernet"), "b", 2);
    mock.pauseMock();
    ASSERT_TRUE(waitFor([&] { return nm().retryScheduled(); }));
    EXPECT_TRUE(connections().empty());
    EXPECT_EQ(state(before), 0xDEADu);
    mock.resumeMock();
    EXPECT_TRUE(waitForDescribed({"Home|ethernet|eth0|8192"}));
    EXPECT_NE(connections()[0].hrasconn, before);
    EXPECT_EQ(nm().fetchesInFlight(), 0u);
    EXPECT_FALSE(nm().retryScheduled());
}

TEST_F(NetworkManagerTest, ConnectionsCarryNameDeviceKindAndAStableHandle) {
    startMock();
    const QString eth = mock.addDevice("eth", "eth0");
    const QString wlan = mock.addDevice("wlan", "wlan0", 2);
    const QString modem = mock.addDevice("modem", "ttyUSB0", 8);
    const QString wg = mock.addDevice("wg", "wg0", 29);
    createService();
    const QString first =
        mock.addActive({eth}, mock.addProfile("Office", "802-3-ethernet"), "a1", 2);
    mock.addActive({wlan}, mock.addProfile("Cafe", "802-11-wireless"), "a2", 2);
    mock.addActive({modem}, mock.addProfile("Dial", "gsm"), "a3", 2);
    mock.addActive({eth}, mock.addProfile("Work", "vpn"), "a4", 2);
    mock.addActive({wg}, mock.addProfile("Tunnel", "wireguard"), "a5", 2);
    mock.addActive({}, mock.addProfile("Bare", "gsm"), "a6", 2);
    mock.addActive({mock.addDevice("lo", "lo", 32)}, mock.addProfile("lo", "loopback"), "a7", 2);
    const QString external = mock.addProfile("docker0", "bridge");
    mock.addProperty(external, NmMockBus::kProfileIface, "Flags", 8u);
    mock.addActive({eth}, external, "a8", 2);
    const QString veth = mock.addActive({eth}, mock.addProfile("veth", "802-3-ethernet"), "a9", 2);
    mock.addProperty(veth, NmMockBus::kActiveIface, "StateFlags", 0u);
    mock.setProperty(veth, NmMockBus::kActiveIface, "StateFlags", 0x80u);
    EXPECT_TRUE(waitForDescribed({"Office|ethernet|eth0|8192", "Cafe|wifi|wlan0|8192",
                                  "Dial|modem|ttyUSB0|8192", "Work|vpn|eth0|8192",
                                  "Tunnel|vpn|wg0|8192", "Bare|modem||8192"}))
        << testing::PrintToString(described());

    std::vector<RASCONNA> one(1);
    one[0].dwSize = kConnSize;
    DWORD size = kConnSize, count = 0;
    EXPECT_EQ(service->RasEnumConnectionsA(one.data(), &size, &count), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, 6 * kConnSize);

    RASCONNSTATUSA status{};
    status.dwSize = kConnStatusSize;
    const HRASCONN handle = connections()[0].hrasconn;
    ASSERT_EQ(service->RasGetConnectStatusA(connections()[2].hrasconn, &status), SUCCESS);
    EXPECT_EQ(text(status.szDeviceType) + text(status.szDeviceName), "modemttyUSB0");

    // The handle stays through changes; unknown handles leave the record alone.
    mock.setProperty(first, NmMockBus::kActiveIface, "State", 1u);
    EXPECT_TRUE(waitFor([&] { return state(handle) == RASCS_LogonNetwork; }));
    EXPECT_EQ(connections()[0].hrasconn, handle);
    std::memset(&status, 0xAB, sizeof status);
    status.dwSize = kConnStatusSize;
    std::array<unsigned char, sizeof status> before{};
    std::memcpy(before.data(), &status, sizeof status);
    EXPECT_EQ(service->RasGetConnectStatusA(0xFFFF, &status), ERROR_INVALID_HANDLE);
    EXPECT_EQ(std::memcmp(before.data(), static_cast<const void*>(&status), sizeof status), 0);

    // Back at the same path is another connection.
    mock.removeActive(eth, first);
    EXPECT_TRUE(waitFor([&] { return connections().size() == 5; }));
    EXPECT_EQ(service->RasGetConnectStatusA(handle, &status), ERROR_INVALID_HANDLE);
    mock.addActive({eth}, mock.addProfile("Office", "802-3-ethernet"), "a1", 2);
    EXPECT_TRUE(waitFor([&] { return connections().size() == 6; }));
    EXPECT_NE(connections()[5].hrasconn, handle);
}

// The state of a connection from its own and its device's, through either
// form of change signal; following them costs no calls.
TEST_F(NetworkManagerTest, StatesFollowEitherFormOfChangeSignalAndIdleMeansNoCalls) {
    startMock();
    const QString dev = mock.addDevice("ppp", "ppp0", 23);
    createService();
    const QString ac = mock.addActive({dev}, mock.addProfile("Office", "gsm"), "a", 1);
    ASSERT_TRUE(waitForDescribed({"Office|ppp|ppp0|21"}));
    EXPECT_EQ(entries().size(), 1u);
    const quint64 calls = nm().busCallCount();

    struct Row {
        uint active, device;
        DWORD expected;
    };
    // Neighbouring rows differ in the result, so each wait sees its own change.
    const Row rows[] = {
        {1, 40, RASCS_OpenPort},      {1, 50, RASCS_ConnectDevice}, {1, 60, RASCS_Authenticate},
        {1, 70, RASCS_Authenticated}, {1, 80, RASCS_LogonNetwork},  {1, 20, RASCS_OpenPort},
        {1, 90, RASCS_LogonNetwork},  {1, 110, RASCS_Disconnected}, {1, 100, RASCS_LogonNetwork},
        {1, 120, RASCS_Disconnected}, {1, 0, RASCS_OpenPort},       {2, 100, RASCS_Connected},
        {3, 110, RASCS_Disconnected}, {2, 30, RASCS_Connected},     {4, 30, RASCS_Disconnected},
        {0, 100, nm::kNoRowState},
    };
    for (const Row& row : rows) {
        mock.setProperty(dev, NmMockBus::kDeviceIface, "State", row.device);
        mock.setProperty(ac, NmMockBus::kActiveIface, "State", row.active);
        EXPECT_TRUE(waitFor([&] { return state(connections()[0].hrasconn) == row.expected; }))
            << row.active << "/" << row.device;
    }
    for (DWORD known : {0u, 1u, 2u, 3u, 4u, 5u, 14u, 19u, 21u, 8192u, 8193u})
        EXPECT_NE(nm::kNoRowState, known);

    // Each form alone.
    mock.setStandard(ac, NmMockBus::kActiveIface, "State", 2u); // current daemons
    EXPECT_TRUE(waitForDescribed({"Office|ppp|ppp0|8192"}));
    mock.emitSignal(ac, NmMockBus::kActiveIface, "StateChanged", "uu", {1u, 0u}); // older ones
    mock.emitSignal(dev, NmMockBus::kDeviceIface, "StateChanged", "uuu", {50u, 100u, 0u});
    EXPECT_TRUE(waitForDescribed({"Office|ppp|ppp0|2"}));
    mock.emitSignal(dev, NmMockBus::kDeviceIface, "PropertiesChanged", "a{sv}",
                    {QVariantMap{{"State", 60u}, {"Interface", "ttyACM0"}, {"DeviceType", 8u}}});
    EXPECT_TRUE(waitForDescribed({"Office|modem|ttyACM0|5"}));
    mock.emitSignal(ac, NmMockBus::kActiveIface, "PropertiesChanged", "a{sv}",
                    {QVariantMap{{"State", 3u}, {"Id", "Renamed"}}});
    EXPECT_TRUE(waitForDescribed({"Renamed|modem|ttyACM0|8193"}));
    // The values travel in the signals: following them costs no calls, and
    // neither do polls. Nothing changes, so nothing is reported.
    const int quiet = reports;
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 500) {
        described();
        entries();
        number("Office");
        QTest::qWait(5);
    }
    EXPECT_EQ(nm().busCallCount(), calls);
    EXPECT_EQ(reports, quiet);

    mock.setStandard(NmMockBus::kManager, NmMockBus::kManagerIface, "ActiveConnections",
                     NmMockBus::paths({}));
    EXPECT_TRUE(waitForDescribed({}));
    // Without a device an activating connection is opening its port.
    mock.addActive({}, mock.addProfile("Bare", "gsm"), "b", 1);
    EXPECT_TRUE(waitForDescribed({"Bare|modem||0"}));
}

// Qt can deliver an answer after change signals the daemon sent later. The
// daemon is held while signals are handed to the service directly, so the
// answers that follow are older than the signals, every time.
TEST_F(NetworkManagerTest, AnswersOlderThanASignalDoNotUndoIt) {
    startMock();
    const QString dev = mock.addDevice("ppp", "ppp0", 23);
    const QString ac = mock.addActive({dev}, mock.addProfile("Office", "gsm"), "a", 2);
    mock.setActiveConnections({}); // what the held daemon will answer
    mock.setProperty(dev, NmMockBus::kDeviceIface, "State", 40u);
    const auto deliver = [&](const QString& slot, const QString& path, const QString& iface,
                             const QString& name, const QVariantList& args) {
        auto message = QDBusMessage::createSignal(path, iface, name);
        message.setArguments(args);
        // The change signals' handlers are the snapshot's.
        auto* snapshot = const_cast<nm::Snapshot*>(&nm().snapshot());
        ASSERT_TRUE(QMetaObject::invokeMethod(snapshot, slot.toLatin1().constData(),
                                              Qt::DirectConnection, Q_ARG(QDBusMessage, message)));
    };
    const auto settled = [&] { return waitFor([&] { return nm().fetchesInFlight() == 0; }); };

    mock.pauseMock();
    createService(); // asks for the list: held
    deliver("onManagerOwnPropertiesChanged", NmMockBus::kManager, NmMockBus::kManagerIface,
            "PropertiesChanged", {QVariantMap{{"ActiveConnections", NmMockBus::paths({ac})}}});
    // The connection's properties are asked for: held too. It falls back meanwhile.
    deliver("onActiveStateChanged", ac, NmMockBus::kActiveIface, "StateChanged", {1u, 0u});
    mock.resumeMock();
    ASSERT_TRUE(settled());
    EXPECT_EQ(described(), Strings{"Office|ppp|ppp0|" + std::to_string(RASCS_OpenPort)})
        << "the empty list and the activated state were older than the signals";

    // The same for a device asked for again.
    mock.pauseMock();
    deliver("onPropertiesChanged", dev, "org.freedesktop.DBus.Properties", "PropertiesChanged",
            {NmMockBus::kDeviceIface, QVariantMap{}, QStringList{"State"}});
    deliver("onDeviceStateChanged", dev, NmMockBus::kDeviceIface, "StateChanged", {70u, 40u, 0u});
    mock.resumeMock();
    ASSERT_TRUE(settled());
    EXPECT_EQ(described(), Strings{"Office|ppp|ppp0|" + std::to_string(RASCS_Authenticated)});
}

// Leaving and coming back: see HungDaemonHoldsUpTheStartOnlyUntilTheDeadlineAndIsAskedAgain.
TEST_F(NetworkManagerTest, PlatformServiceAwaitsTheDaemonWithoutAskingAgain) {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", mock.address().toUtf8()); // read at the first use
    track(createPlatformRasService());
    ASSERT_NE(dynamic_cast<NetworkManagerRasService*>(service), nullptr);
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(connections().empty());
    // No daemon: nothing is asked again, its arrival is awaited.
    ASSERT_TRUE(waitFor([&] { return nm().fetchesInFlight() == 0; }));
    EXPECT_FALSE(nm().retryScheduled());

    startMock();
    const QString dev = mock.addDevice("eth", "eth0");
    mock.addActive({dev}, mock.addProfile("Office", "gsm"), "a", 2);
    EXPECT_TRUE(waitForDescribed({"Office|ethernet|eth0|8192"}));
}

TEST_F(NetworkManagerTest, BadRepliesAreSkippedOrCut) {
    startMock();
    const QString huge = q(repeat("n", 10000));
    mock.addProfile("Good", "gsm", "123");
    mock.addProfile(NmSettings{{"connection", {{"id", 7u}, {"type", "gsm"}}}});
    mock.addProfile(huge, "gsm");
    const QString garbage = mock.addProfile("Garbage", "gsm");
    mock.addMethod(garbage, NmMockBus::kProfileIface, "GetSettings", "s", "ret = 'x'");
    mock.addProfile("BadNumber", "gsm", 5u);
    mock.addProperty(mock.addProfile("TextFlags", "gsm"), NmMockBus::kProfileIface, "Flags", "8");
    // 12,000 listed profiles: the six above again and again.
    mock.addMethod(NmMockBus::kSettings, "org.freedesktop.NetworkManager.Settings",
                   "ListConnections", "ao",
                   "ret = list(self.Get('org.freedesktop.NetworkManager.Settings', "
                   "'Connections')) * 2000 + ['/org/freedesktop/NetworkManager/Nowhere']");
    createService();

    const Strings names = entries();
    const Strings cycle{"Good", repeat("n", 256), "BadNumber", "TextFlags"};
    ASSERT_EQ(names.size(), 4u * 2000u);
    EXPECT_EQ(Strings(names.begin(), names.begin() + 4), cycle);
    EXPECT_EQ(Strings(names.end() - 4, names.end()), cycle);
    EXPECT_EQ(number("Good"), "123");
    EXPECT_EQ(number("BadNumber"), "");

    // An active connection and a device read with wrong types and huge texts.
    const QString dev = mock.addDevice("eth", huge);
    const QString ac = mock.addActive({dev}, mock.addProfile("Odd", "gsm"), "odd", 2);
    ASSERT_TRUE(waitFor([&] { return connections().size() == 1; }));
    mock.setActiveConnections({});
    ASSERT_TRUE(waitForDescribed({}));
    mock.setStandard(dev, NmMockBus::kDeviceIface, "DeviceType", "ethernet");
    for (const auto& [name, value] : std::vector<std::pair<QString, QVariant>>{
             {"Id", huge}, {"State", "up"}, {"Type", 5u}, {"Vpn", "yes"}})
        mock.setStandard(ac, NmMockBus::kActiveIface, name, value);
    mock.setActiveConnections({ac, "/", "/org/freedesktop/NetworkManager/Nowhere"});
    EXPECT_TRUE(waitForDescribed({repeat("n", 256) + "|unknown|" + repeat("n", 128) + "|" +
                                  std::to_string(nm::kNoRowState)}))
        << testing::PrintToString(described());

    // Wrong values later change nothing; right ones still count.
    mock.setProperty(ac, NmMockBus::kActiveIface, "State", "connected");
    mock.setProperty(ac, NmMockBus::kActiveIface, "Devices", "none");
    mock.setProperty(NmMockBus::kManager, NmMockBus::kManagerIface, "ActiveConnections", 42u);
    mock.setProperty(ac, NmMockBus::kActiveIface, "State", 2u);
    EXPECT_TRUE(waitForDescribed({repeat("n", 256) + "|unknown|" + repeat("n", 128) + "|8192"}));
    // A negative number must not wrap into some other state; the rename marks it read.
    mock.setProperty(ac, NmMockBus::kActiveIface, "State", qint32(-2));
    mock.setProperty(ac, NmMockBus::kActiveIface, "Id", "Renamed");
    EXPECT_TRUE(waitForDescribed({"Renamed|unknown|" + repeat("n", 128) + "|8192"}));
}

TEST_F(NetworkManagerTest, ByteCountersAreThoseOfEachConnectionsOwnInterface) {
    QTemporaryDir sys;
    ASSERT_TRUE(sys.isValid());
    const fs::path root = sys.path().toStdString();
    makeInterface(root, "eth0", "18446744073709551615\n", "2000\n", "2\n");
    makeInterface(root, "wwan0", "30\n", "40\n", "5\n");
    makeInterface(root, "ttyUSB0", "999\n", "999\n",
                  "9\n"); // the modem's own name: never its traffic
    makeInterface(root, "ppp0", "7\n", "8\n", "6\n");

    startMock();
    const QString eth = mock.addDevice("eth", "eth0");
    const QString modem = mock.addDevice("modem", "ttyUSB0", 8);
    mock.setProperty(modem, NmMockBus::kDeviceIface, "IpInterface", "wwan0");
    createService();
    nm().setCountersRoot(root.string());
    mock.addActive({eth}, mock.addProfile("Office", "802-3-ethernet"), "a1", 2);
    mock.addActive({modem}, mock.addProfile("Dial", "gsm"), "a2", 2);
    mock.addActive({eth}, mock.addProfile("Work", "vpn"), "a3", 2);
    mock.addActive({}, mock.addProfile("Bare", "gsm"), "a4", 2);
    ASSERT_TRUE(waitFor([&] { return connections().size() == 4; }));

    auto bytesOf = [&](std::size_t i) {
        ConnectionBytes b;
        const DWORD result = service->GetConnectionBytes(connections().at(i).hrasconn, &b);
        return result == SUCCESS ? b.source + " " + std::to_string(b.received) + "/" +
                                       std::to_string(b.sent) + " #" + std::to_string(b.instance)
                                 : "error " + std::to_string(result);
    };
    EXPECT_EQ(bytesOf(0), "eth0 18446744073709551615/2000 #2");
    EXPECT_EQ(bytesOf(1), "wwan0 30/40 #5") << "the IP interface, not the modem's port";
    EXPECT_EQ(bytesOf(2), "error 50") << "a VPN plug-in's device is not its own";
    EXPECT_EQ(bytesOf(3), "error 50");
    ConnectionBytes b;
    EXPECT_EQ(service->GetConnectionBytes(0xFFFF, &b), ERROR_INVALID_HANDLE);

    // A redial on the same device brings another IP interface: followed.
    mock.setProperty(modem, NmMockBus::kDeviceIface, "IpInterface", "ppp0");
    EXPECT_TRUE(waitFor([&] { return bytesOf(1) == "ppp0 7/8 #6"; })) << bytesOf(1);
    // An interface whose counters are gone is no counters, not an error to show.
    fs::remove_all(root / "ppp0");
    EXPECT_EQ(bytesOf(1), "error 50");
}

TEST(NmCounters, ReadsStrictlyAndAnythingOddIsNoCounters) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path root = tmp.path().toStdString();
    const std::string r = root.string();

    // Good counters, up to 2^64 - 1: ByteCountersAreThoseOfEachConnectionsOwnInterface.
    ras::ConnectionBytes b;

    struct Odd {
        std::string name;
        std::function<void(const fs::path& dir)> spoil; // dir holds good counters first
    };
    std::vector<Odd> odd = {
        {"missing", [](const fs::path& d) { fs::remove(d / "statistics" / "tx_bytes"); }},
        {"a link",
         [](const fs::path& d) {
             write(d / "elsewhere", "5\n");
             fs::remove(d / "statistics" / "rx_bytes");
             fs::create_symlink(d / "elsewhere", d / "statistics" / "rx_bytes");
         }},
        {"a FIFO",
         [](const fs::path& d) {
             fs::remove(d / "statistics" / "tx_bytes");
             ASSERT_EQ(::mkfifo((d / "statistics" / "tx_bytes").c_str(), 0600), 0);
         }},
        {"a folder",
         [](const fs::path& d) {
             fs::remove(d / "ifindex");
             fs::create_directory(d / "ifindex");
         }},
    };
    if (::geteuid() != 0) // root reads anything
        odd.push_back({"unreadable", [](const fs::path& d) {
                           fs::permissions(d / "statistics" / "rx_bytes", fs::perms::none);
                       }});
    // Empty, a line break alone, not a number, negative, a trailing blank,
    // 2^64, 100 digits.
    for (const std::string& content :
         {std::string(), std::string("\n"), std::string("12a\n"), std::string("-5\n"),
          std::string("5 \n"), std::string("18446744073709551616\n"), std::string(100, '9')})
        odd.push_back({"rx_bytes " + content, [content](const fs::path& d) {
                           write(d / "statistics" / "rx_bytes", content);
                       }});
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.name);
        const fs::path dir = makeInterface(root, "eth1", "10\n");
        o.spoil(dir);
        ras::ConnectionBytes untouched;
        untouched.received = 77;
        EXPECT_FALSE(ras::nm::readInterfaceBytes(r, "eth1", untouched));
        EXPECT_EQ(untouched.received, 77u);
        fs::remove_all(dir);
    }

    makeInterface(root, "x", "1\n");
    for (const char* name : {"", ".", "..", "../x", "x/", "sixteen-chars-xx"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ras::nm::readInterfaceBytes(r, name, b));
    }
    EXPECT_FALSE(ras::nm::readInterfaceBytes(r + "/nowhere", "x", b));
}

// The back-off doubles up to its bound and starts again after a reset.
TEST(NmRetry, DelayDoublesUpToTheBound) {
    using std::chrono::milliseconds;
    int tries = 0;
    ras::nm::Retry retry([&] { ++tries; });
    retry.setDelays(milliseconds(1), milliseconds(4));
    for (const int next : {2, 4, 4}) {
        retry.schedule();
        retry.schedule(); // one try at a time
        ASSERT_TRUE(QTest::qWaitFor([&] { return !retry.scheduled(); }, 5000));
        EXPECT_EQ(retry.nextDelay(), milliseconds(next));
    }
    EXPECT_EQ(tries, 3);
    retry.reset();
    EXPECT_EQ(retry.nextDelay(), milliseconds(1));
}
