#include "ui/app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "bv.instance", QtCriticalMsg)

namespace {
const char kShow[] = "show";
constexpr int kShowSize = 4;
// How long a start waits for a holder that has just taken the lock to open
// its socket, or to let the lock go.
constexpr int kAnswerMs = 2000;

// Like the ledger's writer: folders it makes are the user's alone.
void makeFolder(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).exists())
        return;
    makeFolder(QFileInfo(path).absolutePath());
    QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Renames `path` to the first free "<path>.moved-N"; the new name, or empty.
QByteArray moveAside(const QByteArray& path) {
    for (int n = 1; n < 100; ++n) {
        QByteArray target = path + ".moved-" + QByteArray::number(n);
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return {};
        // A file system without RENAME_NOREPLACE: look first.
        struct stat st;
        if (::lstat(target.constData(), &st) == 0)
            continue;
        return ::rename(path.constData(), target.constData()) == 0 ? target : QByteArray();
    }
    return {};
}

// The socket's address. sun_path holds 107 bytes; a deeper folder is reached
// through a descriptor of it, whose /proc name is short.
class SocketAddress {
public:
    SocketAddress(const QString& folder, const char* name) {
        const QByteArray full = QFile::encodeName(folder) + '/' + name;
        QByteArray path = full;
        if (path.size() >= qsizetype(sizeof m_addr.sun_path)) {
            m_dirFd =
                ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_dirFd < 0)
                return;
            path = "/proc/self/fd/" + QByteArray::number(m_dirFd) + '/' + name;
            if (path.size() >= qsizetype(sizeof m_addr.sun_path))
                return;
        }
        m_addr.sun_family = AF_UNIX;
        std::memcpy(m_addr.sun_path, path.constData(), size_t(path.size()) + 1);
        m_length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()) + 1);
    }
    ~SocketAddress() {
        if (m_dirFd >= 0)
            ::close(m_dirFd);
    }
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;

    bool isValid() const { return m_length > 0; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&m_addr); }
    socklen_t length() const { return m_length; }

private:
    sockaddr_un m_addr{};
    socklen_t m_length = 0;
    int m_dirFd = -1;
};

// True when the holder's socket took the request (or holds one already).
bool sendShow(const QString& folder, const char* name) {
    const SocketAddress address(folder, name);
    if (!address.isValid())
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const ssize_t sent = ::sendto(fd, kShow, kShowSize, MSG_DONTWAIT | MSG_NOSIGNAL, address.get(),
                                  address.length());
    const bool queued = sent == kShowSize || (sent < 0 && errno == EAGAIN);
    ::close(fd);
    return queued;
}

const char kSocketName[] = ".Vantrel.socket";
} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder), m_fileName(folder + QStringLiteral("/.Vantrel.lock")),
      m_socketName(folder + QLatin1Char('/') + QLatin1String(kSocketName)) {}

SingleInstance::~SingleInstance() {
    if (m_socketFd >= 0) {
        delete m_notifier;
        ::close(m_socketFd);
        ::unlink(QFile::encodeName(m_socketName).constData());
    }
    if (m_lockFd >= 0) {
        // Removed while still held, and only while the name is still ours.
        if (holdsPath())
            ::unlink(QFile::encodeName(m_fileName).constData());
        ::close(m_lockFd);
    }
}

// The lock as a regular file of our own, opened without following a link and
// without waiting on a FIFO; anything else in its place is moved aside. A
// file with a second name (a hard link to, say, the ledger) is moved aside
// too: writing our id into it would overwrite the other file.
int SingleInstance::openLock() {
    const QByteArray path = QFile::encodeName(m_fileName);
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat st;
        bool misplaced =
            ::lstat(path.constData(), &st) == 0 && !(S_ISREG(st.st_mode) && st.st_nlink == 1);
        if (!misplaced) {
            constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
            int fd = ::open(path.constData(), O_RDWR | O_CREAT | kFlags, 0600);
            if (fd < 0 && errno == EACCES) // a read-only lock file locks all the same
                fd = ::open(path.constData(), O_RDONLY | kFlags);
            if (fd >= 0) {
                if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1)
                    return fd;
                ::close(fd);
                misplaced = true;
            } else if (errno == ELOOP || errno == EISDIR || errno == ENXIO || errno == EAGAIN) {
                misplaced = true; // swapped since lstat
            } else {
                qCWarning(lcInstance) << "cannot open" << m_fileName << std::strerror(errno);
                return -1;
            }
        }
        const QByteArray moved = moveAside(path);
        if (moved.isEmpty()) {
            qCWarning(lcInstance) << "cannot move aside" << m_fileName << std::strerror(errno);
            m_notice = tr("Unable to write to %1").arg(m_fileName);
            return -1;
        }
        m_notice = tr("%1 was not a regular file. It was moved to %2, and a new lock file was "
                      "made")
                       .arg(m_fileName, QFile::decodeName(moved));
    }
    return -1;
}

