#pragma once
// The in-system-programming calls the firmware update makes, as one
// interface with two backends: the chip maker's library loaded at run time
// (isp_library.h) and our own DFU implementation over USB control transfers
// (isp_dfu.h). Results follow the library's conventions: an int that is
// non-zero (or exactly 1 where the sequence says so) on success, texts
// fetched afterwards with getLastResult().

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace cvk::service {

// Every entry point of the library, in the order they are looked up.
enum class IspCall : int {
    Init,
    SetLogEnabled,
    SelectDevice,
    SelectCommHardware,
    OpenRs232Port,
    SyncTarget,
    ParseHexFile,
    BlankCheckMemory,
    ProgramDevice,
    ProgramAddrRange,
    ReadDevice,
    ReadAddrRange,
    VerifyDevice,
    GetLastError,
    Exit,
    UpdateCmdsIds,
    OpenCanPort,
    OpenUsbPort,
    SelectCanNode,
    SelectMemory,
    EraseDevice,
    GetDeviceIndex,
    DataLog,
    SetDebugMode,
    OpenLogFile,
    ExecCmd,
    GetLastResult,
    GetMemorySize,
    ReadSignatureBytes,
    ReadSpecialByte,
    BlankCheckAddrRange,
    FillBufferAddrRange,
    SetSecurityLevel,
    GetErrorVecPtr,
    GetBufferAddrHi,
    GetBufferAddrLo,
    Serialize,
    WriteSpecialByte,
    GetLastErrorMssg,
    GetErrorMssgFromIdx,
    SetTimeout,
    SetAutoIsp,
    WriteHexFile,
    SetDtrLow,
    SetDtrHigh,
    SetRtsLow,
    SetRtsHigh,
    EnterAppliMode,
    EnterIspMode,
};
inline constexpr int kIspCallCount = 49;

// The exported name of an entry point ("ispInit", ...).
std::string_view ispCallName(IspCall call);

// What a backend is busy with when it reports progress.
enum class IspPhase { Programming, Verifying };

class IIsp {
public:
    virtual ~IIsp() = default;

    // Whether the backend can make this call (a library may lack entry
    // points); the sequence never makes a call for which this is false.
    virtual bool has(IspCall call) const = 0;

    virtual int init() = 0;
    virtual void setLogEnabled(int enabled) = 0;
    virtual int selectDevice(const std::string& name) = 0;
    virtual int selectCommHardware(int code) = 0;
    virtual int openUsbPort() = 0;
    virtual int readSpecialByte(int which) = 0;
    virtual int eraseDevice() = 0;
    virtual int blankCheckMemory() = 0;
    virtual int fillBufferAddrRange(int start, int end, const std::string& value) = 0;
    virtual int parseHexFile(const std::string& path) = 0;
    virtual int programDevice() = 0;
    virtual int getBufferAddrLo() = 0;
    virtual int getBufferAddrHi() = 0;
    virtual int verifyDevice(int low, int high) = 0;
    virtual int enterAppliMode(int a, int b) = 0;
    virtual void setDtrLow() = 0;
    virtual void setDtrHigh() = 0;
    virtual int getLastError() = 0;
    virtual std::string getLastResult() = 0;
    virtual void exit() = 0;

    // A sentence for the user about the last failure, or empty when the
    // backend has none to give.
    virtual std::string lastErrorText() { return {}; }

    // Receives (phase, bytes done, bytes total) while programming and
    // verifying. Backends that cannot tell never call it.
    using Progress = std::function<void(IspPhase, int, int)>;
    virtual void setProgress(Progress progress) { (void)progress; }
};

// Holds the backend between updates the way the program holds the loaded
// library: acquire() loads it when nothing is held, release() is the
// clean-up step's unload.
class IIspProvider {
public:
    virtual ~IIspProvider() = default;
    // Null when no backend can be loaded.
    virtual IIsp* acquire() = 0;
    virtual void release() = 0;
    virtual bool loaded() const = 0;
};

}  // namespace cvk::service
