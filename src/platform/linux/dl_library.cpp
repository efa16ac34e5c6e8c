#include "platform/linux/dl_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace cvk {

namespace {

namespace fs = std::filesystem;

// The multiarch folder name of the architecture we were built for.
constexpr const char* multiarchTriplet()
{
#if defined(__x86_64__) && defined(__ILP32__)
    return "x86_64-linux-gnux32";
#elif defined(__x86_64__)
    return "x86_64-linux-gnu";
#elif defined(__i386__)
    return "i386-linux-gnu";
#elif defined(__aarch64__)
    return "aarch64-linux-gnu";
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
    return "arm-linux-gnueabihf";
#elif defined(__arm__)
    return "arm-linux-gnueabi";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64-linux-gnu";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "powerpc64le-linux-gnu";
#elif defined(__s390x__)
    return "s390x-linux-gnu";
#elif defined(__mips__) && defined(__LP64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "mips64el-linux-gnuabi64";
#elif defined(__loongarch64)
    return "loongarch64-linux-gnu";
#else
    return nullptr;
#endif
}

bool isSafeFolder(const std::string& folder) { return !folder.empty() && folder.front() == '/'; }

class DlLoadedLibrary final : public ILoadedLibrary {
public:
    DlLoadedLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~DlLoadedLibrary() override { ::dlclose(handle_); }
    DlLoadedLibrary(const DlLoadedLibrary&) = delete;
    DlLoadedLibrary& operator=(const DlLoadedLibrary&) = delete;

    void* symbol(const char* name) override { return name ? ::dlsym(handle_, name) : nullptr; }
    std::string path() const override { return path_; }

private:
    void* handle_;
    std::string path_;
};

}  // namespace

DlLibraryLoader::DlLibraryLoader(std::vector<std::string> folders) : folders_(std::move(folders)) {}

std::vector<std::string> DlLibraryLoader::defaultFolders()
{
    std::vector<std::string> folders;
    std::error_code failed;
    const fs::path exe = fs::read_symlink("/proc/self/exe", failed);
    if (!failed && exe.is_absolute())
        folders.push_back(exe.parent_path().string());

    if (const char* list = std::getenv("LD_LIBRARY_PATH")) {
        std::string_view rest(list);
        while (true) {
            const std::size_t colon = rest.find(':');
            const std::string entry(rest.substr(0, colon));
            if (isSafeFolder(entry))
                folders.push_back(entry);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }

    folders.emplace_back("/usr/local/lib");
    if (const char* triplet = multiarchTriplet()) {
        folders.push_back(std::string("/usr/lib/") + triplet);
        folders.push_back(std::string("/lib/") + triplet);
    }
    folders.emplace_back("/usr/lib");
    folders.emplace_back("/lib");
    return folders;
}

std::unique_ptr<ILoadedLibrary> DlLibraryLoader::load(const std::string& baseName, std::string* error)
{
    const std::string fileName = "lib" + baseName + ".so";
    if (baseName.empty() || baseName.find('/') != std::string::npos) {
        if (error)
            *error = "not a library name: \"" + baseName + "\"";
        return nullptr;
    }
    // Our own search instead of dlopen's: given a bare name, dlopen would
    // also look where LD_LIBRARY_PATH's empty entries or a RUNPATH of "."
    // point, that is the current directory, which anyone may fill.
    std::string failures;
    for (const std::string& folder : folders_) {
        if (!isSafeFolder(folder))
            continue;
        const std::string path = (fs::path(folder) / fileName).string();
        std::error_code failed;
        if (!fs::is_regular_file(path, failed))
            continue;
        ::dlerror();
        if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return std::make_unique<DlLoadedLibrary>(handle, path);
        const char* reason = ::dlerror();
        if (!failures.empty())
            failures += "; ";
        failures += reason ? reason : path + ": cannot be loaded";
    }
    if (error)
        *error = notLoadedText(fileName, folders_, failures);
    return nullptr;
}

}  // namespace cvk
