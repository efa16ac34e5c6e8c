#include "texts/texts.h"

#include "texts/text_table.h"

namespace cvk {

std::string text(int id)
{
    if (const CTextTable* table = activeTexts())
        return table->lookup(id);
    const char* d = defaultText(id);
    return d ? d : "";
}

std::string text(int id, std::string_view fallback)
{
    if (const CTextTable* table = activeTexts())
        return table->lookup(id, fallback);
    return std::string(fallback);
}

}  // namespace cvk
