#pragma once
// Reading what NetworkManager sends. Its values come wrapped in variants,
// sometimes several deep, and nothing guarantees their types: each reader
// answers a value only when it has the expected D-Bus type, and nothing
// otherwise. Also how a reply is told apart: an answer, no answer at all, or
// an error worth asking again about.
//
// Pure functions without state, apart from the snapshot and the phonebook, so
// that both read a value the same way and neither holds parsing code.

#include "connection/RasApi.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class QDBusMessage;

namespace ras::nm {

// The value inside any number of QDBusVariant wrappings (at most 8).
QVariant unwrap(QVariant value);

// Unsigned or non-negative integers that fit a DWORD.
std::optional<DWORD> asUInt(const QVariant& raw);
std::optional<QString> asString(const QVariant& raw);
std::optional<bool> asBool(const QVariant& raw);
std::optional<QStringList> asStringList(const QVariant& raw);
// An object path ("o").
std::optional<QString> asPath(const QVariant& raw);
// A list of object paths ("ao").
std::optional<QStringList> asPathList(const QVariant& raw);
// Properties by name ("a{sv}").
std::optional<QVariantMap> asPropertyMap(const QVariant& raw);
// A profile's settings by group ("a{sa{sv}}").
std::optional<QMap<QString, QVariantMap>> asSettings(const QVariant& raw);

// A reply with at least one value, as opposed to an error.
bool isReply(const QDBusMessage& message);
// The call timed out or never reached the daemon, as opposed to an answer
// that happens to be an error.
bool noAnswer(const QDBusMessage& reply);
// An error worth asking again about. A daemon that is not on the bus is not
// asked: its arrival is watched for, and retries would only wake us.
bool retryable(const QDBusMessage& reply);

// An object path that leads somewhere: not empty and not "/".
bool validPath(const QString& objectPath);

} // namespace ras::nm
