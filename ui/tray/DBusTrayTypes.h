#pragma once
// The structures that the notification-item and menu interfaces send over
// the session bus, with their D-Bus marshalling.

#include <QDBusArgument>
#include <QDBusVariant>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// One picture: width, height and ARGB32 pixels in network byte order, a(iiay).
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmapList = QList<SniPixmap>;
SniPixmap sniPixmap(const QImage& image);

// (sa(iiay)ss): icon name, pictures, title, text.
struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString text;
};

// One menu item and its children, (ia{sv}av).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv})
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// (ias)
struct DBusMenuItemKeys {
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (isvu)
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)
Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& v);
QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayoutItem& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayoutItem& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& v);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& v);

// Registers the types above with QtDBus; safe to call more than once.
void registerDBusTrayTypes();
