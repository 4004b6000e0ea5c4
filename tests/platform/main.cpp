// GoogleTest main for the platform tests: a QGuiApplication must exist before fonts, images or
// painters are used. Runs offscreen unless the environment chooses a platform, in a private home.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "platform/PrivateHome.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    quillon::test::PrivateHome home; // outlives the application
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
