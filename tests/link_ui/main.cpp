#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    // Never the user's own settings, whatever a test forgets.
    const auto settings =
        std::filesystem::temp_directory_path() / ("vexilo-link-ui-" + std::to_string(::getpid()));
    ::setenv("VEXILO_SETTINGS", settings.c_str(), 1);
    const auto audit = settings.string() + ".audit.sqlite";
    ::setenv("VEXILO_AUDIT", audit.c_str(), 1);
    // Test discovery runs the program without the test environment, and never needs a display.
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove(settings);
    for (const char* end : {"", "-wal", "-shm"})
        std::filesystem::remove(audit + end);
    return result;
}
