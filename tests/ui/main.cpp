// Widget tests need one application for the whole run. Without a display
// (test discovery at build time runs outside ctest's environment) they use
// the offscreen platform.
#include "ui/app/AppErrors.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv); // failures leaving handlers are caught as in the program
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
