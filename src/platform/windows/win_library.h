#pragma once
// The library-loader port on LoadLibraryExW: a library is taken only from a
// list of absolute folders, by its full path, never by a bare name (which
// Windows would also look for in the current directory and along PATH).

#include <memory>
#include <string>
#include <vector>

#include "platform/library_loader.h"

namespace cvk {

class WinLibraryLoader final : public ILibraryLoader {
public:
    // The folders searched, in order (UTF-8); relative entries are never
    // searched.
    explicit WinLibraryLoader(std::vector<std::string> folders = defaultFolders());

    // The program's own folder.
    static std::vector<std::string> defaultFolders();

    // Loads "<baseName>.dll" from the first folder holding it; its own
    // dependencies come from its folder and System32 only. A file that is there but
    // cannot be loaded passes the turn to the next folder.
    std::unique_ptr<ILoadedLibrary> load(const std::string& baseName, std::string* error = nullptr) override;

    const std::vector<std::string>& folders() const { return folders_; }

private:
    std::vector<std::string> folders_;
};

}  // namespace cvk
