// The language file loader: the input is a language file's contents, read
// from a file as the program reads it at start-up.

#include <cstdint>
#include <string_view>

#include "fuzz_common.h"
#include "texts/text_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const cvk::fuzz::ScratchFile file("language");
    if (size > cvk::CTextTable::kMaxFileBytes || !file.write(data, size))
        return 0;
    cvk::CTextTable fromFile;
    if (!fromFile.loadLanguageFile(file.path()))
        __builtin_trap();  // a regular file below the size limit always loads
    // The file and the same bytes in memory give the same table.
    cvk::CTextTable fromText;
    fromText.loadLanguageText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (fromFile.size() != fromText.size() || fromFile.size() > cvk::CTextTable::kMaxLines + 1)
        __builtin_trap();
    for (size_t i = 0; i < fromFile.size(); ++i) {
        if (fromFile.entry(i) != fromText.entry(i) ||
            fromFile.entry(i).size() > 4 * cvk::CTextTable::kMaxLineBytes)
            __builtin_trap();
        (void)fromFile.lookup(static_cast<int64_t>(i));
    }
    (void)fromFile.lookup(-1);
    (void)fromFile.lookup(int64_t{0xFFFFFFFF});
    return 0;
}
