#pragma once
// The private temporary file port: a file only this user can read, under a
// name nobody else can predict or take first, removed with its owner.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace cvk {

class ITempFile {
public:
    virtual ~ITempFile() = default;  // removes the file
    virtual const std::string& path() const = 0;
};

class ITempFiles {
public:
    virtual ~ITempFiles() = default;
    // Creates a new private file holding content. Null on failure with the
    // reason in *error.
    virtual std::unique_ptr<ITempFile> create(std::span<const uint8_t> content, std::string* error) = 0;
};

}  // namespace cvk
