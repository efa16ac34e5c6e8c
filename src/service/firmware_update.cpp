#include "service/firmware_update.h"

#include <fmt/format.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

#include "service/intel_hex.h"

namespace cvk::service {

namespace {

// One run of the steps: logs, ends, cleans up.
class Sequence {
public:
    Sequence(IIspProvider& provider, IIsp& isp, IUpdateLog& log) : provider_(provider), isp_(isp), log_(log)
    {}

    void step(const char* name) { log_.line(name); }
    void result(bool pass)
    {
        log_.line(pass ? "PASS" : "FAILED");
        log_.line("");
    }

    // False when the backend lacks the call: the step fails there and the
    // update ends with kIspCallMissing instead of calling it.
    bool can(IspCall call)
    {
        if (isp_.has(call))
            return true;
        missing_ = true;
        missingName_ = std::string(ispCallName(call));
        return false;
    }

    int lastError()
    {
        if (missing_)
            return kIspCallMissing;
        if (!isp_.has(IspCall::GetLastError))
            return kIspCallMissing;
        int code = isp_.getLastError();
        // A failed step must never end the update as a success.
        return code == kUpdateOk ? kStepFailedWithoutCode : code;
    }

    void explain()
    {
        if (missing_) {
            log_.detail(fmt::format("The programming library has no {}.", missingName_));
            return;
        }
        std::string why = isp_.lastErrorText();
        if (!why.empty())
            log_.detail(why);
    }

    // Failure of a step after the port is open: the error code, then the
    // clean-up step.
    int fail()
    {
        result(false);
        explain();
        int code = lastError();
        cleanUp();
        return code;
    }

    // Failure of the device, hardware or port selection: the library stays
    // loaded and nothing is cleaned up.
    int failEarly()
    {
        result(false);
        explain();
        return lastError();
    }

