#pragma once
// How NetworkManager's notions translate into the Remote Access records:
// connection states, device kinds and the fixed-size text fields. No D-Bus here.

#include "connection/RasApi.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>

namespace ras::nm {

// NMActiveConnectionState
enum ActiveState : DWORD {
    AcUnknown = 0,
    AcActivating = 1,
    AcActivated = 2,
    AcDeactivating = 3,
    AcDeactivated = 4,
};

// What a connection in an unknown state reports: a paused state, which the
// monitor has no text for, so it leaves its status as it was.
constexpr DWORD kNoRowState = RASCS_Interactive;

// Bits that mark a connection NetworkManager merely found on the system
// (NMSettingsConnectionFlags and NMActivationStateFlags).
constexpr DWORD kProfileFlagExternal = 0x8;
constexpr DWORD kActivationFlagExternal = 0x80;

// deviceState is empty when the connection has no device or it is not known yet.
DWORD rasState(DWORD activeState, std::optional<DWORD> deviceState);

// Short lowercase name of an NMDeviceType, at most RAS_MaxDeviceType bytes.
const char* deviceTypeName(DWORD deviceType);
// Name for a connection without a device, from its connection type
// ("gsm", "802-3-ethernet", ...); empty when nothing sensible fits.
const char* connectionTypeName(const QString& connectionType);
bool isVpnType(const QString& connectionType);

// UTF-8 bytes of text, cut to at most maxBytes without splitting a character.
QByteArray utf8Cut(const QString& text, std::size_t maxBytes);

// Copies text into a zero-terminated field of N bytes (N - 1 bytes of text).
template <std::size_t N> void copyField(char (&field)[N], const QByteArray& text) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(text.size()), N - 1);
    std::memcpy(field, text.constData(), n);
    std::memset(field + n, 0, N - n);
}

} // namespace ras::nm
