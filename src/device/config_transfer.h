#pragma once
// Moving the whole configuration block between the program and the device:
// the configuration read and the write sequence with its verification and
// the wake-up loops of the Dorrin receiver. It tells what happened instead
// of deciding what the window shows.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config_model.h"
#include "device/device_link.h"
#include "device/device_view.h"

namespace cvk {

// Bounds on what the device protocol would otherwise repeat forever.
inline constexpr int kWriteAttempts = 20;
inline constexpr int kBlockReadAttemptsPerAddress = 20;  // each costs up to 100 ms
inline constexpr int kWakeAttempts = 100;                // about 10 s with the 100 ms pause
inline constexpr int kStoreTailAttempts = 100;
// The transfer mark while a wake-up loop or a command-family read runs; -1
// when none does.
inline constexpr int kTransferMarkRunning = 3000;

enum class TransferEnd {
    Done,
    Failed,       // ended early: the block is not the device's
    Interrupted,  // a command or device change ended it; its handler has run
};

struct ReadOutcome {
    TransferEnd end = TransferEnd::Done;
    // Each is set only when the device gave it in this read.
    std::optional<std::array<uint8_t, 4>> deviceId;  // the serial number's four bytes
    std::optional<std::string> firmwareText;         // "SW: ..."
    // The signature areas came from the device into the model's stroke
    // tables (the text is still to be rebuilt from them).
    bool signatureRead = false;
    // The models with text areas got as far as reading them: the block is
    // complete and may become the per-device copy.
    bool textAreasDone = false;
};

enum class WriteResult {
    Verified,         // written and read back equal
    SentUnconfirmed,  // the legacy report was sent; these devices do not confirm
    Failed,           // the error message was shown
    Refused,          // nothing sent
    Interrupted,      // a command or device change ended it; its handler has run
};
inline bool reachedDevice(WriteResult r)
{
    return r == WriteResult::Verified || r == WriteResult::SentUnconfirmed;
}

struct WriteOutcome {
    WriteResult result = WriteResult::Failed;
    // The id the device gave during a verified write of a model with text
    // areas: whose per-device copy to renew.
    std::optional<std::array<uint8_t, 4>> verifiedDeviceId;
};

class CConfigTransfer {
public:
    // `transferMark` is the window's mark: set to kTransferMarkRunning while
    // a loop runs so the picture fades, -1 when the transfer ends.
    CConfigTransfer(DeviceLink& link, ITransferView& view, int& transferMark)
        : link_(link), view_(view), transferMark_(transferMark)
    {}

    // Reads the attached device's block into `model.block` (cleared by the
    // caller), with the identity texts on the way. The device state must
    // name one device (or the command-family model behind the receiver).
    ReadOutcome read(ConfigModel& model);
    // Sends the working block and reads it back. `hiddenNumber` goes to
    // device addresses 16/17 of the models with text areas when 1..5999.
    WriteOutcome write(ConfigModel& model, int hiddenNumber);

private:
    enum class LoopEnd { Done, Interrupted, TimedOut };
    LoopEnd fetchWakeLoop(CHidChannel& channel);
    LoopEnd storeWakeLoop(CHidChannel& channel);
    void endInterruptedFlow(CHidChannel& channel);
    bool readBlockOverChannel(CHidChannel& channel, ConfigModel& model);
    std::optional<std::string> readFirmwareText();
    ReadOutcome readCommandFamily(ConfigModel& model);
    std::optional<bool> writeCommandFamily(ConfigModel& model, int hiddenNumber,
                                           std::optional<std::array<uint8_t, 4>>& verifiedDeviceId);
    bool writeRegisterFamily(const ConfigModel& model);

    DeviceLink& link_;
    ITransferView& view_;
    int& transferMark_;
};

}  // namespace cvk
