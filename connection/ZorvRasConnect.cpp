#include "ZorvRasConnect.h"

#include "Ras.h"
#include "RasServiceProvider.h"

#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <typeinfo>
#include <vector>

Q_LOGGING_CATEGORY(lcMonitor, "bv.monitor", QtCriticalMsg)

namespace {

using namespace ras;

constexpr DWORD kMaxConnections = 20;
// A service that asks for more than these is not believed.
constexpr DWORD kMaxEntryBlock = 64 * 1024;
constexpr DWORD kMaxEntryList = 64 * 1024 * 1024;

struct StatusRow {
    DWORD state;
    const char* english;
    const char* croatian;
    TCStatus group;
};

// Row order matters: row 9 is the connected row, row 10 also stands for "no connection".
const StatusRow kStatusTexts[11] = {
    {RASCS_OpenPort, "Opening comm port", "Otvaranje komunikacijskog porta", csConnecting},
    {RASCS_PortOpened, "Comm port opened", "Komunikacijski port je otvoren", csConnecting},
    {RASCS_ConnectDevice, "A device is about to be connected", "Spajamo se na mrežu", csConnecting},
    {RASCS_DeviceConnected, "A device has connected successfully", "Uređaj se uspješno spojio",
     csConnecting},
    {RASCS_AllDevicesConnected, "All devices in the device chain have successfully connected",
     "Svi uređaji su se uspješno spojili", csConnecting},
    {RASCS_Authenticate, "The authentication process is starting", "Počinje provjera podataka",
     csAuthenticating},
    {RASCS_StartAuthentication, "User authentication is being initiated or retried",
     "Počinje provjera podataka", csAuthenticating},
    {RASCS_Authenticated, "The client has successfully completed authentication",
     "Podaci su provjereni", csAuthenticating},
    {RASCS_LogonNetwork, "Client is logging on to the network", "Logiranje na mrežu", csConnecting},
    {RASCS_Connected, "Connected succesfully", "Spojeni smo", csConnected},
    {RASCS_Disconnected, "Disconnected or failed connection", "Nismo spojeni", csDisconnected},
};
constexpr int kConnectedRow = 9;
constexpr int kDisconnectedRow = 10;

int rowOf(DWORD state) {
    for (int i = 0; i < 11; ++i)
        if (kStatusTexts[i].state == state)
            return i;
    return -1;
}

template <std::size_t N> QString fieldText(const char (&field)[N]) {
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(fieldLength(field)));
}

TZorvRasConnect::FormTest g_formTest = [](const QObject* o) {
    return o && o->isWidgetType() && o->parent() == nullptr;
};

} // namespace

const char* TZorvRasConnect::statusText(int row, TLanguage language) {
    if (row < 0 || row > 10)
        return "";
    return language == english ? kStatusTexts[row].english : kStatusTexts[row].croatian;
}

void TZorvRasConnect::setFormTest(FormTest test) {
    if (test)
        g_formTest = test;
}

TZorvRasConnect::TZorvRasConnect(QObject* owner, std::shared_ptr<RasService> service)
    : QObject(owner), m_service(service ? std::move(service) : rasServicePtr()) {
    if (!g_formTest(owner))
        throw RasError("Please drop the component onto a Form!");
    for (QObject* sibling : owner->children()) {
        if (sibling != this && typeid(*sibling) == typeid(TZorvRasConnect))
            throw RasError("There is TZorvRasConnect component already on this form");
    }

    m_connBuffer = std::make_unique<RASCONNA[]>(kMaxConnections);

    ReadEntries();
    m_language = croatian;

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { TimerTick(m_timer); });
    m_timer->setInterval(m_pollInterval);
    m_doTimer = false;
    m_timer->stop();

    ReadNumbers(m_availableEntries);

    // Last, so that a failed construction leaves no listener behind.
    if (m_service->ReportsChanges())
        m_changeListener = m_service->AddChangeListener([this] { changeReported(); });
}

TZorvRasConnect::~TZorvRasConnect() {
    if (m_changeListener)
        m_service->RemoveChangeListener(m_changeListener);
}

