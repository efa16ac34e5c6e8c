#pragma once
// The library-loader port: loads a shared library by its base name from safe
// folders only (never the current directory) and looks up its symbols.
// Real backend: dlopen (LoadLibrary on Windows); tests load a stand-in
// library they build themselves.

#include <memory>
#include <string>
#include <vector>

namespace cvk {

class ILoadedLibrary {
public:
    virtual ~ILoadedLibrary() = default;  // unloads the library
    // The address of an exported symbol, or null when it is not exported.
    virtual void* symbol(const char* name) = 0;
    // Where it was loaded from.
    virtual std::string path() const = 0;
};

class ILibraryLoader {
public:
    virtual ~ILibraryLoader() = default;
    // baseName without prefix or suffix ("AtJniIsp"); the backend adds the
    // platform's file name form. Null when it is in none of the safe
    // folders or cannot be loaded; the reason goes to *error when given.
    virtual std::unique_ptr<ILoadedLibrary> load(const std::string& baseName,
                                                 std::string* error = nullptr) = 0;
};

// The error of a load that loaded nothing: the failures met on the way, or,
// with none, that the file is in none of the folders (listed "a, b", an
// empty entry as "", no folder at all as "(none)").
std::string notLoadedText(const std::string& fileName, const std::vector<std::string>& folders,
                          const std::string& failures);

}  // namespace cvk
