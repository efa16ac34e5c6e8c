#include "service/isp.h"

namespace cvk::service {

namespace {

// In IspCall order, which is the order the library's names are looked up in.
constexpr std::array<std::string_view, kIspCallCount> kIspCallNames = {
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

static_assert(static_cast<int>(IspCall::EnterIspMode) + 1 == kIspCallCount);

}  // namespace

std::string_view ispCallName(IspCall call)
{
    const int index = static_cast<int>(call);
    if (index < 0 || index >= kIspCallCount)
        return {};
    return kIspCallNames[static_cast<std::size_t>(index)];
}

}  // namespace cvk::service
