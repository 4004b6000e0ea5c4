// GoogleTest main for the window tests: a widget application on the offscreen platform, in a
// private home, with no modal window left waiting for an answer.

#include "AppPaths.h"

#include <QApplication>

#include <gtest/gtest.h>

#include "gui/ModalGuard.h"
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
    auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
    auto* guard = new quillon::test::ModalGuard;
    listeners.Append(guard);
    const int result = RUN_ALL_TESTS();
    delete listeners.Release(guard); // its timer goes before the application
    return result;
}
