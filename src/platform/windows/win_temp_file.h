#pragma once
// Private temporary files in the user's temporary folder (GetTempPathW, in
// the user's own profile): a random name from the system's generator, taken
// with CREATE_NEW so that a file someone made first is never used.

#include <string>

#include "platform/temp_file.h"

namespace cvk {

class WinTempFiles final : public ITempFiles {
public:
    // folder empty: the user's temporary folder.
    explicit WinTempFiles(std::string folder = {});
    std::unique_ptr<ITempFile> create(std::span<const uint8_t> content, std::string* error) override;

private:
    std::string folder_;
};

}  // namespace cvk
