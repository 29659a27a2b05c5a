// The window's tests run on Qt's offscreen platform: no display is needed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#if defined(__SANITIZE_THREAD__)
// Qt's own libraries are not built with ThreadSanitizer, so their internal synchronisation
// (thread pool, event dispatch, font loading) is invisible to it. Only Qt's libraries are named.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n";
}
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window remembers things with QSettings; the tests' go to a test location, never to
    // the operator's own settings.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
