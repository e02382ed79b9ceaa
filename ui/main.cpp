// Placeholder program: shows the monitor's state until the real windows land.
#include "connection/ZorvRasConnect.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brantle Vantrel");
    QLabel window("Not connected.");
    window.setWindowTitle("Brantle Vantrel");
    TZorvRasConnect monitor(&window);
    monitor.setLanguage(english);
    monitor.OnStatusChange = [&](TZorvRasConnect* m, bool) { window.setText(m->Status()); };
    monitor.setDoTimer(true);
    window.resize(321, 189);
    window.show();
    return app.exec();
}
