// Entry point of the widget tests: one QApplication for the whole run, then GoogleTest.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuorlyTest"));
    QApplication::setApplicationName(QStringLiteral("QuorlyTest"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
