#include "NmCounters.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ras::nm {

namespace {

// One decimal number and at most a line break, as the kernel writes it.
bool readNumber(const std::string& path, std::uint64_t& value) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    char text[32];
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        do
            n = ::read(fd, text, sizeof text);
        while (n < 0 && errno == EINTR);
    }
    ::close(fd);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof text))
        return false;
    std::size_t end = static_cast<std::size_t>(n);
    if (text[end - 1] == '\n')
        --end;
    if (end == 0)
        return false;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

bool plainInterfaceName(std::string_view name) {
    // IFNAMSIZ is 16 with the terminating NUL.
    if (name.empty() || name.size() > 15 || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (c == '/' || c == '\0')
            return false;
    return true;
}

} // namespace

bool readInterfaceBytes(const std::string& root, std::string_view interfaceName,
                        ConnectionBytes& out) {
    if (!plainInterfaceName(interfaceName))
        return false;
    const std::string dir = root + "/" + std::string(interfaceName);
    ConnectionBytes b;
    if (!readNumber(dir + "/statistics/rx_bytes", b.received) ||
        !readNumber(dir + "/statistics/tx_bytes", b.sent) ||
        !readNumber(dir + "/ifindex", b.instance))
        return false;
    b.source.assign(interfaceName);
    out = std::move(b);
    return true;
}

} // namespace ras::nm
