// Entry point of the widget tests: one QApplication for the whole run, then GoogleTest.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // CTest lists the tests by running this without the tests' own environment; with no
    // display to reach, the listing would abort before GoogleTest is asked anything.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuorlyTest"));
    QApplication::setApplicationName(QStringLiteral("QuorlyTest"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
