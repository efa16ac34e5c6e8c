#include "service/isp.h"

namespace cvk::service {

std::string_view ispCallName(IspCall call)
{
    static constexpr std::array<std::string_view, kIspCallCount> names{
        "ispInit",
        "ispSetLogEnabled",
        "ispSelectDevice",
        "ispSelectCommHardware",
        "ispOpenRs232Port",
        "ispSyncTarget",
        "ispParseHexFile",
        "ispBlankCheckMemory",
        "ispProgramDevice",
        "ispProgramAddrRange",
        "ispReadDevice",
        "ispReadAddrRange",
        "ispVerifyDevice",
        "ispGetLastError",
        "ispExit",
        "ispUpdateCmdsIds",
        "ispOpenCanPort",
        "ispOpenUsbPort",
        "ispSelectCanNode",
        "ispSelectMemory",
        "ispEraseDevice",
        "ispGetDeviceIndex",
        "ispDataLog",
        "ispSetDebugMode",
        "ispOpenLogFile",
        "ispExecCmd",
        "ispGetLastResult",
        "ispGetMemorySize",
        "ispReadSignatureBytes",
        "ispReadSpecialByte",
        "ispBlankCheckAddrRange",
        "ispFillBufferAddrRange",
        "ispSetSecurityLevel",
        "ispGetErrorVecPtr",
        "ispGetBufferAddrHi",
        "ispGetBufferAddrLo",
        "ispSerialize",
        "ispWriteSpecialByte",
        "ispGetLastErrorMssg",
        "ispGetErrorMssgFromIdx",
        "ispSetTimeout",
        "ispSetAutoIsp",
        "ispWriteHexFile",
        "ispSetDtrLow",
        "ispSetDtrHigh",
        "ispSetRtsLow",
        "ispSetRtsHigh",
        "ispEnterAppliMode",
        "ispEnterIspMode",
    };
    const int i = static_cast<int>(call);
    return i >= 0 && i < kIspCallCount ? names[static_cast<std::size_t>(i)] : std::string_view{};
}

}  // namespace cvk::service
