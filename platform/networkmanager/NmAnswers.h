#pragma once
// The Remote Access calls answered from what the snapshot and the phonebook
// hold: which connections are shown, how their records are filled, and the
// checks of sizes and arguments every caller of the seam relies on.
//
// Apart from the snapshot and the phonebook because this is the seam's side
// (record layouts, error codes), theirs is the daemon's. No D-Bus here.

#include "connection/RasApi.h"

#include <string>

namespace ras::nm {

class Phonebook;
class Snapshot;

DWORD enumConnections(const Snapshot& snapshot, RASCONNA* buffer, DWORD* bufferSize,
                      DWORD* connectionCount);
DWORD connectStatus(const Snapshot& snapshot, HRASCONN connection, RASCONNSTATUSA* status);
// The counters of the connection's device: its IP interface, else its
// interface, read under `root` (normally /sys/class/net). A VPN plug-in's
// connection lists the device it runs over, whose bytes are not its own: it
// has no counters, like a connection without a device.
DWORD connectionBytes(const Snapshot& snapshot, const std::string& root, HRASCONN connection,
                      ConnectionBytes* bytes);
DWORD enumEntries(Phonebook& phonebook, RASENTRYNAMEA* buffer, DWORD* bufferSize,
                  DWORD* entryCount);
DWORD entryProperties(Phonebook& phonebook, const char* entryName, RASENTRYA* entry,
                      DWORD* entrySize, DWORD* deviceInfoSize);

} // namespace ras::nm
