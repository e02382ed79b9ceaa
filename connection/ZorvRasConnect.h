#pragma once
// TZorvRasConnect: the non-visual connection monitor. Reads the phonebook once,
// then (while DoTimer is on) polls the Remote Access service every 500 ms and
// reports a status text, a connected flag and the connected entry.

#include "RasApi.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class QTimer;

// The project's failure type: carries the exact message text.
class RasError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TCStatus : std::uint8_t { csConnecting, csAuthenticating, csConnected, csDisconnected };
enum TLanguage : std::uint8_t { english, croatian };

class TZorvRasConnect;
using TConnectionStatusEvent = std::function<void(TZorvRasConnect* Sender, TCStatus status)>;
using TStausChangeEvent = std::function<void(TZorvRasConnect* Sender, bool StatusChanged)>;

class TZorvRasConnect : public QObject {
    Q_OBJECT
public:
    // Fails (RasError) when the owner is not a form, when the owner already owns
    // a monitor, or when the loader cannot find the entry-properties routine.
    // The service defaults to the process-wide one.
    explicit TZorvRasConnect(QObject* owner, std::shared_ptr<ras::RasService> service = {});
    ~TZorvRasConnect() override;

    // Published properties.
    const QStringList& AvailableEntries() const { return m_availableEntries; }
    const QStringList& AvailableNumbers() const { return m_availableNumbers; }
    const QString& ConnectedEntry() const { return m_connectedEntry; }
    const QString& ConnectedNumber() const { return m_connectedNumber; }
    const QString& Status() const { return m_status; }
    bool IsConnected() const { return m_isConnected; }
    TLanguage Language() const { return m_language; }
    void setLanguage(TLanguage value);
    bool DoTimer() const { return m_doTimer; }
    void setDoTimer(bool value);

    TConnectionStatusEvent OnConnectionStatus;
    TStausChangeEvent OnStatusChange;

    // Further state, readable for tests and diagnostics.
    bool StatusChanged() const { return m_statusChanged; }
    TCStatus ConnStatus() const { return m_connStatus; }
    int ConnStatusCount() const { return m_connStatusCount; }
    QTimer* pollTimer() const { return m_timer; }
    // The poll period, 500 ms; tests shorten it.
    int PollInterval() const { return m_pollInterval; }
    void setPollInterval(int ms);
    // Whether the polling timer stops while nothing changes (the service
    // reports changes); otherwise it runs as long as DoTimer is on.
    bool ParksWhenIdle() const { return m_changeListener != 0; }

    // The timer's tick handler; runs one poll, then the events.
    virtual void TimerTick(QObject* Sender);
    void PollConnections();
    // Throws RasError with the loader's texts or the language's failure text.
    QString GetEntryNumber(const QString& EntryName);

    // Whether an object counts as a form (a top-level window). The ui library
    // installs the real test; the core default accepts a parentless widget.
    using FormTest = bool (*)(const QObject*);
    static void setFormTest(FormTest test);

    static const char* statusText(int row, TLanguage language);

protected:
    void ReadEntries();
    void ReadNumbers(const QStringList& Entries);
    QString FindConnectedNumber() const;

private:
    void changeReported();

    std::shared_ptr<ras::RasService> m_service;
    QStringList m_availableEntries;
    QStringList m_availableNumbers;
    QString m_connectedEntry;
    QString m_connectedNumber;
    QString m_status;
    bool m_isConnected = false;
    bool m_statusChanged = false;
    TLanguage m_language = croatian;
    bool m_doTimer = false;
    TCStatus m_connStatus = csDisconnected;
    int m_connStatusCount = 0;
    QTimer* m_timer = nullptr;
    int m_changeListener = 0; // 0: the service cannot report changes
    // Set by a change report or a new language; cleared as a poll starts.
    bool m_changePending = false;
    int m_pollInterval = 500;
    QElapsedTimer m_sinceTick; // the ticks' phase, kept while parked
    // Fixed-size poll buffers, so a poll allocates nothing for the records.
    std::unique_ptr<ras::RASCONNA[]> m_connBuffer;
};
