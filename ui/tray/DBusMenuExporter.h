#pragma once
// A QMenu's actions, published on the session bus as com.canonical.dbusmenu,
// so that a panel draws the menu itself: at the icon, on X11 and Wayland
// alike. The export follows the menu: actions added, removed or changed are
// announced with LayoutUpdated.

#include "ui/tray/DBusTrayTypes.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QPointer>
#include <QSet>

class QAction;
class QMenu;

// QtDBus gives the call's context to an adaptor's parent: the exporter.
class TDBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    TDBusMenuExporter(QDBusConnection bus, QString path, QMenu* menu, QObject* parent = nullptr);
    ~TDBusMenuExporter() override;

    QString path() const { return m_path; }
    uint revision() const { return m_revision; }

    DBusMenuLayoutItem layout(int parentId, int depth, const QStringList& names);
    QVariantMap properties(int id, const QStringList& names);
    bool exists(int id);
    // A click on an item: its action is triggered once the call has returned.
    bool activate(int id);

    // Answers the bus call being handled with an error instead of a result.
    void refuseCall(QDBusError::ErrorType type, const QString& message);

    // "&Close program" as the bus spells it: "_Close program".
    static QString busLabel(const QString& text);

signals:
    void layoutUpdated(uint revision, int parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int idOf(QAction* action);
    QAction* actionOf(int id);
    QMenu* menuOf(int id);
    void watch(QMenu* menu);
    void changed();

    QDBusConnection m_bus;
    QString m_path;
    QPointer<QMenu> m_menu;
    QSet<QMenu*> m_watched;
    QHash<QAction*, int> m_ids;
    QHash<int, QPointer<QAction>> m_actions;
    int m_nextId = 1;
    uint m_revision = 1;
    bool m_announcePending = false;
};

// The bus interface; it forwards to the exporter, its parent. QtDBus finds
// parameter types by their spelling, so no aliases in the signatures.
//
// Any neighbour on the session bus may call it. The menu has a handful of
// items, so a list far longer than that is refused with an error reply:
// a giant answer would stall the program, and one beyond the bus's message
// limit would cost it its connection.
class TDBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit TDBusMenuAdaptor(TDBusMenuExporter* exporter);

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // Longest list of ids, events or property names a call may carry.
    static constexpr int kMaxListSize = 256;

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   DBusMenuLayoutItem& layout);
    QList<DBusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const QList<DBusMenuEvent>& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(const QList<DBusMenuItem>& updatedProps,
                                const QList<DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    bool refuseLong(qsizetype size);

    TDBusMenuExporter* m_exporter;
    bool m_trimPending = false;
};
