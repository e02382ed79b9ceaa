#pragma once
// A private D-Bus daemon with python-dbusmock's NetworkManager template on it,
// and calls that drive the mock. Used by the NetworkManager tests and bench.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariantMap>

#include <csignal>
#include <memory>
#include <sys/prctl.h>

using NmSettings = QMap<QString, QVariantMap>;
Q_DECLARE_METATYPE(NmSettings)

class NmMockBus {
public:
    static inline const QString kService = "org.freedesktop.NetworkManager";
    static inline const QString kManager = "/org/freedesktop/NetworkManager";
    static inline const QString kSettings = "/org/freedesktop/NetworkManager/Settings";
    static inline const QString kManagerIface = "org.freedesktop.NetworkManager";
    static inline const QString kActiveIface = "org.freedesktop.NetworkManager.Connection.Active";
    static inline const QString kDeviceIface = "org.freedesktop.NetworkManager.Device";
    static inline const QString kProfileIface =
        "org.freedesktop.NetworkManager.Settings.Connection";
    static inline const QString kMockIface = "org.freedesktop.DBus.Mock";
    static inline const QString kPython = "/usr/bin/python3";
    static inline const QString kDaemon = "/usr/bin/dbus-daemon";

    static bool available() {
        QProcess probe;
        probe.start(kPython, {"-c", "import dbusmock, dbus"});
        return probe.waitForFinished(30000) && probe.exitCode() == 0 && QFile::exists(kDaemon);
    }

    NmMockBus() { qDBusRegisterMetaType<NmSettings>(); }
    ~NmMockBus() {
        stopMock();
        QDBusConnection::disconnectFromBus(kDriver);
        if (m_bus) {
            m_bus->kill();
            m_bus->waitForFinished(5000);
        }
    }

    // A session bus with the limit of pending replies a system bus has.
    bool startBus(int maxPendingReplies) {
        QFile file(m_dir.filePath("bus.conf"));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("<busconfig><include>/usr/share/dbus-1/session.conf</include>"
                                  "<limit name=\"max_replies_per_connection\">%1</limit>"
                                  "</busconfig>")
                       .arg(maxPendingReplies)
                       .toUtf8());
        file.close();
        m_bus = newProcess();
        m_bus->setStandardErrorFile(QProcess::nullDevice());
        m_bus->start(kDaemon,
                     {"--config-file=" + file.fileName(), "--nofork", "--print-address=1"});
        const QDeadlineTimer deadline(10000);
        while (m_bus->waitForStarted() && !m_bus->canReadLine() && !deadline.hasExpired())
            m_bus->waitForReadyRead(int(deadline.remainingTime()));
        m_address = QString::fromUtf8(m_bus->readLine()).trimmed();
        return !m_address.isEmpty() &&
               QDBusConnection::connectToBus(m_address, kDriver).isConnected();
    }
    const QString& address() const { return m_address; }
    // A connection of its own for the code under test.
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(m_address, name);
    }

    bool startMock() {
        stopMock();
        m_mock = newProcess();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_address);
        env.remove("PYTHONPATH");
        env.remove("PYTHONHOME");
        m_mock->setProcessEnvironment(env);
        m_mock->setStandardOutputFile(QProcess::nullDevice());
        m_mock->setStandardErrorFile(QProcess::nullDevice());
        m_mock->start(kPython, {"-m", "dbusmock", "--system", "--template", "networkmanager"});
        return m_mock->waitForStarted(10000) && waitForService(true);
    }
    void stopMock() {
        if (!m_mock)
            return;
        resumeMock();
        m_mock->kill();
        m_mock->waitForFinished(10000);
        m_mock.reset();
        waitForService(false);
    }
    // A stopped process keeps its bus name but answers nothing: a hung daemon.
    void pauseMock() { ::kill(pid_t(m_mock->processId()), SIGSTOP); }
    void resumeMock() { ::kill(pid_t(m_mock->processId()), SIGCONT); }

    // ---- driving the mock ----

    QVariant call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args = {}) {
        auto message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(args);
        const QDBusMessage reply = QDBusConnection(kDriver).call(message, QDBus::Block, 30000);
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
    }
    QString addDevice(const QString& name, const QString& interfaceName, uint type = 1) {
        QString path =
            call(kManager, kMockIface, "AddEthernetDevice", {name, interfaceName, 30}).toString();
        if (type != 1)
            setProperty(path, kDeviceIface, "DeviceType", type);
        return path;
    }
    QString addProfile(const NmSettings& settings) {
        return call(kSettings, "org.freedesktop.NetworkManager.Settings", "AddConnection",
                    {QVariant::fromValue(settings)})
            .value<QDBusObjectPath>()
            .path();
    }
    // A profile with a number in the settings group of its type (gsm, cdma).
    QString addProfile(const QString& id, const QString& type, const QVariant& number = {}) {
        NmSettings settings{{"connection", {{"id", id}, {"type", type}}}};
        if (number.isValid())
            settings[type] = {{"number", number}};
        return addProfile(settings);
    }
    // state: 1 activating, 2 activated, ...
    QString addActive(const QStringList& devices, const QString& profile, const QString& name,
                      uint state) {
        return call(kManager, kMockIface, "AddActiveConnection",
                    {devices, profile, "/", name, state})
            .toString();
    }
    void removeActive(const QString& device, const QString& active) {
        call(kManager, kMockIface, "RemoveActiveConnection", {device, active});
    }
    static QVariant paths(const QStringList& list) {
        QList<QDBusObjectPath> result;
        for (const QString& path : list)
            result.append(QDBusObjectPath(path));
        return QVariant::fromValue(result);
    }
    void setActiveConnections(const QStringList& list) {
        setProperty(kManager, kManagerIface, "ActiveConnections", paths(list));
    }
    // Stores the value; sends the interface's own PropertiesChanged and the standard one.
    void setProperty(const QString& path, const QString& interface, const QString& name,
                     const QVariant& value) {
        call(kManager, kMockIface, "SetProperty",
             {path, interface, name, QVariant::fromValue(QDBusVariant(value))});
    }
    // Stores the value; sends only the standard PropertiesChanged.
    void setStandard(const QString& path, const QString& interface, const QString& name,
                     const QVariant& value) {
        call(path, "org.freedesktop.DBus.Properties", "Set",
             {interface, name, QVariant::fromValue(QDBusVariant(value))});
    }
    // Adds a property without telling anyone.
    void addProperty(const QString& path, const QString& interface, const QString& name,
                     const QVariant& value) {
        call(path, kMockIface, "AddProperty",
             {interface, name, QVariant::fromValue(QDBusVariant(value))});
    }
    // Sends a signal; stores nothing.
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QString& signature, const QVariantList& args) {
        call(path, kMockIface, "EmitSignal", {interface, name, signature, args});
    }
    // Replaces a method with Python code (dbusmock's AddMethod).
    void addMethod(const QString& path, const QString& interface, const QString& name,
                   const QString& outSignature, const QString& code) {
        call(path, kMockIface, "AddMethod", {interface, name, "", outSignature, code});
    }

private:
    static inline const QString kDriver = "nm-mock-driver";

    // Children die with the test, also when it crashes.
    static std::unique_ptr<QProcess> newProcess() {
        auto process = std::make_unique<QProcess>();
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        return process;
    }

    bool waitForService(bool registered) {
        QDBusConnection bus(kDriver);
        QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, &loop,
                         &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (bus.interface()->isServiceRegistered(kService) != registered)
            loop.exec();
        return bus.interface()->isServiceRegistered(kService) == registered;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_mock;
    QString m_address;
};
