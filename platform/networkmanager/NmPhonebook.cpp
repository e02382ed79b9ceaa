#include "NmPhonebook.h"

#include "NmLink.h"
#include "NmMapping.h"
#include "NmValues.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>

#include <algorithm>
#include <cstring>
#include <utility>

namespace ras::nm {

namespace {

// Calls in flight at once during the phonebook read. The system bus refuses
// more than 128 pending replies per connection by default.
constexpr std::size_t kMaxPendingCalls = 64;

} // namespace

Phonebook::Phonebook(Link& link) : m_link(link) {}

const std::vector<Phonebook::Profile>& Phonebook::entries() {
    read();
    if (m_dirty)
        rebuild();
    return m_entries;
}

// The monitor reads the numbers once, entry by entry in the phonebook's
// order, by name. So a full read of a name that several profiles share gets
// the next of them in turn: each keeps its own number, index for index.
const Phonebook::Profile* Phonebook::find(const char* name, bool full) const {
    if (!name)
        return nullptr;
    const std::size_t length = std::strlen(name);
    std::vector<const Profile*> equal;
    for (const Profile& profile : m_entries) {
        if (static_cast<std::size_t>(profile.name.size()) == length &&
            std::memcmp(profile.name.constData(), name, length) == 0)
            equal.push_back(&profile);
    }
    if (equal.empty())
        return nullptr;
    if (!full || equal.size() == 1)
        return equal.front();
    int& turn = m_numberTurns[QByteArray(name, static_cast<qsizetype>(length))];
    const Profile* profile = equal[static_cast<std::size_t>(turn) % equal.size()];
    turn = static_cast<int>((static_cast<std::size_t>(turn) + 1) % equal.size());
    return profile;
}

void Phonebook::forget() {
    m_retryList = false;
    m_retryProfiles.clear();
    m_fetches.clear();
    m_queue.clear();
    m_queued.clear();
}

void Phonebook::resume() {
    if (m_read && !m_listed && m_link.connected()) {
        fetchList();
        return;
    }
    QStringList missing;
    for (const QString& path : std::as_const(m_order)) {
        if (!m_profiles.contains(path))
            missing.append(path);
    }
    ask(missing);
}

void Phonebook::retryList() {
    if (std::exchange(m_retryList, false))
        fetchList();
}

void Phonebook::retryProfiles() {
    const QSet<QString> profiles = std::exchange(m_retryProfiles, {});
    ask(QStringList(profiles.begin(), profiles.end()));
}

void Phonebook::read() {
    if (m_read)
        return;
    m_read = true;
    if (!m_link.connected())
        return;

    // One deadline for the whole read: it holds up the program's start.
    const QDeadlineTimer deadline(m_timeout);
    auto call = [&](const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments) {
        const int remaining = std::max<int>(1, int(deadline.remainingTime()));
        return m_link.call(path, interface, method, arguments, remaining);
    };

    QDBusPendingCall list =
        call(kSettingsPath, kSettingsIface, QStringLiteral("ListConnections"), {});
    list.waitForFinished();
    const QDBusMessage listReply = list.reply();
    const auto paths =
        isReply(listReply) ? asPathList(listReply.arguments().constFirst()) : std::nullopt;
    if (!paths) {
        qCDebug(lcNetworkManager) << "no profiles:" << listReply.errorMessage();
        if (noAnswer(listReply) && retryable(listReply)) {
            m_retryList = true;
            m_link.retryLater();
        }
        return;
    }

    QHash<QString, Details> details; // a path listed twice is asked once
    QStringList unique;
    for (const QString& path : *paths) {
        if (validPath(path) && !details.contains(path)) {
            details.insert(path, Details{});
            unique.append(path);
        }
    }

    // Two calls per profile, all in flight together up to the bus's limit.
    struct Pending {
        QString path;
        bool settings;
        QDBusPendingCall call;
    };
    std::deque<Pending> inFlight;
    qsizetype next = 0;
    bool settingsNext = true;
    auto issue = [&] {
        while (inFlight.size() < kMaxPendingCalls && next < unique.size() &&
               !deadline.hasExpired()) {
            const QString& path = unique.at(next);
            if (settingsNext) {
                inFlight.push_back(
                    {path, true, call(path, kProfileIface, QStringLiteral("GetSettings"), {})});
            } else {
                inFlight.push_back({path, false,
                                    call(path, kPropertiesIface, QStringLiteral("Get"),
                                         {kProfileIface, QStringLiteral("Flags")})});
                ++next;
            }
            settingsNext = !settingsNext;
        }
    };
    issue();
    while (!inFlight.empty()) {
        Pending pending = std::move(inFlight.front());
        inFlight.pop_front();
        pending.call.waitForFinished();
        const QDBusMessage reply = pending.call.reply();
        Details& d = details[pending.path];
        if (pending.settings)
            takeSettings(d, reply);
        else
            takeFlags(d, reply);
        issue();
    }
    if (next < unique.size())
        qCDebug(lcNetworkManager) << "phonebook read cut short after" << next << "profiles";

    setOrder(*paths);
    // A profile without all its answers is asked again later, not left out
    // for the whole run.
    for (const QString& path : std::as_const(unique)) {
        const Details& d = details.value(path);
        if (d.settingsSettled && d.flagsSettled)
            settle(path, d);
        else
            m_retryProfiles.insert(path);
    }
    rebuild();
    if (!m_retryProfiles.isEmpty())
        m_link.retryLater();
}

void Phonebook::setOrder(const QStringList& paths) {
    m_listed = true;
    m_order.clear();
    for (const QString& path : paths) {
        if (validPath(path))
            m_order.append(path);
    }
}

// The list of profiles, when it got no answer at the start.
void Phonebook::fetchList() {
    m_link.send(kSettingsPath, kSettingsIface, QStringLiteral("ListConnections"), {},
                [this](const QDBusMessage& reply) {
                    const auto paths =
                        isReply(reply) ? asPathList(reply.arguments().constFirst()) : std::nullopt;
                    if (!paths) {
                        if (noAnswer(reply) && retryable(reply)) {
                            m_retryList = true;
                            m_link.retryLater();
                        }
                        return;
                    }
                    setOrder(*paths);
                    ask(m_order);
                    m_link.retryWhenAllCame();
                });
}

void Phonebook::takeSettings(Details& d, const QDBusMessage& reply) {
    if (!isReply(reply)) {
        d.settingsSettled = !noAnswer(reply);
        return;
    }
    d.settingsSettled = true;
    const auto settings = asSettings(reply.arguments().constFirst());
    if (!settings)
        return;
    const QVariantMap connection = settings->value(QStringLiteral("connection"));
    d.settingsRead = true;
    d.id = asString(connection.value(QStringLiteral("id"))).value_or(QString());
    d.type = asString(connection.value(QStringLiteral("type"))).value_or(QString());
    for (const char* group : {"gsm", "cdma"}) {
        const auto number =
            asString(settings->value(QLatin1String(group)).value(QStringLiteral("number")));
        if (number && !number->isEmpty()) {
            d.number = *number;
            break;
        }
    }
}

void Phonebook::takeFlags(Details& d, const QDBusMessage& reply) {
    if (isReply(reply)) {
        d.flags = asUInt(reply.arguments().constFirst()).value_or(0);
        d.flagsSettled = true;
    } else {
        d.flagsSettled = !noAnswer(reply);
    }
}

void Phonebook::settle(const QString& path, const Details& d) {
    if (!d.settingsRead || d.id.isEmpty() || d.type == QLatin1String("loopback") ||
        (d.flags & kProfileFlagExternal)) {
        m_profiles.insert(path, std::nullopt);
        return;
    }
    m_profiles.insert(
        path, Profile{utf8Cut(d.id, RAS_MaxEntryName), utf8Cut(d.number, RAS_MaxPhoneNumber)});
}

void Phonebook::rebuild() {
    m_dirty = false;
    m_entries.clear();
    for (const QString& path : std::as_const(m_order)) {
        const auto it = m_profiles.constFind(path);
        if (it != m_profiles.constEnd() && it->has_value())
            m_entries.push_back(**it);
    }
}

// Profiles asked for later, a few at a time: no more calls in flight than
// the bus allows, as at the start.
void Phonebook::ask(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!m_fetches.contains(path) && !m_queued.contains(path)) {
            m_queued.insert(path);
            m_queue.push_back(path);
        }
    }
    pump();
}