void TZorvRasConnect::changeReported() {
    m_changePending = true;
    // A running timer is left alone: restarting it would put off the next poll.
    if (!m_doTimer || m_timer->isActive())
        return;
    // Resume at the next tick of the parked timer, where it would have polled
    // anyway: a change is seen within one period, as with plain polling.
    int wait = m_pollInterval;
    if (m_sinceTick.isValid())
        wait -= int(m_sinceTick.elapsed() % m_pollInterval);
    m_timer->start(wait);
}

void TZorvRasConnect::setPollInterval(int ms) {
    m_pollInterval = ms;
    m_timer->setInterval(ms);
}

void TZorvRasConnect::setLanguage(TLanguage value) {
    if (m_language != value) {
        m_language = value;
        changeReported(); // the status text changes with it
    }
}

void TZorvRasConnect::setDoTimer(bool value) {
    m_doTimer = value;
    if (m_doTimer) {
        m_changePending = true;
        if (!m_timer->isActive())
            m_timer->start(m_pollInterval);
    } else {
        m_timer->stop();
    }
}

void TZorvRasConnect::ReadEntries() {
    std::vector<unsigned char> storage(kEntryNameSize, 0);
    auto records = [&] { return reinterpret_cast<RASENTRYNAMEA*>(storage.data()); };
    records()->dwSize = kEntryNameSize;
    DWORD size = kEntryNameSize;
    DWORD count = 0;

    DWORD result = m_service->RasEnumEntriesA(nullptr, nullptr, records(), &size, &count);
    if (result == ERROR_BUFFER_TOO_SMALL && size <= kMaxEntryList) {
        // Whole records only, so the loop below never reads past the buffer.
        const std::size_t needed = std::max<DWORD>(size, kEntryNameSize);
        storage.assign((needed + kEntryNameSize - 1) / kEntryNameSize * kEntryNameSize, 0);
        records()->dwSize = kEntryNameSize;
        size = static_cast<DWORD>(needed);
        count = 0;
        result = m_service->RasEnumEntriesA(nullptr, nullptr, records(), &size, &count);
    }
    if (result != SUCCESS || count == 0)
        return;
    const DWORD capacity = static_cast<DWORD>(storage.size() / kEntryNameSize);
    if (count > capacity) {
        qCWarning(lcMonitor) << "service reported" << count << "entries in room for" << capacity;
        count = capacity;
    }
    for (DWORD i = 0; i < count; ++i)
        m_availableEntries.append(fieldText(records()[i].szEntryName));
}

void TZorvRasConnect::ReadNumbers(const QStringList& Entries) {
    for (const QString& name : Entries) {
        // One entry whose properties cannot be read must not stop the program:
        // it gets an empty number and the others are still read.
        QString number;
        try {
            number = GetEntryNumber(name);
        } catch (const RasError& e) {
            qCWarning(lcMonitor) << "no number for" << name << ":" << e.what();
        }
        m_availableNumbers.append(number);
    }
}

QString TZorvRasConnect::GetEntryNumber(const QString& EntryName) {
    const QByteArray name = EntryName.toLocal8Bit();
    const std::string failure = (m_language == croatian ? "Ne mogu dobiti informacije o vezi "
                                                        : "RasGetEntryProperties failed: ") +
                                EntryName.toStdString();

    DWORD entrySize = 0;
    DWORD deviceInfoSize = 0;
    DWORD result = RasGetEntryProperties(nullptr, name.constData(), nullptr, &entrySize, nullptr,
                                         &deviceInfoSize);
    if (result != ERROR_BUFFER_TOO_SMALL)
        throw RasError(failure);
    if (entrySize > kMaxEntryBlock)
        return {};

    // At least a whole record, so dwSize and the number field always lie inside.
    std::vector<unsigned char> block(std::max<DWORD>(entrySize, kEntrySize), 0);
    auto* entry = reinterpret_cast<RASENTRYA*>(block.data());
    entry->dwSize = kEntrySize;
    result = RasGetEntryProperties(nullptr, name.constData(), entry, &entrySize, nullptr,
                                   &deviceInfoSize);
    if (result != SUCCESS)
        return {};
    return fieldText(entry->szLocalPhoneNumber);
}

