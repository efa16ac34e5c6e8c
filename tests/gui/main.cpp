// The window tests' entry point: the widgets need a QApplication
// (run with QT_QPA_PLATFORM=offscreen).

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // Listing the tests (gtest_discover_tests) runs without the tests'
    // environment; no test needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
