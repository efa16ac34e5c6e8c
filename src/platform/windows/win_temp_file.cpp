#include "platform/windows/win_temp_file.h"

#include <windows.h>
// bcrypt.h and sddl.h need the types of windows.h.
// clang-format off
#include <bcrypt.h>
#include <sddl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "platform/windows/utf.h"

namespace cvk {

namespace {

class WinTempFile final : public ITempFile {
public:
    explicit WinTempFile(std::string path) : path_(std::move(path)) {}
    ~WinTempFile() override { ::DeleteFileW(win::wide(path_).c_str()); }
    WinTempFile(const WinTempFile&) = delete;
    WinTempFile& operator=(const WinTempFile&) = delete;
    const std::string& path() const override { return path_; }

private:
    std::string path_;
};

std::optional<std::string> randomName()
{
    std::array<uint8_t, 12> random{};
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, random.data(), static_cast<ULONG>(random.size()),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return std::nullopt;
    std::string name = "cvkeys-image-";
    for (uint8_t b : random)
        name += fmt::format("{:02x}", b);
    return name + ".hex";
}

// The SID of this process's user as SDDL text, or empty.
std::wstring userSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<DWORD> storage(size / sizeof(DWORD) + 1);  // DWORDs keep it aligned
    std::wstring text;
    wchar_t* sid = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, storage.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid, &sid)) {
        text = sid;
        ::LocalFree(sid);
    }
    ::CloseHandle(token);
    return text;
}

// A protected access list that lets only this user in, whatever the folder
// would pass on.
class UserOnly {
public:
    UserOnly()
    {
        const std::wstring user = userSid();
        if (user.empty())
            return;
        const std::wstring sddl = L"D:P(A;;FA;;;" + user + L")";
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                   &descriptor_, nullptr))
            attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~UserOnly()
    {
        if (descriptor_)
            ::LocalFree(descriptor_);
    }
    UserOnly(const UserOnly&) = delete;
    UserOnly& operator=(const UserOnly&) = delete;
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace

WinTempFiles::WinTempFiles(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty()) {
        std::array<wchar_t, MAX_PATH + 1> path{};
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
        if (length > 0 && length < path.size())
            folder_ = win::narrow(std::wstring_view(path.data(), length));
    }
    while (!folder_.empty() && (folder_.back() == '\\' || folder_.back() == '/'))
        folder_.pop_back();
}

std::unique_ptr<ITempFile> WinTempFiles::create(std::span<const uint8_t> content, std::string* error)
{
    const auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return nullptr;
    };
    if (folder_.empty())
        return fail("no temporary folder");
    UserOnly security;
    if (!security.get())
        return fail("cannot create a temporary file in " + folder_ + ": no access list for this user");
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    // A taken name is someone else's file: draw again, a few times.
    for (int attempt = 0; attempt < 8 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        const std::optional<std::string> name = randomName();
        if (!name)
            return fail("cannot create a temporary file in " + folder_ + ": no random name");
        path = folder_ + '\\' + *name;
        handle = ::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE, 0, security.get(), CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return fail("cannot create a temporary file in " + folder_ + ": " +
                        win::errorText(::GetLastError()));
    }
    if (handle == INVALID_HANDLE_VALUE)
        return fail("cannot create a temporary file in " + folder_ + ": every name tried was taken");
    auto file = std::make_unique<WinTempFile>(path);
    std::size_t done = 0;
    bool written = true;
    DWORD code = 0;
    while (done < content.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!::WriteFile(handle, content.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            code = ::GetLastError();
            written = false;
            break;
        }
        done += wrote;
    }
    if (written && !::CloseHandle(handle)) {
        code = ::GetLastError();
        written = false;
    } else if (!written) {
        ::CloseHandle(handle);
    }
    if (!written)
        return fail("cannot write " + path + ": " + win::errorText(code));  // removes the partial file
    return file;
}

}  // namespace cvk
