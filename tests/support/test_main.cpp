#include <QApplication>
#include <gtest/gtest.h>

// Leaks of the Qt platform plugin's screen objects, which live until the
// process ends; the sanitizer build reports everything else.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QPlatformScreen::QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n";
}

int main(int argc, char** argv)
{
    // A desktop session's Qt settings change how the panel draws (scaling,
    // font DPI, style), and a theme plugin such as gtk3 opens a display of
    // its own and ends the run without one: the tests, and the program they
    // start, draw as on the device whatever the developer's session sets.
    for (const char* setting : {"QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI",
                                "QT_DEVICE_PIXEL_RATIO", "QT_SCALE_FACTOR_ROUNDING_POLICY", "XDG_CURRENT_DESKTOP",
                                "DESKTOP_SESSION", "KDE_FULL_SESSION"})
        qunsetenv(setting);
    // Offscreen unless KEL_TEST_PLATFORM names another platform (xcb under
    // Xvfb, to see the panel as a real X server draws it).
    const QByteArray platform = qgetenv("KEL_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    // The tests run on the simulated board, whatever the shell that started
    // them chose.
    qputenv("KEL_BOARD", "sim");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
