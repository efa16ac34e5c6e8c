// Private temporary files: content as given, a name of its own each time,
// gone with the owner, and a clear error where the folder is missing.

#include <gtest/gtest.h>

#include <windows.h>
// clang-format off
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <algorithm>
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

std::string userSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    std::vector<DWORD> storage(256);
    DWORD size = 0;
    std::string text;
    wchar_t* sid = nullptr;
    if (::GetTokenInformation(token, TokenUser, storage.data(), static_cast<DWORD>(storage.size() * 4),
                              &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid, &sid)) {
        text = win::narrow(sid);
        ::LocalFree(sid);
    }
    ::CloseHandle(token);
    return text;
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

TEST(WinTempFiles, OnlyTheOwnerIsLetIn)
{
    WinTempFiles files;
    auto file = files.create(std::vector<uint8_t>{1}, nullptr);
    ASSERT_NE(file, nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    std::wstring path = win::wide(file->path());
    ASSERT_EQ(::GetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &acl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    wchar_t* text = nullptr;
    ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    const std::string dacl = win::narrow(text);
    ::LocalFree(text);
    ::LocalFree(descriptor);

    // Only this user and the system itself (which Wine always lists) may be
    // let in: no entry for everyone, the users or the administrators.
    const std::string user = userSid();
    ASSERT_FALSE(user.empty());
    std::vector<std::string> trustees;
    for (std::size_t open = dacl.find('('); open != std::string::npos; open = dacl.find('(', open + 1)) {
        const std::size_t close = dacl.find(')', open);
        const std::string ace = dacl.substr(open + 1, close - open - 1);
        trustees.push_back(ace.substr(ace.rfind(';') + 1));
    }
    EXPECT_NE(std::find(trustees.begin(), trustees.end(), user), trustees.end()) << dacl;
    for (const std::string& trustee : trustees)
        EXPECT_TRUE(trustee == user || trustee == "SY") << dacl;
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
