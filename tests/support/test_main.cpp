// Test entry: the QApplication outlives every test; widget tests run offscreen
// unless a display is asked for explicitly.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int qargc = 1;
    static char name[] = "quorbix-tests";
    static char *qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
