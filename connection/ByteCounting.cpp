#include "ByteCounting.h"

#include <cstring>

namespace ras {

ByteDelta ByteDeltas::take(std::string_view entry, HRASCONN handle, const ConnectionBytes* sample) {
    if (!sample)
        return {};
    ByteDelta delta;
    delta.known = true;
    const bool same = m_base && m_base->entry == entry && m_base->handle == handle &&
                      m_base->bytes.source == sample->source;
    if (same) {
        const ConnectionBytes& old = m_base->bytes;
        if (old.instance != sample->instance || sample->received < old.received ||
            sample->sent < old.sent) {
            delta.received = sample->received;
            delta.sent = sample->sent;
        } else {
            delta.received = sample->received - old.received;
            delta.sent = sample->sent - old.sent;
        }
    } else {
        // Not emplace(): clang, and so clang-tidy, rejects it for a nested
        // class with member initializers.
        m_base = Base{};
        m_base->entry.assign(entry);
        m_base->handle = handle;
    }
    m_base->bytes = *sample;
    return delta;
}

bool ByteDeltas::hasBaseline(std::string_view entry, HRASCONN handle) const {
    return m_base && m_base->entry == entry && m_base->handle == handle;
}

namespace {
bool find(RasService& service, std::string_view entry, HRASCONN& handle) {
    // The monitor's own buffer: 20 records, the last one with the name wins.
    RASCONNA records[20];
    std::memset(static_cast<void*>(&records[0]), 0, sizeof(RASCONNA));
    records[0].dwSize = kConnSize;
    DWORD size = sizeof records;
    DWORD count = 0;
    if (service.RasEnumConnectionsA(records, &size, &count) != SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0; i < count && i < 20; ++i) {
        const std::string_view name(records[i].szEntryName, fieldLength(records[i].szEntryName));
        if (name == entry) {
            handle = records[i].hrasconn;
            found = true;
        }
    }
    return found;
}
} // namespace

ByteDelta ByteSampler::sample(RasService& service, std::string_view entry) {
    HRASCONN handle = 0;
    if (!find(service, entry, handle))
        return {};
    ConnectionBytes bytes;
    if (service.GetConnectionBytes(handle, &bytes) != SUCCESS)
        return m_deltas.take(entry, handle, nullptr);
    return m_deltas.take(entry, handle, &bytes);
}

void ByteSampler::baseline(RasService& service, std::string_view entry) {
    HRASCONN handle = 0;
    if (!find(service, entry, handle) || m_deltas.hasBaseline(entry, handle))
        return;
    ConnectionBytes bytes;
    if (service.GetConnectionBytes(handle, &bytes) == SUCCESS)
        m_deltas.take(entry, handle, &bytes);
}

} // namespace ras
