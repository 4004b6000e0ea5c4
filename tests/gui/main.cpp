// GoogleTest main for the window tests: a widget application on the offscreen platform.

#include "AppPaths.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The windows read and write the settings file and the data folder: never the user's own.
    char home[] = "/tmp/quillon-gui-tests-XXXXXX";
    if (::mkdtemp(home)) {
        setenv("HOME", home, 1);
        setenv("XDG_CONFIG_HOME", (std::string(home) + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (std::string(home) + "/data").c_str(), 1);
    }
    QApplication app(argc, argv);
    quillon::setApplicationNames();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
