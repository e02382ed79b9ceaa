// The compositor's offer to draw frames, read from a compositor played by the
// test on a socket of its own.

#include "ui/app/CompositorFrames.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
void put32(QByteArray& out, quint32 v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

// One event: object, opcode, and the arguments already encoded.
QByteArray event(quint32 object, quint32 opcode, const QByteArray& args) {
    QByteArray e;
    put32(e, object);
    put32(e, quint32((8 + args.size()) << 16) | opcode);
    return e + args;
}

QByteArray global(quint32 name, const QByteArray& interface) {
    QByteArray args;
    put32(args, name);
    put32(args, quint32(interface.size() + 1));
    QByteArray text = interface + '\0';
    while (text.size() % 4)
        text += '\0';
    args += text;
    put32(args, 1);
    return event(2, 0, args);
}

struct Case {
    const char* what;
    QByteArray reply; // written after the client's 24 bytes of requests
    bool inPieces;
    bool expected;
};

// Accepts one client, reads its requests, answers and holds the line open
// until the client hangs up.
void serve(int listener, const QByteArray& reply, bool inPieces) {
    const int c = ::accept(listener, nullptr, nullptr);
    if (c < 0)
        return;
    char requests[24];
    for (size_t got = 0; got < sizeof requests;) {
        const ssize_t n = ::recv(c, requests + got, sizeof requests - got, 0);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    const qsizetype step = inPieces ? 3 : reply.size();
    for (qsizetype at = 0; at < reply.size(); at += step)
        ::send(c, reply.constData() + at, size_t(std::min(step, reply.size() - at)), MSG_NOSIGNAL);
    char rest;
    ::recv(c, &rest, 1, 0);
    ::close(c);
}
} // namespace

TEST(CompositorFrames, OfferIsReadFromTheRegistry) {
    const QByteArray done = event(3, 0, QByteArray(4, '\0'));
    const QByteArray desktop = global(1, "wl_compositor") + global(2, "xdg_wm_base");
    const Case cases[] = {
        {"offered, in pieces", desktop + global(9, "zxdg_decoration_manager_v1") + done, true,
         true},
        {"a longer name that starts alike", global(3, "zxdg_decoration_manager_v1x") + done, true,
         false},
        {"a protocol error", event(1, 0, QByteArray(12, '\0')), false, false},
        {"a message shorter than its header", QByteArray(8, '\0'), false, false},
        {"no answer", QByteArray(), false, false},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath("wl");
        ::unlink(path.toLocal8Bit().constData());
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.toLocal8Bit().constData());
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 1), 0);
        std::thread compositor(serve, listener, c.reply, c.inPieces);
        EXPECT_EQ(compositorOffersFrames(path, 300), c.expected);
        compositor.join();
        ::close(listener);
    }
    EXPECT_FALSE(compositorOffersFrames(dir.filePath("nobody"), 300)) << "no compositor";
}
