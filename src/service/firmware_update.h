#pragma once
// The firmware update: the step sequence that drives an in-system-
// programming backend, and the whole update from a user's HEX file.

#include <string>

#include "platform/clock.h"
#include "platform/temp_file.h"
#include "service/isp.h"

namespace cvk::service {

// Result codes besides the backend's own error codes.
inline constexpr int kUpdateOk = 0;
inline constexpr int kNoIspBackend = 54;           // the library (or USB access) cannot be loaded
inline constexpr int kIspCallMissing = 55;         // the sequence reached an entry point the library lacks
inline constexpr int kBadFirmwareImage = 56;       // the HEX file was refused before the first step
inline constexpr int kImageFileNotWritten = 57;    // the private copy could not be made
inline constexpr int kStepFailedWithoutCode = 58;  // a step failed but the backend's last error read 0

inline constexpr const char* kIspDeviceName = "AT90USB162";
inline constexpr int kIspCommHardwareUsb = 2;

// Where the update's lines go: the progress dialog's list, or the CLI.
class IUpdateLog {
public:
    virtual ~IUpdateLog() = default;
    // A line of the step log: a step name, "PASS", "FAILED" or "".
    virtual void line(const std::string& text) = 0;
    // Extra text: the bootloader version, an address, why a step failed.
    virtual void detail(const std::string& text) = 0;
    virtual void progress(IspPhase phase, int done, int total)
    {
        (void)phase;
        (void)done;
        (void)total;
    }
};

// The last line of a failed update's log: "Update failed (error 28)".
std::string updateFailedText(int result);

// The twelve steps with the special cases of each, on the image file
// given. Returns 0, kNoIspBackend, kIspCallMissing or the backend's error.
int runIspSequence(IIspProvider& provider, const std::string& imageFile, IUpdateLog& log, IClock& clock);

// The whole update from a user's file: reads and validates it completely,
// writes the validated text to a private temporary file, runs the sequence
// on it and removes the file on every path.
int updateFirmwareFromFile(const std::string& hexPath, IIspProvider& provider, ITempFiles& tempFiles,
                           IUpdateLog& log, IClock& clock);

}  // namespace cvk::service
