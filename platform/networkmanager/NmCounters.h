#pragma once
// An interface's byte counters from sysfs. Any user may read them, and
// reading wakes nobody; NetworkManager's own statistics would need a
// privileged write of their refresh rate first.

#include "connection/RasApi.h"

#include <string>
#include <string_view>

namespace ras::nm {

inline constexpr const char* kSysClassNet = "/sys/class/net";

// <root>/<interface>/statistics/rx_bytes and tx_bytes, with the interface's
// ifindex as the counters' instance. False, with `out` untouched, for
// anything odd: a missing, unreadable, empty or non-numeric file, a value
// beyond 64 bits, a link or anything but a regular file (a FIFO never
// blocks), or a name that is not a plain interface name.
bool readInterfaceBytes(const std::string& root, std::string_view interfaceName,
                        ConnectionBytes& out);

} // namespace ras::nm
