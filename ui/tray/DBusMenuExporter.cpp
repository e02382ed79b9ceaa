#include "ui/tray/DBusMenuExporter.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>

#ifdef __GLIBC__
#include <malloc.h>
#endif

TDBusMenuExporter::TDBusMenuExporter(QDBusConnection bus, QString path, QMenu* menu,
                                     QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_path(std::move(path)), m_menu(menu) {
    registerDBusTrayTypes();
    new TDBusMenuAdaptor(this);
    watch(menu);
    m_bus.registerObject(m_path, this, QDBusConnection::ExportAdaptors);
}

TDBusMenuExporter::~TDBusMenuExporter() {
    m_bus.unregisterObject(m_path);
}

void TDBusMenuExporter::refuseCall(QDBusError::ErrorType type, const QString& message) {
    if (calledFromDBus())
        sendErrorReply(type, message);
}

QString TDBusMenuExporter::busLabel(const QString& text) {
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                label += QLatin1Char('&');
                ++i;
            } else {
                label += QLatin1Char('_');
            }
        } else if (c == QLatin1Char('_')) {
            label += QStringLiteral("__"); // a literal underscore, not a mnemonic
        } else {
            label += c;
        }
    }
    return label;
}

void TDBusMenuExporter::watch(QMenu* menu) {
    if (menu && !m_watched.contains(menu)) {
        m_watched.insert(menu);
        menu->installEventFilter(this);
        connect(menu, &QObject::destroyed, this, [this, menu] { m_watched.remove(menu); });
    }
}

bool TDBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
    case QEvent::ActionChanged:
        changed();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// Several changes in a row are announced once, after they are done.
void TDBusMenuExporter::changed() {
    if (m_announcePending)
        return;
    m_announcePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_announcePending = false;
            ++m_revision;
            emit layoutUpdated(m_revision, 0);
        },
        Qt::QueuedConnection);
}

int TDBusMenuExporter::idOf(QAction* action) {
    auto it = m_ids.constFind(action);
    if (it != m_ids.constEnd())
        return *it;
    const int id = m_nextId++;
    m_ids.insert(action, id);
    m_actions.insert(id, action);
    connect(action, &QObject::destroyed, this, [this, action, id] {
        m_ids.remove(action);
        m_actions.remove(id);
    });
    return id;
}

QAction* TDBusMenuExporter::actionOf(int id) {
    return m_actions.value(id).data();
}

QMenu* TDBusMenuExporter::menuOf(int id) {
    if (id == 0)
        return m_menu.data();
    QAction* action = actionOf(id);
    return action ? action->menu() : nullptr;
}

bool TDBusMenuExporter::exists(int id) {
    return id == 0 ? !m_menu.isNull() : actionOf(id) != nullptr;
}