// Whether the lock's name still leads to the file we hold: a holder that
// ended removed it, and a newer start may have made a new one.
bool SingleInstance::holdsPath() const {
    struct stat held, named;
    return ::fstat(m_lockFd, &held) == 0 &&
           ::stat(QFile::encodeName(m_fileName).constData(), &named) == 0 && sameFile(held, named);
}

void SingleInstance::writeInfo() {
    const QByteArray info = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                            QCoreApplication::applicationName().toUtf8() + '\n' +
                            QSysInfo::machineHostName().toUtf8() + '\n';
    if (::ftruncate(m_lockFd, 0) != 0 ||
        ::write(m_lockFd, info.constData(), size_t(info.size())) != info.size())
        qCWarning(lcInstance) << "cannot write" << m_fileName; // it locks all the same
}

// Only the lock's holder gets here, so a socket file found is a killed copy's.
void SingleInstance::listen() {
    const QByteArray path = QFile::encodeName(m_socketName);
    struct stat st;
    if (::lstat(path.constData(), &st) == 0) {
        if (S_ISSOCK(st.st_mode) || S_ISLNK(st.st_mode))
            ::unlink(path.constData());
        else
            moveAside(path);
    }
    const SocketAddress address(m_folder, kSocketName);
    m_socketFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_socketFd < 0 || !address.isValid() ||
        ::bind(m_socketFd, address.get(), address.length()) != 0) {
        qCWarning(lcInstance) << "cannot receive show requests" << std::strerror(errno);
        if (m_socketFd >= 0)
            ::close(m_socketFd);
        m_socketFd = -1;
        return;
    }
    ::chmod(path.constData(), 0600);
    m_notifier = new QSocketNotifier(m_socketFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::drain);
}

// A bounded batch per wake-up; a flood of requests shows the window once.
void SingleInstance::drain() {
    bool requested = false;
    for (int i = 0; i < 64; ++i) {
        char buffer[16];
        const ssize_t n = ::recv(m_socketFd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0)
            break;
        requested |= n == kShowSize && std::memcmp(buffer, kShow, kShowSize) == 0;
    }
    if (requested)
        emit showRequested();
}

SingleInstance::Start SingleInstance::start(OnRunning onRunning) {
    makeFolder(m_folder);
    const QDeadlineTimer deadline(kAnswerMs);
    for (;;) {
        if (m_lockFd < 0)
            m_lockFd = openLock();
        if (m_lockFd < 0)
            return Start::Unguarded;
        if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
            if (holdsPath()) {
                writeInfo();
                listen();
                return Start::First;
            }
            // Its holder ended and removed it meanwhile: take the current one.
            ::close(m_lockFd);
            m_lockFd = -1;
        } else if (errno != EWOULDBLOCK) {
            // Without locks (some network file systems) no copy can guard the
            // ledger; counting goes on.
            qCWarning(lcInstance) << "cannot lock" << m_fileName << std::strerror(errno);
            ::close(m_lockFd);
            m_lockFd = -1;
            return Start::Unguarded;
        } else if (onRunning == OnRunning::StaySilent ||
                   (m_reached = sendShow(m_folder, kSocketName))) {
            ::close(m_lockFd);
            m_lockFd = -1;
            return Start::AlreadyRunning;
        }
        if (deadline.hasExpired()) {
            if (m_lockFd < 0)
                return Start::Unguarded;
            ::close(m_lockFd);
            m_lockFd = -1;
            return Start::AlreadyRunning;
        }
        QThread::msleep(20);
    }
}
