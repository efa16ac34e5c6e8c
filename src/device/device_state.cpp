#include "device/device_state.h"

#include <fmt/format.h>

#include "device/models.h"

namespace cvk {

bool DeviceState::wirelessFamily() const
{
    return attached() && (modelInfo(modelCode).wireless || receiverPresent());
}

bool DeviceState::commandFamily() const { return modelInfo(modelCode).family == ReportFamily::Command; }

std::string versionSuffix(int modelCode, uint32_t version)
{
    if (modelInfo(modelCode).versionText == VersionText::TwoDigits)
        return fmt::format(":{}.{:02}\r\n", version >> 8, version & 0xFF);
    return fmt::format(":{}.{}.{:02}", version >> 12, (version >> 8) & 0xF, version & 0xFF);
}

}  // namespace cvk
