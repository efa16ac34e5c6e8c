// cvkeys-cli end to end, in-process, against simulated devices.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"

namespace cvk {
namespace {

struct CliResult {
    int rc;
    std::string out;
    std::string err;
};

CliResult cli(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int rc = runCli(args, out, err);
    return {rc, out.str(), err.str()};
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CliList, OneDorrinAloneOrWithItsReceiver)
{
    for (auto args : {std::vector<std::string>{"--simulate", "dorrin", "list"},
                      std::vector<std::string>{"--simulate", "dorrin-receiver", "--simulate", "dorrin", "list"}}) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "devices: 1\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "model: 8\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "name: Corvane Dorrin\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "firmware: Corvane hardware version:1.")) << r.out;
        EXPECT_TRUE(contains(r.out, "receiver: none\n")) << r.out;
    }
}

TEST(CliList, StatusTexts)
{
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"--simulate", "arvel:fw=0x1400", "list"},
         "devices: 1000\nstatus: Please dowload and install the latest version of CV Keys.\n"},
        {{"--simulate", "none", "list"}, "devices: 0\nstatus: No reprogrammable Corvane detected.\n"},
        {{"--simulate", "essom", "--simulate", "cindel", "list"},
         "devices: 2\nstatus: Multiple reprogrammable Corvane detected.\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with(c.expected)) << r.out;
    }
}

TEST(CliList, ReceiverAloneShowsItsId)
{
    const CliResult r = cli({"--simulate", "receiver:id=0a1b2c3d", "list"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(contains(r.out, "receiver: attached, id 0a:1b:2c:3d\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "No reprogrammable")) << r.out;
}

TEST(CliList, WritesTheTranscript)
{
    const std::filesystem::path trace = std::filesystem::temp_directory_path() / "cvkeys-cli-trace-test.txt";
    std::filesystem::remove(trace);
    const CliResult r = cli({"--simulate", "dorrin-receiver", "--simulate", "dorrin", "--trace", trace.string(), "list"});
    ASSERT_EQ(r.rc, 0) << r.err;
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(contains(text.str(), " 07 out 84 00 00 00 00 00 00 00\n")) << text.str();
    EXPECT_TRUE(contains(text.str(), " 08 out 84 70 ")) << text.str();
    std::filesystem::remove(trace);
}

TEST(CliUsage, BadInputIsRefusedWithAMessage)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--simulate", "toaster", "list"}, "toaster"},
        {{"--simulate", "dorrin:fw=zz", "list"}, "fw"},
        {{"--simulate", "dorrin", "frobnicate"}, "unknown step 'frobnicate'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--simulate"}, "--simulate needs a value"},
        {{}, "usage:"},
        {{"--trace", "/tmp/x", "list"}, "--trace records simulated devices only"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 2);
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    }
}

TEST(CliUdevRule, NamesTheVendorAndUaccess)
{
    const CliResult r = cli({"udev-rule"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_TRUE(contains(r.out, "KERNEL==\"hidraw*\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "TAG+=\"uaccess\"")) << r.out;
    EXPECT_TRUE(contains(r.out, "ATTRS{idVendor}==\"")) << r.out;
}

}  // namespace
}  // namespace cvk
