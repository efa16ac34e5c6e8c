// The test program's entry point. Every test runs with a home of its own: a
// fresh folder under the build tree named after the process and the test,
// so nothing a test does reaches the settings of whoever runs the suite, and
// tests running side by side never see each other's files.

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

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
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home_ / ".local" / "share").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home_ / ".local" / "state").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home_ / ".cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home_ / "run").c_str(), 1);
        // QSettings reads the user's folder from the environment once per
        // process and keeps it; the next test in the same process must not
        // inherit the previous one's (or a test's own setPath).
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QString::fromStdString(config));
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
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new IsolatedHome);
    return RUN_ALL_TESTS();
}
