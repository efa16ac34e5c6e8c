#include "config/factory_blocks.h"

#include <algorithm>

namespace cvk {

std::array<uint8_t, 256> factoryBlock(int modelCode, uint32_t firmwareVersion)
{
    std::array<uint8_t, 256> block{};
    const auto copyTable = [&block](const auto& table) {
        std::copy(table.begin(), table.end(), block.begin());
    };
    switch (modelCode) {
    case 7:
    case 8:
    case 10: copyTable(kDorrinFactory); break;
    case 5: copyTable(kArvelFactory); break;
    case 9: copyTable(kCindelFactory); break;
    case 11: copyTable(kArvel2Factory); break;
    default:
        if (modelCode <= 1)
            break;
        for (const FactoryByte& b : kOtherModelsFactory)
            block[b.position] = b.value;
        if (firmwareVersion >= kOtherModelsModeFirmware)
            for (const FactoryByte& b : kOtherModelsModeFactory)
                block[b.position] = b.value;
        break;
    }
    return block;
}

}  // namespace cvk
