#include "ui/app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "bv.instance", QtCriticalMsg)

namespace {
int g_pipe[2] = {-1, -1};

extern "C" void onShowRequest(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
// Like the ledger's writer: folders it makes are the user's alone.
void makeFolder(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).exists())
        return;
    makeFolder(QFileInfo(path).absolutePath());
    QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_fileName(folder + QStringLiteral("/.Vantrel.lock")) {}

SingleInstance::~SingleInstance() {
    if (m_notifier) {
        ::signal(SIGUSR1, SIG_IGN);
        delete m_notifier;
        m_notifier = nullptr;
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
    // m_lock's destructor removes the file.
}

// The handler has to be in place before the lock is taken: from then on a
// second start may send the signal, whose default action would end us.
bool SingleInstance::listen() {
    if (g_pipe[0] >= 0)
        return false; // one listener per process
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onShowRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGUSR1, &action, nullptr) != 0) {
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::drain);
    return true;
}

void SingleInstance::drain() {
    char buffer[64];
    bool requested = false;
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0)
        requested = true;
    if (requested)
        emit showRequested();
}

SingleInstance::Start SingleInstance::start(OnRunning onRunning) {
    if (!listen())
        qCWarning(lcInstance) << "cannot receive show requests";
    makeFolder(QFileInfo(m_fileName).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_fileName);
    // Only a dead holder makes a lock stale, never its age: a copy may run
    // for months.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Start::First;

    if (m_lock->error() != QLockFile::LockFailedError) {
        // Without a writable folder no copy can write the ledger either, so
        // running unguarded cannot count a minute twice.
        qCWarning(lcInstance) << "cannot lock" << m_fileName << m_lock->error();
        m_lock.reset();
        return Start::Unguarded;
    }
    qint64 pid = 0;
    QString host, app;
    bool known = m_lock->getLockInfo(&pid, &host, &app);
    if (!known) {
        // A holder writes its id right after creating the file; one that
        // stays empty was left by a copy that died in between.
        const QDeadlineTimer deadline(2000);
        while (!known && !deadline.hasExpired()) {
            QThread::msleep(20);
            known = m_lock->getLockInfo(&pid, &host, &app);
        }
    }
    // A running holder keeps the file locked from before it writes its id.
    // So a file with an id that nobody holds is stale, even when the id now
    // belongs to a live process of the same name (a copy for another folder
    // that got the number again) or to us.
    if (m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return Start::First;
    // Signalling ourselves is safe only with our own handler in place.
    const bool self = pid == QCoreApplication::applicationPid();
    if (onRunning == OnRunning::AskToShow && known && pid > 0 && (!self || g_pipe[0] >= 0)) {
        if (::kill(static_cast<pid_t>(pid), SIGUSR1) == 0)
            m_ownerPid = pid;
        else
            qCWarning(lcInstance) << "cannot reach the running copy" << pid;
    }
    m_lock.reset();
    return Start::AlreadyRunning;
}