QVariantMap TDBusMenuExporter::properties(int id, const QStringList& names) {
    QVariantMap p;
    if (id == 0) {
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (QAction* a = actionOf(id)) {
        if (a->isSeparator()) {
            p.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            p.insert(QStringLiteral("label"), busLabel(a->text()));
            p.insert(QStringLiteral("enabled"), a->isEnabled());
            if (a->isCheckable()) {
                p.insert(QStringLiteral("toggle-type"),
                         a->actionGroup() && a->actionGroup()->isExclusive()
                             ? QStringLiteral("radio")
                             : QStringLiteral("checkmark"));
                p.insert(QStringLiteral("toggle-state"), a->isChecked() ? 1 : 0);
            }
            if (a->menu())
                p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        }
        p.insert(QStringLiteral("visible"), a->isVisible());
    }
    if (!names.isEmpty()) {
        for (auto it = p.begin(); it != p.end();)
            it = names.contains(it.key()) ? std::next(it) : p.erase(it);
    }
    return p;
}

DBusMenuLayoutItem TDBusMenuExporter::layout(int parentId, int depth, const QStringList& names) {
    DBusMenuLayoutItem item;
    item.id = parentId;
    item.properties = properties(parentId, names);
    QMenu* menu = menuOf(parentId);
    if (!menu || depth == 0)
        return item;
    watch(menu);
    for (QAction* child : menu->actions())
        item.children.append(layout(idOf(child), depth < 0 ? -1 : depth - 1, names));
    return item;
}

bool TDBusMenuExporter::activate(int id) {
    QAction* action = actionOf(id);
    if (!action)
        return false;
    // The handler runs after the host's call has been answered, as after a
    // menu has closed; "Close program" may end the process.
    QPointer<QAction> guard(action);
    QMetaObject::invokeMethod(
        this,
        [guard] {
            if (guard && guard->isEnabled())
                guard->trigger();
        },
        Qt::QueuedConnection);
    return true;
}

// ---- the bus interface

TDBusMenuAdaptor::TDBusMenuAdaptor(TDBusMenuExporter* exporter)
    : QDBusAbstractAdaptor(exporter), m_exporter(exporter) {
    connect(exporter, &TDBusMenuExporter::layoutUpdated, this, &TDBusMenuAdaptor::LayoutUpdated);
}

QString TDBusMenuAdaptor::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                 : QStringLiteral("ltr");
}

bool TDBusMenuAdaptor::refuseLong(qsizetype size) {
    if (size <= kMaxListSize)
        return false;
    m_exporter->refuseCall(QDBusError::LimitsExceeded,
                           QStringLiteral("at most %1 entries per call").arg(kMaxListSize));
#ifdef __GLIBC__
    // The call's arguments were unpacked before we saw them: up to the bus's
    // message limit, much of it in small pieces that the heap would keep.
    // Once they are freed, after this call, the heap gives the pages back.
    if (!m_trimPending) {
        m_trimPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_trimPending = false;
                ::malloc_trim(0);
            },
            Qt::QueuedConnection);
    }
#endif
    return true;
}

uint TDBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layout) {
    if (refuseLong(propertyNames.size()))
        return 0;
    layout = m_exporter->layout(parentId, recursionDepth, propertyNames);
    return m_exporter->revision();
}

// Ids that do not exist are left out, and each id is answered once.
QList<DBusMenuItem> TDBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                         const QStringList& propertyNames) {
    if (refuseLong(ids.size()) || refuseLong(propertyNames.size()))
        return {};
    DBusMenuItemList items;
    QSet<int> done;
    for (int id : ids)
        if (!done.contains(id) && m_exporter->exists(id)) {
            done.insert(id);
            items.append({id, m_exporter->properties(id, propertyNames)});
        }
    return items;
}

QDBusVariant TDBusMenuAdaptor::GetProperty(int id, const QString& name) {
    const QVariant value =
        m_exporter->exists(id) ? m_exporter->properties(id, {name}).value(name) : QVariant();
    if (!value.isValid()) {
        // An empty variant cannot be sent: no answer at all would leave the
        // caller waiting for its timeout.
        m_exporter->refuseCall(QDBusError::InvalidArgs, m_exporter->exists(id)
                                                            ? QStringLiteral("no such property")
                                                            : QStringLiteral("no such item"));
        return QDBusVariant(QString());
    }
    return QDBusVariant(value);
}

void TDBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (eventId == QLatin1String("clicked"))
        m_exporter->activate(id);
}

QList<int> TDBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent>& events) {
    if (refuseLong(events.size()))
        return {};
    QList<int> errors;
    for (const DBusMenuEvent& e : events) {
        if (!m_exporter->exists(e.id))
            errors.append(e.id);
        else if (e.eventId == QLatin1String("clicked"))
            m_exporter->activate(e.id);
    }
    return errors;
}

bool TDBusMenuAdaptor::AboutToShow(int) {
    return false; // the layout is always current
}

QList<int> TDBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    if (refuseLong(ids.size()))
        return {};
    for (int id : ids)
        if (!m_exporter->exists(id))
            idErrors.append(id);
    return {};
}
