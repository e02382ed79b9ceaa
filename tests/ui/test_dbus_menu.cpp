#include "ui/tray/DBusMenuExporter.h"
#include "ui/tray/DBusTrayTypes.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// The bus is not needed to read the layout: a connection that never
// connected only makes the export a no-op.
QDBusConnection noBus() {
    return QDBusConnection(QStringLiteral("bv-no-bus"));
}

QStringList entries(const DBusMenuLayoutItem& root) {
    QStringList out;
    for (const DBusMenuLayoutItem& item : root.children)
        out << (item.properties.value("type").toString() == "separator"
                    ? QStringLiteral("-")
                    : item.properties.value("label").toString());
    return out;
}
} // namespace

TEST(DBusMenuTest, LabelsKeepTheirMnemonicsInTheBusSpelling) {
    EXPECT_EQ(TDBusMenuExporter::busLabel("Save && quit"), "Save & quit");
    EXPECT_EQ(TDBusMenuExporter::busLabel("snake_case &x"), "snake__case _x");
    EXPECT_EQ(TDBusMenuExporter::busLabel("trailing &"), "trailing _");
}

// The export follows the menu's actions, whatever they are: an item added
// later appears in its place, announced with a new revision; hidden and
// disabled items say so; a click triggers the action once the call is done.
TEST(DBusMenuTest, TheExportFollowsTheMenusActions) {
    QMenu menu;
    QAction* show = menu.addAction("&Show window");
    QAction* about = menu.addAction("&About...");
    menu.addSeparator();
    QAction* close = menu.addAction("&Close program");
    TDBusMenuExporter exporter(noBus(), "/MenuBar", &menu);

    DBusMenuLayoutItem root = exporter.layout(0, -1, {});
    const int closeId = root.children[3].id;

    QSignalSpy updated(&exporter, &TDBusMenuExporter::layoutUpdated);
    const uint revision = exporter.revision();
    auto* history = new QAction("&History...", &menu);
    menu.insertAction(about, history);
    about->setEnabled(false);
    QTRY_COMPARE(updated.count(), 1); // the two changes announced once
    EXPECT_GT(exporter.revision(), revision);

    root = exporter.layout(0, -1, {});
    EXPECT_EQ(entries(root),
              QStringList({"_Show window", "_History...", "_About...", "-", "_Close program"}));
    EXPECT_EQ(root.children[4].id, closeId) << "ids stay with their actions";
    EXPECT_FALSE(root.children[2].properties.value("enabled").toBool());
    EXPECT_EQ(exporter.properties(closeId, {"label"}),
              QVariantMap({{"label", QStringLiteral("_Close program")}}));
    EXPECT_TRUE(exporter.layout(0, 0, {}).children.isEmpty()) << "depth 0: the root alone";

    // A disabled item is not triggered, an unknown one refused; a removed one is gone.
    int shown = 0, closed = 0, abouts = 0;
    QObject::connect(show, &QAction::triggered, [&] { ++shown; });
    QObject::connect(close, &QAction::triggered, [&] { ++closed; });
    QObject::connect(about, &QAction::triggered, [&] { ++abouts; });
    exporter.activate(root.children[2].id);
    EXPECT_TRUE(exporter.activate(closeId));
    EXPECT_EQ(closed, 0) << "not inside the host's call";
    QTRY_COMPARE(closed, 1);
    EXPECT_EQ(abouts, 0);
    EXPECT_FALSE(exporter.activate(9999));
    delete history;
    EXPECT_EQ(entries(exporter.layout(0, -1, {})).size(), 4);
    EXPECT_EQ(shown, 0);
}
