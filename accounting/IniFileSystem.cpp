#include "IniFileSystem.h"

#include "accountingLog.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

class FdSource : public ini::Source {
public:
    FdSource(int fd, bool owned) : m_fd(fd), m_owned(owned) {}
    FdSource(const FdSource&) = delete;
    FdSource& operator=(const FdSource&) = delete;
    ~FdSource() override {
        if (m_owned)
            ::close(m_fd);
    }
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, size);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }
    bool rewind() override { return ::lseek(m_fd, 0, SEEK_SET) == 0; }

private:
    int m_fd;
    bool m_owned;
};

class FdSink : public ini::Sink {
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    bool write(const char* data, std::size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

std::string dirName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens a regular file for reading without blocking on a FIFO or a device.
// Returns -1 (errno ENOENT, or EINVAL for something else than a file).
int openRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid())
        return -1;
    // The path may have been swapped for something else since the stat().
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd.release();
}

// The file that a write through `path` has to replace: the end of its chain
// of symbolic links, so that the user's link stays a link.
bool resolveLinks(std::string path, std::string& target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size())
            return false; // changed while we read it
        link.resize(static_cast<std::size_t>(n));
        if (link.front() == '/') {
            path = std::move(link);
        } else {
            path = dirName(path);
            path += '/';
            path += link;
        }
    }
    errno = ELOOP;
    return false;
}

bool makeFolders(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::string parent = dirName(dir);
    if (parent != dir && !makeFolders(parent))
        return false;
    if (::mkdir(dir.c_str(), 0700) == 0)
        return true;
    return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string tempPrefix(const std::string& name) {
    return "." + name + ".tmp-";
}
constexpr std::size_t kTempSuffixLength = 6;

// A writer holds an exclusive lock on its temporary file until it is renamed
// away, so a temporary file that can be locked belongs to a dead writer.
void removeStaleTemps(const std::string& dir, const std::string& name) {
    const std::string prefix = tempPrefix(name);
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.valid())
        return;
    DIR* listing = ::fdopendir(::dup(dirFd.get()));
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string entryName = entry->d_name;
        if (entryName.size() != prefix.size() + kTempSuffixLength ||
            entryName.compare(0, prefix.size(), prefix) != 0)
            continue;
        Fd fd(::openat(dirFd.get(), entry->d_name,
                       O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            qCDebug(lcAccounting) << "removing stale" << entryName.c_str();
            ::unlinkat(dirFd.get(), entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

std::string randomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 rng{std::random_device{}() ^
                               (static_cast<std::uint64_t>(::getpid()) << 32)};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
    std::string s(kTempSuffixLength, 'A');
    for (char& c : s)
        c = kChars[pick(rng)];
    return s;
}

// Creates and locks a new temporary file; its path goes to `tempPath`.
int createTemp(const std::string& dir, const std::string& name, mode_t mode,
               std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = dir + "/" + tempPrefix(name) + randomSuffix();
        Fd fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        struct stat mine {
        }, named{};
        if (::flock(fd.get(), LOCK_EX) != 0 || ::fstat(fd.get(), &mine) != 0)
            return -1;
        // A cleaner of another process may have taken the name before we
        // locked it; then try another.
        if (::lstat(tempPath.c_str(), &named) != 0 || named.st_ino != mine.st_ino ||
            named.st_dev != mine.st_dev)
            continue;
        return fd.release();
    }
    errno = EEXIST;
    return -1;
}

} // namespace

std::unique_ptr<ini::Source> DiskIniFileSystem::openRead(const std::string& path) {
    const int fd = openRegularFile(path);
    if (fd < 0)
        return nullptr;
    return std::make_unique<FdSource>(fd, true);
}

bool DiskIniFileSystem::replace(const std::string& path, const Producer& produce) {
    auto refuse = [&](const char* step) {
        qCWarning(lcAccounting) << "cannot write" << path.c_str() << step << std::strerror(errno);
        return false;
    };

    std::string target;
    if (!resolveLinks(path, target))
        return refuse("(links)");
    const std::string dir = dirName(target);
    const std::string name = baseName(target);
    if (!makeFolders(dir))
        return refuse("(folder)");

    Fd old;
    mode_t mode = 0666; // the umask applies to a new file
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        old.reset(openRegularFile(target));
        if (!old.valid())
            return refuse("(old file)");
        if (::fstat(old.get(), &st) != 0)
            return refuse("(old file)");
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return refuse("(old file)");
    }

    removeStaleTemps(dir, name);

    std::string tempPath;
    Fd temp(createTemp(dir, name, old.valid() ? 0600 : mode, tempPath));
    if (!temp.valid())
        return refuse("(temporary file)");
    auto discard = [&](const char* step) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errno = error;
        return refuse(step);
    };
    if (old.valid() && ::fchmod(temp.get(), mode) != 0)
        return discard("(mode)");

    FdSink sink(temp.get());
    FdSource oldSource(old.get(), false);
    if (!produce(old.valid() ? &oldSource : nullptr, sink))
        return discard("(content)");
    if (::fsync(temp.get()) != 0)
        return discard("(flush)");
    // Renaming first keeps the lock until the name is gone.
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        return discard("(rename)");
    temp.reset();

    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.valid())
        ::fsync(dirFd.get()); // the rename is done; this only makes it durable sooner
    return true;
}

void removeStaleTempFiles(const std::string& path) {
    std::string target;
    if (resolveLinks(path, target))
        removeStaleTemps(dirName(target), baseName(target));
}

std::shared_ptr<IniFileSystem> diskIniFileSystem() {
    static const std::shared_ptr<IniFileSystem> fs = std::make_shared<DiskIniFileSystem>();
    return fs;
}

bool appendLine(const std::string& path, std::string_view line, std::string_view header) {
    auto refuse = [&](const char* step) {
        qCWarning(lcAccounting) << "cannot append to" << path.c_str() << step
                                << std::strerror(errno);
        return false;
    };
    constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool created = false;
    Fd fd(::open(path.c_str(), kFlags));
    if (!fd.valid() && errno == ENOENT) {
        if (!makeFolders(dirName(path)))
            return refuse("(folder)");
        fd.reset(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
        created = fd.valid();
        if (!fd.valid() && errno == EEXIST)
            fd.reset(::open(path.c_str(), kFlags));
    }
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        return refuse("(open)");
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return refuse("(not a file)");
    }
    std::string text;
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) != 1)
        return refuse("(read)");
    if (last != '\n')
        text.append("\0\n", 2);
    if (created || st.st_size == 0)
        text.append(header);
    text.append(line);
    ssize_t n;
    do
        n = ::write(fd.get(), text.data(), text.size());
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(text.size()))
        return refuse("(write)");
    if (::fdatasync(fd.get()) != 0)
        return refuse("(flush)");
    return true;
}
