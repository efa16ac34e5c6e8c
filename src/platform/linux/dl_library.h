#pragma once
// The library-loader port on dlopen: a library is taken only from a fixed
// list of absolute folders, by its full path.

#include <memory>
#include <string>
#include <vector>

#include "platform/library_loader.h"

namespace cvk {

class DlLibraryLoader final : public ILibraryLoader {
public:
    // The folders searched, in order; empty and relative entries are never
    // searched, as they would name the current directory.
    explicit DlLibraryLoader(std::vector<std::string> folders);

    // The program's own folder, then the absolute entries of
    // LD_LIBRARY_PATH, then the system's library folders.
    static std::vector<std::string> defaultFolders();

    // Loads "lib<baseName>.so" from the first folder holding it; a file
    // that is there but cannot be loaded passes the turn to the next.
    std::unique_ptr<ILoadedLibrary> load(const std::string& baseName, std::string* error = nullptr) override;

    const std::vector<std::string>& folders() const { return folders_; }

private:
    std::vector<std::string> folders_;
};

}  // namespace cvk
