#include "config/factory_blocks.h"

#include <algorithm>

namespace cvk {

std::span<const uint8_t> factoryTable(FactoryKind kind)
{
    switch (kind) {
    case FactoryKind::Dorrin: return kDorrinFactory;
    case FactoryKind::Arvel: return kArvelFactory;
    case FactoryKind::Cindel: return kCindelFactory;
    case FactoryKind::Arvel2: return kArvel2Factory;
    case FactoryKind::Other:
    case FactoryKind::None: break;
    }
    return {};
}

std::array<uint8_t, 256> factoryBlock(FactoryKind kind, uint32_t firmwareVersion)
{
    std::array<uint8_t, 256> block{};
    const std::span<const uint8_t> table = factoryTable(kind);
    std::copy(table.begin(), table.end(), block.begin());
    if (kind == FactoryKind::Other) {
        for (const FactoryByte& b : kOtherModelsFactory)
            block[b.position] = b.value;
        if (firmwareVersion >= kOtherModelsModeFirmware)
            for (const FactoryByte& b : kOtherModelsModeFactory)
                block[b.position] = b.value;
    }
    return block;
}

}  // namespace cvk
