#pragma once
// Private temporary files in $TMPDIR (or /tmp): mkstemp gives a name nobody
// can predict or create first, and mode 0600.

#include <string>

#include "platform/temp_file.h"

namespace cvk {

class PosixTempFiles final : public ITempFiles {
public:
    // folder empty: $TMPDIR when it is an absolute path, else /tmp.
    explicit PosixTempFiles(std::string folder = {});
    std::unique_ptr<ITempFile> create(std::span<const uint8_t> content, std::string* error) override;

private:
    std::string folder_;
};

}  // namespace cvk
