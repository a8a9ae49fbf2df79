// Runs the window tests with a QApplication on the offscreen platform, whose
// one screen is pinned (tests/gui/offscreen-screen.json: 1920 x 1080) so that
// where a window opens does not depend on the plugin's default.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() || platform == "offscreen"
                                   ? QByteArray("offscreen:configfile=" VORN_OFFSCREEN_SCREEN)
                                   : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
