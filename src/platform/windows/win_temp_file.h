#pragma once
// Private temporary files in the user's temporary folder (GetTempPathW): a
// random name from the system's generator, taken with CREATE_NEW so that a
// file someone made first is never used, and a protected access list that
// admits this user only.

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
