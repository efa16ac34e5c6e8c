// The library loader takes libraries only by full path from its folders: a
// library that is elsewhere, even one the system would find by its bare
// name, is not loaded, and the error says where it looked.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>

#include "platform/windows/utf.h"
#include "platform/windows/win_library.h"

namespace cvk {
namespace {

TEST(WinLibraryLoader, MissingLibraryGivesNullAndSaysWhere)
{
    WinLibraryLoader loader({"C:\\no-such-folder-for-cvkeys"});
    std::string error;
    EXPECT_EQ(loader.load("CvkNoSuchLibrary", &error), nullptr);
    EXPECT_NE(error.find("CvkNoSuchLibrary.dll"), std::string::npos) << error;
    EXPECT_NE(error.find("C:\\no-such-folder-for-cvkeys"), std::string::npos) << error;
}

TEST(WinLibraryLoader, BareNamesAreNeverSearched)
{
    // kernel32 is on the system's own search path, in no folder given here.
    for (const std::vector<std::string>& folders :
         {std::vector<std::string>{}, std::vector<std::string>{"", ".", "relative", "\\rooted", "C:drive"}}) {
        WinLibraryLoader loader(folders);
        std::string error;
        EXPECT_EQ(loader.load("kernel32", &error), nullptr);
        EXPECT_FALSE(error.empty());
    }
}

TEST(WinLibraryLoader, NamesWithAPathAreRefused)
{
    WinLibraryLoader loader({"C:\\windows\\system32"});
    for (const char* name : {"", "..\\kernel32", "C:\\windows\\system32\\kernel32", "sub/kernel32"}) {
        std::string error;
        EXPECT_EQ(loader.load(name, &error), nullptr) << name;
        EXPECT_NE(error.find("not a library name"), std::string::npos) << error;
    }
}

TEST(WinLibraryLoader, LoadsByFullPathAndFindsSymbols)
{
    WinLibraryLoader loader({"C:\\no-such-folder-for-cvkeys", "C:\\windows\\system32"});
    std::string error;
    const auto library = loader.load("kernel32", &error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(library->path(), "C:\\windows\\system32\\kernel32.dll");
    EXPECT_NE(library->symbol("GetTickCount"), nullptr);
    EXPECT_EQ(library->symbol("NoSuchSymbolInKernel32"), nullptr);
    EXPECT_EQ(library->symbol(nullptr), nullptr);
}

// A folder of its own holding "CvkStandIn.dll", a copy of a system library,
// and the current directory set to it while the test runs.
class StandInLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::array<wchar_t, MAX_PATH + 1> temp{};
        ASSERT_GT(::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()), 0u);
        folder = win::narrow(temp.data()) + "cvkeys-library-test-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryW(win::wide(folder).c_str(), nullptr);
        std::array<wchar_t, MAX_PATH + 1> system{};
        ASSERT_GT(::GetSystemDirectoryW(system.data(), static_cast<DWORD>(system.size())), 0u);
        const std::wstring source = std::wstring(system.data()) + L"\\version.dll";
        ASSERT_TRUE(::CopyFileW(source.c_str(), win::wide(file()).c_str(), FALSE));
        ASSERT_GT(::GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data()), 0u);
        ASSERT_TRUE(::SetCurrentDirectoryW(win::wide(folder).c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(previous.data());
        ::DeleteFileW(win::wide(file()).c_str());
        ::RemoveDirectoryW(win::wide(folder).c_str());
    }
    std::string file() const { return folder + "\\CvkStandIn.dll"; }

    std::string folder;
    std::array<wchar_t, MAX_PATH + 1> previous{};
};

TEST_F(StandInLibrary, TheCurrentFolderIsNeverSearched)
{
    for (const std::vector<std::string>& folders :
         {std::vector<std::string>{}, std::vector<std::string>{"", ".", ".\\", "CvkStandIn"}}) {
        WinLibraryLoader loader(folders);
        std::string error;
        EXPECT_EQ(loader.load("CvkStandIn", &error), nullptr);
        EXPECT_NE(error.find("CvkStandIn.dll is in none of the folders searched"), std::string::npos)
            << error;
    }
}

TEST_F(StandInLibrary, LoadsFromAGivenFolder)
{
    WinLibraryLoader loader({folder});
    std::string error;
    const auto library = loader.load("CvkStandIn", &error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(library->path(), file());
    EXPECT_NE(library->symbol("GetFileVersionInfoSizeW"), nullptr);
}

TEST(WinLibraryLoader, DefaultIsTheProgramsFolder)
{
    const std::vector<std::string> folders = WinLibraryLoader::defaultFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders.front().find(':'), 1u) << folders.front();
}

}  // namespace
}  // namespace cvk