void Phonebook::pump() {
    while (static_cast<std::size_t>(m_fetches.size()) * 2 < kMaxPendingCalls && !m_queue.empty()) {
        const QString path = m_queue.front();
        m_queue.pop_front();
        m_queued.remove(path);
        fetchProfile(path);
    }
}

// Both calls of a profile that got no answer at the start, asynchronously.
void Phonebook::fetchProfile(const QString& path) {
    m_fetches.insert(path, Details{});
    const auto settleAnswer = [this, path](bool settings, const QDBusMessage& reply) {
        auto it = m_fetches.find(path);
        if (it == m_fetches.end())
            return;
        if (settings)
            takeSettings(*it, reply);
        else
            takeFlags(*it, reply);
        if (++it->answers < 2)
            return;
        const Details d = *it;
        m_fetches.erase(it);
        if (d.settingsSettled && d.flagsSettled) {
            settle(path, d);
            m_dirty = true;
        } else {
            m_retryProfiles.insert(path);
            m_link.retryLater();
        }
        pump();
        m_link.retryWhenAllCame();
    };
    m_link.send(path, kProfileIface, QStringLiteral("GetSettings"), {},
                [settleAnswer](const QDBusMessage& reply) { settleAnswer(true, reply); });
    m_link.send(path, kPropertiesIface, QStringLiteral("Get"),
                {kProfileIface, QStringLiteral("Flags")},
                [settleAnswer](const QDBusMessage& reply) { settleAnswer(false, reply); });
}

} // namespace ras::nm
