// Private temporary files: content as given, a name of its own each time,
// gone with the owner, and a clear error where the folder is missing.

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/windows/utf.h"
#include "platform/windows/win_temp_file.h"

namespace cvk {
namespace {

bool exists(const std::string& path)
{
    return ::GetFileAttributesW(win::wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> contentOf(const std::string& path)
{
    std::ifstream in(std::filesystem::path(win::wide(path)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WinTempFiles, HoldsTheContentAndGoesWithItsOwner)
{
    WinTempFiles files;
    for (const std::size_t length : {0u, 1u, 4096u, 300000u}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> content(length);
        for (std::size_t k = 0; k < length; ++k)
            content[k] = static_cast<uint8_t>(k * 13 + 1);
        std::string error;
        std::unique_ptr<ITempFile> file = files.create(content, &error);
        ASSERT_NE(file, nullptr) << error;
        EXPECT_EQ(contentOf(file->path()), content);
        const std::string path = file->path();
        file.reset();
        EXPECT_FALSE(exists(path));
    }
}

TEST(WinTempFiles, EveryFileGetsANewName)
{
    WinTempFiles files;
    const std::vector<uint8_t> content{1, 2, 3};
    auto first = files.create(content, nullptr);
    auto second = files.create(content, nullptr);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->path(), second->path());
}

TEST(WinTempFiles, MissingFolderIsAClearError)
{
    WinTempFiles files("C:\\no-such-folder-for-cvkeys");
    std::string error;
    EXPECT_EQ(files.create(std::vector<uint8_t>{1}, &error), nullptr);
    EXPECT_NE(error.find("C:\\no-such-folder-for-cvkeys"), std::string::npos) << error;
}

}  // namespace
}  // namespace cvk
