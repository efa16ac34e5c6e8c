#include "platform/library_loader.h"

namespace cvk {

std::string notLoadedText(const std::string& fileName, const std::vector<std::string>& folders,
                          const std::string& failures)
{
    if (!failures.empty())
        return failures;
    std::string text;
    for (const std::string& folder : folders) {
        if (!text.empty())
            text += ", ";
        text += folder.empty() ? "\"\"" : folder;
    }
    return fileName + " is in none of the folders searched: " + (text.empty() ? "(none)" : text);
}

}  // namespace cvk
