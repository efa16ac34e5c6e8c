#include "platform/library_loader.h"

namespace cvk {

std::string folderListText(const std::vector<std::string>& folders)
{
    std::string text;
    for (const std::string& folder : folders) {
        if (!text.empty())
            text += ", ";
        text += folder.empty() ? "\"\"" : folder;
    }
    return text.empty() ? "(none)" : text;
}

}  // namespace cvk
