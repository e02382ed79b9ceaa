#pragma once

#include "accounting/Clock.h"
#include "accounting/unitUtils.h"
#include "connection/Ras.h"
#include "connection/RasServiceProvider.h"
#include "connection/ZorvRasConnect.h"
#include "platform/fake/FakeRasService.h"
#include "ui/app/AppErrors.h"
#include "ui/tray/unitTrayAccess.h"
#include "ui/unitMain.h"
#include "ui/unitOvertimeWarning.h"
#include "ui/unitStartup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `bytes` as the whole file, making its folder first.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The widgets that Tab visits, in order, starting after `from`.
inline std::vector<const QWidget*> tabChain(const QWidget* window, const QWidget* from,
                                            std::size_t n) {
    std::vector<const QWidget*> chain;
    const QWidget* at = from;
    while (chain.size() < n) {
        at = at->nextInFocusChain();
        if (at->focusPolicy() & Qt::TabFocus && at->isVisibleTo(window))
            chain.push_back(at);
    }
    return chain;
}

// A main window over the scripted service, with its ledger in a fresh folder
// and every modal box answered by the test.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        service = std::make_shared<ras::FakeRasService>();
        ras::setRasService(service);
        ras::setLibraryLoader(
            std::make_shared<ras::FakeLibraryLoader>(ras::FakeLibraryLoader::withRasapi32()));
        setMessageBoxHandler([this](const MessageBoxRequest& r) { boxes.push_back(r); });
        setProgramEnd([this] { ++programEnds; });
    }

    void TearDown() override {
        closeDialogs();
        window.reset();
        ReleaseDataIni();
        setMessageBoxHandler({});
        setProgramEnd({});
        setDataFileSystem(nullptr);
        setAppClock(nullptr);
        setNotificationAreaProbe({});
        ras::setLibraryLoader(nullptr);
        ras::setRasService(nullptr);
    }

    // Creates the window as the program does, after the phonebook is scripted.
    TfrmMain& create(std::vector<ras::FakeRasService::Entry> entries = {{"Office", "555-0100"},
                                                                        {"Home", "555-0199"}}) {
        service->entries = std::move(entries);
        window = std::make_unique<TfrmMain>();
        if (textControls)
            window->CreateTextControls();
        window->FormCreate();
        window->ZorvRasConnect->setDoTimer(false); // the tests poll by hand
        window->tmrCount->stop();
        window->tmrVerifyFirstofMonth->stop();
        return *window;
    }
    // No window, no ledger: the next create() starts from nothing.
    void discard() {
        window.reset();
        ReleaseDataIni();
        QFile::remove(DataFileName());
    }

    // As when the window is shown; off, as the program starts.
    bool textControls = true;

    IniFile& ini() { return *DataIni(); }
    std::string value(const std::string& section, const std::string& key) {
        return ini().LoadText(section, key, "<missing>");
    }
    void select(int index) {
        window->cboDialups->setCurrentIndex(index);
        window->cboDialupsClick();
    }
    std::shared_ptr<FixedClock> today(int year, int month, int day) {
        auto clock = std::make_shared<FixedClock>(QDate(year, month, day));
        setAppClock(clock);
        return clock;
    }
    void connect(const std::string& entry, ras::DWORD state = ras::RASCS_Connected,
                 std::optional<ras::ConnectionBytes> bytes = {}) {
        ras::FakeRasService::Connection c;
        c.entryName = entry;
        c.deviceType = "modem";
        c.deviceName = "ttyACM0";
        c.state = state;
        c.bytes = std::move(bytes);
        service->connections = {c};
        window->ZorvRasConnect->TimerTick(nullptr);
    }
    void disconnect() {
        service->connections.clear();
        window->ZorvRasConnect->TimerTick(nullptr);
    }

    template <class T> std::vector<T*> openDialogs() {
        std::vector<T*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<T*>(w); d && d->isVisible())
                found.push_back(d);
        return found;
    }
    // The one open dialog of its kind, or nullptr.
    template <class T> T* theOnly() {
        const auto found = openDialogs<T>();
        return found.size() == 1 ? found[0] : nullptr;
    }
    void closeDialogs() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window.get() && w->testAttribute(Qt::WA_DeleteOnClose))
                delete w;
    }

    QTemporaryDir m_home;
    std::shared_ptr<ras::FakeRasService> service;
    std::unique_ptr<TfrmMain> window;
    std::vector<MessageBoxRequest> boxes;
    int programEnds = 0; // how often the program was told to end
};