QString TZorvRasConnect::FindConnectedNumber() const {
    QString result;
    if (m_connectedEntry.isEmpty() || m_availableNumbers.isEmpty())
        return result;
    const qsizetype n = std::min(m_availableNumbers.size(), m_availableEntries.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (m_availableEntries.at(i) == m_connectedEntry)
            result = m_availableNumbers.at(i);
    }
    return result;
}

void TZorvRasConnect::PollConnections() {
    const TLanguage language = m_language;

    RASCONNA* conns = m_connBuffer.get();
    std::memset(conns, 0, sizeof(RASCONNA) * kMaxConnections);
    conns[0].dwSize = kConnSize;
    DWORD size = kConnSize * kMaxConnections;
    DWORD count = 0;
    RASCONNSTATUSA status;

    const DWORD result = m_service->RasEnumConnectionsA(conns, &size, &count);

    QString stateText, deviceType, deviceName, entryName;
    const bool found = result == SUCCESS && count > 0;
    if (found) {
        const DWORD n = std::min(count, kMaxConnections);
        for (DWORD i = 0; i < n; ++i) {
            const RASCONNA& conn = conns[i];
            // Cleared per connection, and a failed query has no state: one
            // connection's state is never reported for another.
            std::memset(&status, 0, sizeof status);
            status.dwSize = kConnStatusSize;
            const DWORD queried = m_service->RasGetConnectStatusA(conn.hrasconn, &status);
            const int row = queried == SUCCESS ? rowOf(status.rasconnstate) : -1;
            if (row >= 0) {
                const StatusRow& r = kStatusTexts[row];
                stateText = QString::fromUtf8(language == english ? r.english : r.croatian);
                if (m_connStatus != r.group)
                    m_connStatusCount = 0;
                m_connStatus = r.group;
                ++m_connStatusCount;
                if (row == kConnectedRow)
                    m_isConnected = true;
                else if (row == kDisconnectedRow)
                    m_isConnected = false;
            }
            if (conn.szDeviceName[0] != '\0')
                deviceName = fieldText(conn.szDeviceName);
            if (conn.szDeviceType[0] != '\0')
                deviceType = fieldText(conn.szDeviceType);
            if (conn.szEntryName[0] != '\0')
                entryName = fieldText(conn.szEntryName);
        }
    }

    const QString newStatus =
        found ? deviceType + QLatin1Char(' ') + deviceName + QLatin1Char(' ') + stateText
              : QString::fromUtf8(statusText(kDisconnectedRow, language));
    m_statusChanged = newStatus != m_status;
    m_status = newStatus;

    if (found) {
        m_connectedEntry = entryName;
        m_connectedNumber = FindConnectedNumber();
    } else {
        m_isConnected = false;
        m_connectedEntry.clear();
        m_connectedNumber.clear();
        m_connStatus = csDisconnected;
        m_connStatusCount = 0;
    }
}

void TZorvRasConnect::TimerTick(QObject* /*Sender*/) {
    // Cleared before the poll's queries: a change reported during them, or
    // during a handler below (a message box runs the event loop), keeps the
    // timer running, so no change is lost to the parking.
    m_changePending = false;
    m_sinceTick.start();
    if (m_timer->interval() != m_pollInterval)
        m_timer->setInterval(m_pollInterval); // after a resume's shorter first wait
    PollConnections();
    const bool entered = m_connStatusCount == 1;
    // Another poll of the same answers would raise only OnStatusChange(false).
    // Connecting and authenticating are passing states: keep polling through them.
    const bool settled = !entered && !m_statusChanged && m_connStatus != csConnecting &&
                         m_connStatus != csAuthenticating;
    if (entered && OnConnectionStatus)
        OnConnectionStatus(this, m_connStatus);
    if (OnStatusChange)
        OnStatusChange(this, m_statusChanged);
    if (m_changeListener && settled && !m_changePending)
        m_timer->stop();
}
