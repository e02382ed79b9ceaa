#include "NmValues.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLatin1String>
#include <QList>
#include <QMetaType>

#include <limits>

namespace ras::nm {

QVariant unwrap(QVariant value) {
    for (int depth = 0; depth < 8 && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

std::optional<DWORD> asUInt(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    switch (value.metaType().id()) {
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return value.toUInt();
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (ok && n >= 0 && n <= std::numeric_limits<DWORD>::max())
            return static_cast<DWORD>(n);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> asString(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QString>())
        return value.toString();
    return std::nullopt;
}

std::optional<bool> asBool(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool();
    return std::nullopt;
}

std::optional<QStringList> asStringList(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return value.toStringList();
    return std::nullopt;
}

std::optional<QString> asPath(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return std::nullopt;
}

std::optional<QStringList> asPathList(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    QList<QDBusObjectPath> paths;
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        if (arg.currentSignature() != QLatin1String("ao"))
            return std::nullopt;
        arg >> paths;
    } else if (value.metaType() == QMetaType::fromType<QList<QDBusObjectPath>>()) {
        paths = value.value<QList<QDBusObjectPath>>();
    } else {
        return std::nullopt;
    }
    QStringList result;
    result.reserve(paths.size());
    for (const auto& path : paths)
        result.append(path.path());
    return result;
}

std::optional<QVariantMap> asPropertyMap(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return value.toMap();
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a{sv}"))
        return std::nullopt;
    QVariantMap map;
    arg >> map;
    return map;
}

std::optional<QMap<QString, QVariantMap>> asSettings(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a{sa{sv}}"))
        return std::nullopt;
    QMap<QString, QVariantMap> settings;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString group;
        QVariantMap values;
        arg.beginMapEntry();
        arg >> group >> values;
        arg.endMapEntry();
        settings.insert(group, values);
    }
    arg.endMap();
    return settings;
}

bool isReply(const QDBusMessage& message) {
    return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

bool noAnswer(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
           name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded");
}

bool retryable(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    const QString name = reply.errorName();
    return name != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") &&
           name != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") &&
           name != QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

bool validPath(const QString& objectPath) {
    return !objectPath.isEmpty() && objectPath != QLatin1String("/");
}

} // namespace ras::nm
