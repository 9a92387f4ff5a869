// GoogleTest main for tests that need a Qt application object: widgets run on
// the offscreen platform unless the environment chooses another one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#ifdef ZVIT_TEST_WIDGETS
#include <QApplication>
#endif
#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef ZVIT_TEST_WIDGETS
    if (!getenv("QT_QPA_PLATFORM") && !getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
