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
    // Offscreen unless KEL_TEST_PLATFORM names another platform (xcb under
    // Xvfb, to see the panel as a real X server draws it).
    const QByteArray platform = qgetenv("KEL_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
