// The test program gives every test a fresh home of its own under the build
// tree, so a run never reads or writes the settings of whoever runs it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

#include "cli/cli.h"
#include "platform/qt/qsettings_store.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

fs::path env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? fs::path(value) : fs::path();
}

bool inside(const fs::path& path, const fs::path& folder)
{
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

TEST(TestHome, FreshAndNamedAfterTheProcessAndTheTest)
{
    const fs::path home = env("HOME");
    ASSERT_TRUE(inside(home, CVK_TEST_HOME_ROOT)) << home;
    EXPECT_EQ(home.filename().string(),
              std::to_string(::getpid()) + "-TestHome.FreshAndNamedAfterTheProcessAndTheTest");
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        EXPECT_TRUE(inside(env(name), home)) << name << "=" << env(name);
    for (const fs::directory_entry& entry : fs::directory_iterator(home))
        EXPECT_EQ(entry.path(), env("XDG_RUNTIME_DIR")) << "left over in a fresh home";
}

// Run twice: in one process the second run must not find the first one's
// file, nor be sent to its folder by the user folder Qt remembers.
class DefaultSettingsLocation : public ::testing::TestWithParam<int> {};

TEST_P(DefaultSettingsLocation, IsTheTestsOwnHome)
{
    const fs::path expected = env("XDG_CONFIG_HOME") / "Lumrick" / "cvkeys.ini";
    EXPECT_EQ(QSettingsStore::forUser("cvkeys")->location(), expected.string());
    ASSERT_FALSE(fs::exists(expected));

    // Without --settings the tool uses the user's settings: a first start
    // stores the language it settled on there.
    std::ostringstream out, err;
    ASSERT_EQ(runCli({"--simulate", "none", "list"}, out, err), 0) << err.str();
    ASSERT_TRUE(fs::exists(expected)) << out.str();
    EXPECT_FALSE(makeFileSettingsStore(expected.string())->readText("", "Langauge", "").empty());
}

INSTANTIATE_TEST_SUITE_P(TwiceInOneProcess, DefaultSettingsLocation, ::testing::Values(1, 2));

}  // namespace
}  // namespace cvk
