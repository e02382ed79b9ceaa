// The monitor on NetworkManager, against python-dbusmock on a private bus:
// it polls only after the service reports a change, so every change the
// daemon makes must be reported, or the monitor would keep a stale state.

#include "MonitorFixture.h"
#include "NmMockBus.h"

#include "platform/networkmanager/NetworkManagerRasService.h"

#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

using namespace ras;

namespace {

bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 15000);
}

} // namespace

class NetworkManagerParkingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!NmMockBus::available())
            GTEST_SKIP() << "/usr/bin/python3 -m dbusmock is not available";
        ASSERT_TRUE(mock.startBus());
        ASSERT_TRUE(mock.startMock());
        TZorvRasConnect::setFormTest(&testFormTest);
        form.setProperty("form", true);
        setLibraryLoader(std::make_shared<FakeLibraryLoader>(FakeLibraryLoader::withRasapi32()));
    }
    void TearDown() override {
        setLibraryLoader(nullptr);
        setRasService(nullptr);
        QDBusConnection::disconnectFromBus("nm-parking-client");
    }

    NmMockBus mock;
    QObject form;
};

TEST_F(NetworkManagerParkingTest, MonitorRestsBetweenChangesAndMissesNone) {
    QString dev = mock.addDevice("ppp", "ppp0", 23);
    QString office = mock.addProfile("Office", "gsm", "555");
    setRasService(std::make_shared<NetworkManagerRasService>(mock.connect("nm-parking-client")));
    TZorvRasConnect m(&form);
    ASSERT_TRUE(m.ParksWhenIdle());
    m.setLanguage(english);
    std::vector<std::string> groups;
    int polls = 0;
    m.OnConnectionStatus = [&](TZorvRasConnect* s, TCStatus) {
        groups.push_back(s->Status().toStdString());
    };
    m.OnStatusChange = [&](TZorvRasConnect*, bool) { ++polls; };
    m.setPollInterval(10);
    m.setDoTimer(true);
    const auto parked = [&] { return !m.pollTimer()->isActive(); };
    const auto rests = [&] {
        const int before = polls;
        QTest::qWait(300); // 30 intervals
        return parked() && polls == before;
    };
    ASSERT_TRUE(waitFor(parked));
    EXPECT_EQ(m.Status(), "Disconnected or failed connection");
    EXPECT_TRUE(rests());

    // Through the connecting states to connected, then at rest.
    QString ac = mock.addActive({dev}, office, "a", 1);
    mock.setProperty(dev, NmMockBus::kDeviceIface, "State", 40u);
    ASSERT_TRUE(waitFor([&] { return m.Status() == "ppp ppp0 Opening comm port"; }));
    mock.setProperty(dev, NmMockBus::kDeviceIface, "State", 60u);
    ASSERT_TRUE(
        waitFor([&] { return m.Status() == "ppp ppp0 The authentication process is starting"; }));
    mock.setProperty(dev, NmMockBus::kDeviceIface, "State", 100u);
    mock.setProperty(ac, NmMockBus::kActiveIface, "State", 2u);
    ASSERT_TRUE(waitFor([&] { return m.IsConnected() && parked(); }));
    EXPECT_EQ(m.ConnectedEntry(), "Office");
    EXPECT_EQ(m.ConnectedNumber(), "555");
    EXPECT_TRUE(rests());

    // The daemon goes away while the monitor rests, and comes back.
    mock.stopMock();
    ASSERT_TRUE(waitFor([&] { return !m.IsConnected() && parked(); }));
    EXPECT_EQ(m.Status(), "Disconnected or failed connection");
    EXPECT_TRUE(rests());
    ASSERT_TRUE(mock.startMock());
    dev = mock.addDevice("ppp", "ppp0", 23);
    office = mock.addProfile("Office", "gsm", "555");
    mock.setProperty(dev, NmMockBus::kDeviceIface, "State", 100u);
    mock.addActive({dev}, office, "a", 2);
    ASSERT_TRUE(waitFor([&] { return m.IsConnected() && parked(); }));
    EXPECT_TRUE(rests());

    EXPECT_EQ(groups, (std::vector<std::string>{
                          "ppp ppp0 Opening comm port",
                          "ppp ppp0 The authentication process is starting",
                          "ppp ppp0 Connected succesfully",
                          "ppp ppp0 Connected succesfully",
                      }));
}
