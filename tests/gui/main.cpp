// The window tests' entry point: the widgets need a QApplication
// (run with QT_QPA_PLATFORM=offscreen). Every process (ctest runs one per
// test) gets an empty home of its own under the build tree, so nothing a
// test does reaches the real user's settings, and the C locale, so the
// texts do not follow the machine's language.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    // Listing the tests (gtest_discover_tests) runs without the tests'
    // environment; no test needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::setenv("LC_ALL", "C.UTF-8", 1);
    const fs::path home = fs::path(CVK_GUI_TEST_HOME_ROOT) / std::to_string(::getpid());
    std::error_code ignored;
    fs::remove_all(home, ignored);
    fs::create_directories(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all,
                    ignored);  // Qt refuses a runtime folder others may enter
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / ".local" / "state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    // A failed run's home stays for a look at what it left.
    if (result == 0)
        fs::remove_all(home, ignored);
    return result;
}
