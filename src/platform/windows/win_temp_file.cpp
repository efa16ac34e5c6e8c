#include "platform/windows/win_temp_file.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// bcrypt.h needs the types of windows.h.
// clang-format off
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

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
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    // A taken name is someone else's file: draw again, a few times.
    for (int attempt = 0; attempt < 8 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        const std::optional<std::string> name = randomName();
        if (!name)
            return fail("cannot create a temporary file in " + folder_ + ": no random name");
        path = folder_ + '\\' + *name;
        handle = ::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
