// The test program's entry point. Every test runs with a home of its own: a
// fresh folder under the build tree named after the process and the test,
// so nothing a test does reaches the settings of whoever runs the suite, and
// tests running side by side never see each other's files.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <QSettings>
#include <QString>
#include <unistd.h>
#endif

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "scoped_env.h"
#include "settings_location.h"

namespace {

namespace fs = std::filesystem;

std::string folderName(const ::testing::TestInfo& info)
{
    std::string name = std::to_string(::getpid()) + "-" + info.test_suite_name() + "." + info.name();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '_';
    return name;
}

class IsolatedHome : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        home_ = fs::path(CVK_TEST_HOME_ROOT) / folderName(info);
        std::error_code ignored;
        fs::remove_all(home_, ignored);
        fs::create_directories(home_ / "run");
        // Qt refuses a runtime folder others may enter.
        fs::permissions(home_ / "run", fs::perms::owner_all, ignored);
        const std::string config = (home_ / ".config").string();
        cvk::setEnv("HOME", home_.string().c_str());
        cvk::setEnv("XDG_CONFIG_HOME", config.c_str());
        cvk::setEnv("XDG_DATA_HOME", (home_ / ".local" / "share").string().c_str());
        cvk::setEnv("XDG_STATE_HOME", (home_ / ".local" / "state").string().c_str());
        cvk::setEnv("XDG_CACHE_HOME", (home_ / ".cache").string().c_str());
        cvk::setEnv("XDG_RUNTIME_DIR", (home_ / "run").string().c_str());
#ifndef _WIN32
        // QSettings reads the user's folder from the environment once per
        // process and keeps it; the next test in the same process must not
        // inherit the previous one's (or a test's own setPath).
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QString::fromStdString(config));
#endif
    }

    // A failed test's home stays for a look at what it left.
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        if (!info.result()->Failed()) {
            std::error_code ignored;
            fs::permissions(home_, fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(home_, ignored);
        }
    }

    fs::path home_;
};

}  // namespace

int main(int argc, char** argv)
{
    // The texts must not follow the machine's language (a Swedish locale
    // would pick the shipped Swedish file on a first run).
    cvk::setEnv("LC_ALL", "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new IsolatedHome);
    const int rc = RUN_ALL_TESTS();
#ifdef _WIN32
    // The tests' own registry keys (settings_location.h).
    const std::string root = cvk::test::testRegistryRoot();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(root.begin(), root.end()).c_str());
#endif
    return rc;
}