    void cleanUp()
    {
        if (isp_.has(IspCall::Exit))
            isp_.exit();
        provider_.release();
    }

private:
    IIspProvider& provider_;
    IIsp& isp_;
    IUpdateLog& log_;
    bool missing_ = false;
    std::string missingName_;
};

bool parseHexNumber(const std::string& text, int& value)
{
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s.remove_prefix(2);
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    return ec == std::errc() && end == s.data() + s.size() && value >= 0;
}

}  // namespace

std::string updateFailedText(int result) { return fmt::format("Update failed (error {})", result); }

int runIspSequence(IIspProvider& provider, const std::string& imageFile, IUpdateLog& log, IClock& clock)
{
    IIsp* backend = provider.acquire();
    if (!backend)
        return kNoIspBackend;
    IIsp& isp = *backend;
    Sequence seq(provider, isp, log);
    isp.setProgress([&log](IspPhase phase, int done, int total) { log.progress(phase, done, total); });
    struct ProgressOff {
        IIsp& isp;
        IIspProvider& provider;
        ~ProgressOff()
        {
            if (provider.loaded())
                isp.setProgress({});
        }
    } progressOff{isp, provider};

    seq.step("Initializing");
    if (!seq.can(IspCall::Init))
        return seq.fail();
    seq.result(isp.init() == 1);
    if (isp.has(IspCall::SetLogEnabled))
        isp.setLogEnabled(0);

    seq.step("Device selection");
    if (!seq.can(IspCall::SelectDevice))
        return seq.fail();
    if (isp.selectDevice(kIspDeviceName) != 1)
        return seq.failEarly();
    seq.result(true);

    seq.step("Hardware selection");
    if (!seq.can(IspCall::SelectCommHardware))
        return seq.fail();
    if (isp.selectCommHardware(kIspCommHardwareUsb) != 1)
        return seq.failEarly();
    seq.result(true);

    seq.step("Opening port");
    if (!seq.can(IspCall::OpenUsbPort))
        return seq.fail();
    if (isp.openUsbPort() != 1)
        return seq.failEarly();
    seq.result(true);

    seq.step("Reading the bootloader version");
    if (!seq.can(IspCall::ReadSpecialByte) || !seq.can(IspCall::GetLastResult))
        return seq.fail();
    if (isp.readSpecialByte(0) == 0)
        return seq.fail();
    seq.result(true);
    {
        std::string version = isp.getLastResult();
        // The version byte's two nibbles: "20" is bootloader 1.2.0.
        if (version.size() >= 2)
            log.detail(fmt::format("Bootloader version 1.{}.{}", version[0], version[1]));
        else
            log.detail(fmt::format("Bootloader version 1.{}", version));
    }

    seq.step("Erasing FLASH");
    if (!seq.can(IspCall::EraseDevice))
        return seq.fail();
    if (isp.eraseDevice() == 0)
        return seq.fail();
    seq.result(true);

    seq.step("Blank checking FLASH memory");
    if (!seq.can(IspCall::BlankCheckMemory))
        return seq.fail();
    if (isp.blankCheckMemory() == 0) {
        seq.result(false);
        int code = seq.lastError();
        if (code == 28 && isp.has(IspCall::GetLastResult))
            log.detail("at 0x" + isp.getLastResult());
        seq.explain();
        seq.cleanUp();
        return code;
    }
    seq.result(true);

    seq.step("Filling buffer with 00");
    if (!seq.can(IspCall::FillBufferAddrRange))
        return seq.fail();
    if (isp.fillBufferAddrRange(0, 1023, "00") == 0)
        return seq.fail();
    seq.result(true);

    seq.step("Parsing HEX file");
    if (!seq.can(IspCall::ParseHexFile))
        return seq.fail();
    if (isp.parseHexFile(imageFile) == 0)
        return seq.fail();
    seq.result(true);

    seq.step("Programming FLASH");
    if (!seq.can(IspCall::ProgramDevice))
        return seq.fail();
    if (isp.programDevice() == 0)
        return seq.fail();
    seq.result(true);

    seq.step("Verifying FLASH");
    if (!seq.can(IspCall::GetBufferAddrLo) || !seq.can(IspCall::GetBufferAddrHi) ||
        !seq.can(IspCall::GetLastResult) || !seq.can(IspCall::VerifyDevice))
        return seq.fail();
    // The buffer's range as the backend reports it; a backend that cannot
    // say ends the update with 1, as it always has, without clean-up.
    if (isp.getBufferAddrLo() != 1)
        return 1;
    std::string lowText = isp.getLastResult();
    if (isp.getBufferAddrHi() != 1)
        return 1;
    std::string highText = isp.getLastResult();
    int low = 0;
    int high = 0;
    if (!parseHexNumber(lowText, low) || !parseHexNumber(highText, high) || low > high) {
        // The old conversion read garbage as 0 and verified nothing: refuse.
        log.detail(
            fmt::format("The programming library gave no usable address range ({}, {}).", lowText, highText));
        seq.result(false);
        seq.cleanUp();
        return kStepFailedWithoutCode;
    }
    if (isp.verifyDevice(low, high) == 0)
        return seq.fail();
    seq.result(true);

    seq.step("Switching to appli mode");
    if (!seq.can(IspCall::EnterAppliMode))
        return seq.fail();
    if (isp.enterAppliMode(0, 0) == 0)
        return seq.fail();
    seq.result(true);

    // The reset pulse.
    if (isp.has(IspCall::SetDtrLow) && isp.has(IspCall::SetDtrHigh)) {
        isp.setDtrLow();
        clock.sleepMs(100);
        isp.setDtrHigh();
        clock.sleepMs(100);
        isp.setDtrLow();
    }
    seq.cleanUp();
    return kUpdateOk;
}

int updateFirmwareFromFile(const std::string& hexPath, IIspProvider& provider, ITempFiles& tempFiles,
                           IUpdateLog& log, IClock& clock)
{
    std::ifstream in(hexPath, std::ios::binary);
    if (!in) {
        log.detail(fmt::format("The firmware file {} cannot be read.", hexPath));
        return kBadFirmwareImage;
    }
    std::string text;
    char buffer[8192];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxHexFileBytes)
            break;  // checkIntelHex names the fault
    }
    if (in.bad()) {
        log.detail(fmt::format("The firmware file {} cannot be read.", hexPath));
        return kBadFirmwareImage;
    }
    HexCheck check = checkIntelHex(text);
    if (!check.ok) {
        log.detail(fmt::format("{} is not a firmware image for this device: {}. Nothing was changed.",
                               hexPath, check.message()));
        return kBadFirmwareImage;
    }
    std::string error;
    std::unique_ptr<ITempFile> copy =
        tempFiles.create({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, &error);
    if (!copy) {
        log.detail(fmt::format("The firmware image could not be prepared: {}", error));
        return kImageFileNotWritten;
    }
    // The copy is removed when `copy` goes, on every path.
    return runIspSequence(provider, copy->path(), log, clock);
}

}  // namespace cvk::service
