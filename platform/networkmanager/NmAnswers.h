#pragma once
// The Remote Access calls answered from what the snapshot and the phonebook
// hold: which connections are shown, how their records are filled, and the
// checks of sizes and arguments every caller of the seam relies on.
//
// Apart from the snapshot and the phonebook because this is the seam's side
// (record layouts, error codes), theirs is the daemon's. No D-Bus here.

#include "connection/RasApi.h"

namespace ras::nm {

class Phonebook;
class Snapshot;

DWORD enumConnections(const Snapshot& snapshot, RASCONNA* buffer, DWORD* bufferSize,
                      DWORD* connectionCount);
DWORD connectStatus(const Snapshot& snapshot, HRASCONN connection, RASCONNSTATUSA* status);
DWORD enumEntries(Phonebook& phonebook, RASENTRYNAMEA* buffer, DWORD* bufferSize,
                  DWORD* entryCount);
DWORD entryProperties(Phonebook& phonebook, const char* entryName, RASENTRYA* entry,
                      DWORD* entrySize, DWORD* deviceInfoSize);

} // namespace ras::nm
