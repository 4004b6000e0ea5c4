// GoogleTest main for the window tests: a widget application on the offscreen platform, in a
// private home.

#include "AppPaths.h"

#include <QApplication>

#include <gtest/gtest.h>

#include "platform/PrivateHome.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    quillon::test::PrivateHome home; // outlives the application
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    quillon::setApplicationNames();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
