#pragma once
// The phonebook: NetworkManager's saved profiles with their names and phone
// numbers, in the daemon's order, less the loopback and those it merely found
// on the system. Read once, blocking, at the first question, under an overall
// deadline, two calls per profile; whatever got no answer is asked again
// later, asynchronously and a few at a time.
//
// Apart from the snapshot because it lives differently: one blocking read
// instead of change signals, and a retry of its own for the profiles.

#include "connection/RasApi.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

class QDBusMessage;

namespace ras::nm {

class Link;

class Phonebook {
public:
    struct Profile {
        QByteArray name;   // at most RAS_MaxEntryName bytes
        QByteArray number; // at most RAS_MaxPhoneNumber bytes
    };

    explicit Phonebook(Link& link);

    // How long the one-time read may hold up its caller in all.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // The profiles, read first if they never were, with any answers that came
    // since the last call.
    const std::vector<Profile>& entries();
    // The first profile of that name; with `full`, each profile of a shared
    // name in turn.
    const Profile* find(const char* name, bool full) const;

    // The daemon left: nothing is asked again of it.
    void forget();
    // A daemon arrived: what the start could not read, it may tell.
    void resume();
    // Asks again for the list of profiles, when that failed.
    void retryList();
    // Asks again for the profiles whose answers failed.
    void retryProfiles();
    // Something failed and waits for its next try, or profiles are being asked.
    bool unfinished() const {
        return m_retryList || !m_retryProfiles.isEmpty() || !m_fetches.isEmpty() ||
               !m_queue.empty();
    }

private:
    // What the two calls for one profile brought.
    struct Details {
        bool settingsRead = false;
        bool settingsSettled = false; // answered, if only with an error
        QString id;
        QString type;
        QString number;
        DWORD flags = 0;
        bool flagsSettled = false; // answered, if only with "no such property"
        int answers = 0;
    };

    void read();
    static void takeSettings(Details& details, const QDBusMessage& reply);
    static void takeFlags(Details& details, const QDBusMessage& reply);
    void settle(const QString& path, const Details& details);
    void rebuild();
    void ask(const QStringList& paths);
    void pump();
    void fetchProfile(const QString& path);
    void fetchList();
    void setOrder(const QStringList& paths);

    Link& m_link;
    std::chrono::milliseconds m_timeout{5000};
    bool m_read = false;
    std::vector<Profile> m_entries;
    // The listed profiles in the daemon's order; a profile whose answers are
    // still missing has no entry in m_profiles, one left out an empty one.
    QStringList m_order;
    bool m_listed = false;
    QHash<QString, std::optional<Profile>> m_profiles;
    QHash<QString, Details> m_fetches; // asked again, answers so far
    std::deque<QString> m_queue;       // to be asked again, in turn
    QSet<QString> m_queued;
    bool m_dirty = false; // answers came since m_entries was made
    // Equal names are asked for in the phonebook's order: each gets its own
    // profile's number in turn.
    mutable QHash<QByteArray, int> m_numberTurns;

    // What failed and waits for its next try.
    bool m_retryList = false;
    QSet<QString> m_retryProfiles;
};

} // namespace ras::nm
