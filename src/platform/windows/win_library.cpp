#include "platform/windows/win_library.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <utility>

#include "platform/windows/utf.h"

namespace cvk {

namespace {

// "C:\..." or "\\server\share\...": a drive-relative "C:x" or a rooted "\x"
// depends on the current drive.
bool isAbsolute(const std::string& folder)
{
    if (folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
        (folder[2] == '\\' || folder[2] == '/'))
        return true;
    return folder.size() >= 3 && (folder[0] == '\\' || folder[0] == '/') && folder[1] == folder[0];
}

class WinLoadedLibrary final : public ILoadedLibrary {
public:
    WinLoadedLibrary(HMODULE module, std::string path) : module_(module), path_(std::move(path)) {}
    ~WinLoadedLibrary() override { ::FreeLibrary(module_); }
    WinLoadedLibrary(const WinLoadedLibrary&) = delete;
    WinLoadedLibrary& operator=(const WinLoadedLibrary&) = delete;

    void* symbol(const char* name) override
    {
        // A null name, or one that is an ordinal in disguise, finds nothing.
        if (!name || reinterpret_cast<uintptr_t>(name) <= 0xFFFF)
            return nullptr;
        return reinterpret_cast<void*>(::GetProcAddress(module_, name));
    }
    std::string path() const override { return path_; }

private:
    HMODULE module_;
    std::string path_;
};

}  // namespace

WinLibraryLoader::WinLibraryLoader(std::vector<std::string> folders) : folders_(std::move(folders)) {}

std::vector<std::string> WinLibraryLoader::defaultFolders()
{
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut off: a longer path
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    return {win::narrow(std::wstring_view(path).substr(0, slash))};
}

std::unique_ptr<ILoadedLibrary> WinLibraryLoader::load(const std::string& baseName, std::string* error)
{
    const std::string fileName = baseName + ".dll";
    if (baseName.empty() || baseName.find_first_of("/\\:") != std::string::npos) {
        if (error)
            *error = "not a library name: \"" + baseName + "\"";
        return nullptr;
    }
    std::string failures;
    for (const std::string& folder : folders_) {
        if (!isAbsolute(folder))
            continue;
        std::string path = folder;
        if (path.back() != '\\' && path.back() != '/')
            path += '\\';
        path += fileName;
        const std::wstring widePath = win::wide(path);
        const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // No error box for a damaged file: the caller reports it.
        const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        // Its own dependencies come from its folder and System32 only: never
        // from the current directory or PATH, where anyone could plant one.
        HMODULE module = ::LoadLibraryExW(widePath.c_str(), nullptr,
                                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        const DWORD code = ::GetLastError();
        ::SetErrorMode(previousMode);
        if (module)
            return std::make_unique<WinLoadedLibrary>(module, path);
        if (!failures.empty())
            failures += "; ";
        failures += path + ": " + win::errorText(code);
    }
    if (error)
        *error = notLoadedText(fileName, folders_, failures);
    return nullptr;
}

}  // namespace cvk
