#include "NmMapping.h"

#include <iterator>

namespace ras::nm {

DWORD rasState(DWORD activeState, std::optional<DWORD> deviceState) {
    switch (activeState) {
    case AcActivated:
        return RASCS_Connected;
    case AcDeactivating:
    case AcDeactivated:
        return RASCS_Disconnected;
    case AcActivating:
        break;
    default:
        return kNoRowState;
    }
    // Activating: the device's NMDeviceState tells how far it got.
    switch (deviceState.value_or(0)) {
    case 50: // config
        return RASCS_ConnectDevice;
    case 60: // need-auth
        return RASCS_Authenticate;
    case 70: // ip-config
        return RASCS_Authenticated;
    case 80:  // ip-check
    case 90:  // secondaries
    case 100: // activated, the connection itself not yet
        return RASCS_LogonNetwork;
    case 110: // deactivating
    case 120: // failed
        return RASCS_Disconnected;
    default: // prepare, not yet managed, or unknown
        return RASCS_OpenPort;
    }
}

const char* deviceTypeName(DWORD deviceType) {
    static const char* const names[] = {
        "unknown",       "ethernet", "wifi",       "unknown",    "unknown", "bluetooth",
        "olpc-mesh",     "wimax",    "modem",      "infiniband", "bond",    "vlan",
        "adsl",          "bridge",   "generic",    "team",       "tun",     "ip-tunnel",
        "macvlan",       "vxlan",    "veth",       "macsec",     "dummy",   "ppp",
        "ovs-interface", "ovs-port", "ovs-bridge", "wpan",       "6lowpan", "wireguard",
        "wifi-p2p",      "vrf",      "loopback",   "hsr",
    };
    if (deviceType < std::size(names))
        return names[deviceType];
    return "unknown";
}

const char* connectionTypeName(const QString& connectionType) {
    struct Pair {
        const char* connectionType;
        const char* name;
    };
    static const Pair pairs[] = {
        {"gsm", "modem"},
        {"cdma", "modem"},
        {"802-3-ethernet", "ethernet"},
        {"802-11-wireless", "wifi"},
        {"bluetooth", "bluetooth"},
        {"pppoe", "ppp"},
        {"adsl", "adsl"},
        {"bond", "bond"},
        {"bridge", "bridge"},
        {"vlan", "vlan"},
        {"tun", "tun"},
        {"team", "team"},
        {"infiniband", "infiniband"},
        {"wpan", "wpan"},
        {"generic", "generic"},
    };
    for (const auto& pair : pairs) {
        if (connectionType == QLatin1String(pair.connectionType))
            return pair.name;
    }
    return "";
}

bool isVpnType(const QString& connectionType) {
    return connectionType == QLatin1String("vpn") || connectionType == QLatin1String("wireguard");
}

QByteArray utf8Cut(const QString& text, std::size_t maxBytes) {
    QByteArray bytes = text.toUtf8();
    if (static_cast<std::size_t>(bytes.size()) <= maxBytes)
        return bytes;
    auto cut = static_cast<qsizetype>(maxBytes);
    // Back off over continuation bytes to the start of the character cut in two.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

} // namespace ras::nm
