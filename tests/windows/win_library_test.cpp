// The library loader takes libraries only by full path from its folders: a
// library that is elsewhere, even one the system would find by its bare
// name, is not loaded, and the error says where it looked.

#include <gtest/gtest.h>

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

TEST(WinLibraryLoader, DefaultIsTheProgramsFolder)
{
    const std::vector<std::string> folders = WinLibraryLoader::defaultFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders.front().find(':'), 1u) << folders.front();
}

}  // namespace
}  // namespace cvk
