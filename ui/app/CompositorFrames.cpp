#include "ui/app/CompositorFrames.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
struct Socket {
    int fd = -1;
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

void put32(QByteArray& out, quint32 value) {
    out.append(reinterpret_cast<const char*>(&value), 4); // the wire uses host byte order
}

// The buffer is a std::string: GCC takes a QByteArray's data for its shared
// one-byte empty array and warns of reads past it.
quint32 get32(const std::string& in, int at) {
    quint32 value;
    std::memcpy(&value, in.data() + at, 4);
    return value;
}
} // namespace

// The registry is read straight off the wire: the program links no Wayland
// library of its own, and Qt offers no public way to ask before the first
// window is shown.
bool compositorOffersFrames(const QString& socketPath, int timeoutMs) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.size() >= int(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    Socket s;
    s.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s.fd < 0 || ::connect(s.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;

    // wl_display (object 1): get_registry as object 2, then sync as object 3,
    // whose "done" follows the last global.
    constexpr quint32 kDisplay = 1, kRegistry = 2, kCallback = 3;
    QByteArray request;
    put32(request, kDisplay);
    put32(request, (12u << 16) | 1u);
    put32(request, kRegistry);
    put32(request, kDisplay);
    put32(request, (12u << 16) | 0u);
    put32(request, kCallback);
    if (::send(s.fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return false;

    QElapsedTimer clock;
    clock.start();
    std::string in;
    for (;;) {
        while (in.size() >= 8u) {
            const quint32 object = get32(in, 0);
            const quint32 sizeAndOpcode = get32(in, 4);
            const int size = int(sizeAndOpcode >> 16);
            const quint32 opcode = sizeAndOpcode & 0xffff;
            if (size < 8 || size % 4 != 0)
                return false;
            if (in.size() < std::size_t(size))
                break;
            if (object == kRegistry && opcode == 0 &&
                size >= 16) { // global(name, interface, version)
                const int length = int(get32(in, 12));
                if (length > 0 && length <= size - 16 &&
                    in.compare(16, std::size_t(length - 1), "zxdg_decoration_manager_v1") == 0)
                    return true;
            } else if ((object == kCallback || object == kDisplay) && opcode == 0) {
                return false; // every global seen, or a protocol error
            }
            in.erase(0, std::size_t(size));
        }
        const qint64 left = timeoutMs - clock.elapsed();
        pollfd p{s.fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        in.append(buffer, std::size_t(n));
    }
}

QString waylandSocketPath() {
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET"))
        return {};
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (QDir::isAbsolutePath(name))
        return name;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + QLatin1Char('/') + name;
}

// Qt 6.4 decides whether it may draw its own frame by asking its EGL buffer
// integration, which maps libEGL, Mesa and a DRI driver (some 50 MB resident,
// more with LLVM) into a program that draws with the raster engine only, at
// the first show, for good. Where the compositor draws the frames anyway
// (KDE Plasma, sway and other wlroots desktops), Qt would not draw one; Qt's
// own switch for client-side frames then keeps EGL out. Without the
// compositor's offer (GNOME, weston) the frame is Qt's, and EGL with it. A
// compositor that offers but then asks for client-side frames (cage without
// -d, a kiosk) leaves the window without one.
void preferCompositorFrames() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
        qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        return;
    if (compositorOffersFrames(waylandSocketPath()))
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
}
