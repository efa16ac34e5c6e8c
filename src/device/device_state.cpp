#include "device/device_state.h"

#include <fmt/format.h>

namespace cvk {

std::string displayName(int modelCode)
{
    switch (modelCode) {
    case kModelEssom: return "Corvane Essom";
    case kModelDorrinReceiver:
    case kModelDorrin: return "Corvane Dorrin";
    case kModelCindel: return "Corvane Cindel";
    case kModelBrill: return "Corvane Brill";
    case kModelArvel2: return "Corvane Arvel 2.0";
    default: return "Corvane Arvel";
    }
}

std::string versionSuffix(int modelCode, uint32_t version)
{
    if (modelCode == kModelArvelOld)
        return fmt::format(":{}.{:02}\r\n", version >> 8, version & 0xFF);
    return fmt::format(":{}.{}.{:02}", version >> 12, (version >> 8) & 0xF, version & 0xFF);
}

}  // namespace cvk
