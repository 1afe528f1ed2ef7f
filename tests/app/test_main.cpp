// The window tests' entry point: one QApplication for all of them, on the offscreen platform
// and with SDL's silent audio driver (the dialog starts the music) unless others are asked for.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Death tests re-run this program rather than fork a process with Qt's threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
