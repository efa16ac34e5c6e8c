#include "device/config_transfer.h"

#include <algorithm>

#include "config/thresholds.h"
#include "device/models.h"
#include "device/reports.h"
#include "texts/text_ids.h"
#include "texts/texts.h"
#include "texts/utf.h"

namespace cvk {

namespace {

constexpr uint8_t kSig1 = 0x0E, kSig2 = 0x1C, kSig3 = 0x39;
constexpr int kFirstBlockAddress = 32;
constexpr int kWakePauseMs = 100;

int wakeFrame(int k) { return ((k / 4) + 1) % 5; }

// Indexed string 4 carries the firmware text as UTF-16; only a text of
// exactly ten UTF-16 units is taken, so a surrogate pair counts twice, as the
// device's string length does.
std::optional<std::string> firmwareString(const std::vector<uint8_t>& raw)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(raw[i] | (raw[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    if (text.size() != 10)
        return std::nullopt;
    return utf8FromUtf16(text);
}

}  // namespace

std::optional<std::string> CConfigTransfer::readFirmwareText()
{
    const HidDevicePtr& handle = link_.state.featureHandle;
    if (!handle)
        return std::nullopt;
    if (auto raw = handle->indexedString(4, 256)) {
        if (auto text = firmwareString(*raw))
            return "SW: " + *text;
    }
    return std::nullopt;
}

void CConfigTransfer::endInterruptedFlow(CHidChannel& channel)
{
    // The interrupting handler has already run; what this flow set must not
    // outlive it.
    channel.closeAll();
    link_.state.busy = false;
    transferMark_ = -1;
    view_.waitCursor(false);
    view_.setTaskbarProgress(TaskbarProgress::None);
}

CConfigTransfer::LoopEnd CConfigTransfer::fetchWakeLoop(CHidChannel& channel)
{
    Report8 request{0x83, kSig1, kSig2, kSig3, 0x01};
    for (int k = 0; k < kWakeAttempts; ++k) {
        view_.drawWakeFrame(wakeFrame(k));
        channel.sendWithRetry(request);
        Report8 reply{};
        const bool answered = channel.readReport(reply);
        if (answered && reply[1] == 0 && reply[2] >= 7)
            return LoopEnd::Done;
        // Byte 1 = 0 means the link is still building up: no prompt then.
        if (!(answered && reply[1] == 0) && k > 10)
            view_.drawWakePrompt(text(kTxtMovePad), (k & 4) != 0);
        request[1] = 0;
        link_.clock.sleepMs(kWakePauseMs);
        transferMark_ = kTransferMarkRunning;
        const PumpResult pumped = view_.pump();
        if (pumped.commandOrDeviceChange)
            return LoopEnd::Interrupted;
        if (pumped.hidden || !needsWakeUp(link_.state.modelCode)) {
            link_.view.postCommand(kCmdRefresh);
            return LoopEnd::Interrupted;
        }
    }
    return LoopEnd::TimedOut;
}

CConfigTransfer::LoopEnd CConfigTransfer::storeWakeLoop(CHidChannel& channel)
{
    transferMark_ = kTransferMarkRunning;
    view_.repaint();
    Report8 request{0x83, kSig1, kSig2, kSig3, 0x20};
    bool awake = false;
    for (int k = 0; k < kWakeAttempts && !awake; ++k) {
        view_.drawWakeFrame(wakeFrame(k));
        channel.sendWithRetry(request);
        Report8 reply{};
        if (channel.readReport(reply) && reply[1] == 0) {
            awake = true;
            break;
        }
        if (k > 10)
            view_.drawWakePrompt(text(kTxtMovePad), (k & 4) != 0);
        request[1] = 0;
        link_.clock.sleepMs(kWakePauseMs);
        transferMark_ = kTransferMarkRunning;
        if (view_.pump().commandOrDeviceChange)
            return LoopEnd::Interrupted;
    }
    if (!awake)
        return LoopEnd::TimedOut;
    // Only the first request of the loop carries the signature byte, also
    // when that first request already woke the device.
    request[1] = 0;
    for (int k = 0; k < kStoreTailAttempts; ++k) {
        view_.drawWakeFrame(wakeFrame(k));
        channel.sendWithRetry(request);
        Report8 reply{};
        if (channel.readReport(reply) && reply[1] == 0)
            break;
        request[1] = 0;
        link_.clock.sleepMs(kWakePauseMs);
    }
    return LoopEnd::Done;
}

bool CConfigTransfer::readBlockOverChannel(CHidChannel& channel, ConfigModel& model)
{
    const int end = model.exchangedLength + kFirstBlockAddress;
    for (int address = kFirstBlockAddress; address < end; address += 4) {
        const Report8 request{static_cast<uint8_t>(address / 4)};
        bool got = false;
        // The device is asked again for the same address, but not forever.
        for (int attempt = 0; attempt < kBlockReadAttemptsPerAddress && !got; ++attempt) {
            channel.sendWithRetry(request);
            Report8 reply{};
            if (channel.readReport(reply) && reply[0] == request[0]) {
                for (int i = 0; i < 4 && address - kFirstBlockAddress + i < kBlockSize; ++i)
                    model.block[address - kFirstBlockAddress + i] = reply[1 + i];
                got = true;
            }
        }
        if (!got)
            return false;
    }
    return true;
}

ReadOutcome CConfigTransfer::readCommandFamily(ConfigModel& model)
{
    DeviceState& s = link_.state;
    ReadOutcome out;
    bool failed = false;
    s.busy = true;
    view_.drawBusyPicture();
    CHidChannel channel = link_.channel(static_cast<uint16_t>(s.modelCode));
    try {
        if (channel.isOpen()) {
            if (needsWakeUp(s.modelCode)) {
                const LoopEnd end = fetchWakeLoop(channel);
                if (end == LoopEnd::Interrupted) {
                    endInterruptedFlow(channel);
                    out.end = TransferEnd::Interrupted;
                    return out;
                }
                failed = end == LoopEnd::TimedOut;
            }
            if (!failed) {
                link_.clock.sleepMs(10);
                channel.sendWithRetry(Report8{0x84, 0x00});
                Report8 reply{};
                if (channel.readReport(reply) && reply[0] == 0x84)
                    out.deviceId = std::array<uint8_t, 4>{reply[1], reply[2], reply[3], reply[4]};
                failed = !readBlockOverChannel(channel, model);
            }
            if (!failed && hasTextAreas(s.modelCode)) {
                out.signatureRead = signatureRead(channel, model.strokeUsages, model.strokeModifiers);
                out.textAreasDone = true;
            }
        } else {
            failed = true;
        }
        out.firmwareText = readFirmwareText();
    } catch (const TransferError&) {
        // The block is incomplete: say so instead of showing it as the
        // device's.
        failed = true;
    }
    s.busy = false;
    channel.closeAll();
    out.end = failed ? TransferEnd::Failed : TransferEnd::Done;
    return out;
}

ReadOutcome CConfigTransfer::read(ConfigModel& model)
{
    const DeviceState& s = link_.state;
    if (s.commandFamily())
        return readCommandFamily(model);
    ReadOutcome out;
    const HidDevicePtr& handle = s.featureHandle;
    const int index = s.firmwareVersion > 0x1000 ? 16 : 3;
    std::optional<std::vector<uint8_t>> raw;
    if (handle)
        raw = handle->indexedString(index, kBlockSize);
    if (raw)
        std::copy_n(raw->begin(), std::min<size_t>(raw->size(), kBlockSize), model.block.begin());
    else if (s.modelCode != kModelReceiverOnly && s.modelCode != kModelNone)
        out.end = TransferEnd::Failed;
    if (index == 16)
        out.firmwareText = readFirmwareText();
    transferMark_ = -1;
    return out;
}

std::optional<bool> CConfigTransfer::writeCommandFamily(
    ConfigModel& model, int hiddenNumber, std::optional<std::array<uint8_t, 4>>& verifiedDeviceId)
{
    DeviceState& s = link_.state;
    view_.waitCursor(true);
    CHidChannel channel = link_.channel(static_cast<uint16_t>(s.modelCode));
    bool verified = false;
    s.busy = true;
    const bool textWasPending = model.textPending;
    std::optional<std::array<uint8_t, 4>> deviceId;
    try {
        for (int attempt = 0; channel.isOpen() && attempt < kWriteAttempts && !verified; ++attempt) {
            Report8 request{0x82, kSig1, kSig2, kSig3};
            for (int j = 0; j < model.exchangedLength; ++j) {
                request[4] = static_cast<uint8_t>(j + kFirstBlockAddress);
                request[5] = model.block[j];
                channel.sendWithRetry(request);
                Report8 reply{};
                channel.readReport(reply);
            }
            if (hasTextAreas(s.modelCode)) {
                if (model.textPending)
                    signatureWrite(channel, model.strokeUsages, model.strokeModifiers);
                model.textPending = false;
                channel.sendWithRetry(Report8{0x84, 0x00});
                Report8 reply{};
                if (channel.readReport(reply) && reply[0] == 0x84)
                    deviceId = std::array<uint8_t, 4>{reply[1], reply[2], reply[3], reply[4]};
                const uint16_t number = static_cast<uint16_t>(hiddenNumber);
                if (number > 0 && number < 6000) {
                    for (const auto& [address, value] :
                         {std::pair{17, number & 0xFF}, std::pair{16, (number >> 8) & 0xFF}}) {
                        request[4] = static_cast<uint8_t>(address);
                        request[5] = static_cast<uint8_t>(value);
                        channel.sendWithRetry(request);
                        channel.readReport(reply);
                    }
                }
            }
            verified = true;
            if (needsWakeUp(s.modelCode)) {
                const LoopEnd end = storeWakeLoop(channel);
                if (end == LoopEnd::Interrupted) {
                    model.textPending = model.textPending || textWasPending;
                    endInterruptedFlow(channel);
                    return std::nullopt;
                }
                if (end == LoopEnd::TimedOut) {
                    verified = false;
                    break;
                }
            }
            transferMark_ = -1;
            const int end = model.exchangedLength + kFirstBlockAddress;
            for (int address = kFirstBlockAddress; address < end && verified; address += 4) {
                request[0] = static_cast<uint8_t>(address / 4);
                channel.sendWithRetry(request);
                Report8 reply{};
                // A read that failed or answered another address proves nothing.
                if (!channel.readReport(reply) || reply[0] != request[0]) {
                    verified = false;
                    break;
                }
                for (int i = 0; i < 4 && address - kFirstBlockAddress + i < model.exchangedLength; ++i)
                    if (reply[1 + i] != model.block[address - kFirstBlockAddress + i])
                        verified = false;
            }
        }
    } catch (const TransferError&) {
        // The attempt broke off, in its verify pass at the latest: nothing
        // after the failed report was confirmed.
        verified = false;
    }
    s.busy = false;
    transferMark_ = -1;
    channel.closeAll();
    view_.waitCursor(false);
    // Texts that did not reach a verified device are still to be sent.
    if (!verified && textWasPending)
        model.textPending = true;
    // The per-device copy is what the receiver shows later, so it is renewed
    // only once the device has confirmed the block.
    if (verified)
        verifiedDeviceId = deviceId;
    return verified;
}

bool CConfigTransfer::writeRegisterFamily(const ConfigModel& model)
{
    DeviceState& s = link_.state;
    const HidDevicePtr handle = s.featureHandle;
    auto send = [&](uint8_t position, uint8_t value) {
        const std::array<uint8_t, 3> report{0x01, position, value};
        if (handle)
            handle->setFeature(report);
    };
    const int offset = s.firmwareVersion > 0x131F ? 32 : 0;
    bool verified = false;
    view_.waitCursor(true);
    for (int attempt = 0; attempt < kWriteAttempts && !verified; ++attempt) {
        sendPreamble(link_);
        send(0xFF, 0xF8);
        link_.clock.sleepMs(100);
        for (int b = 0; b < model.exchangedLength; ++b) {
            send(static_cast<uint8_t>(b + offset), model.block[b]);
            link_.clock.sleepMs(20);
        }
        send(0xFF, 0xFF);
        link_.clock.sleepMs(50);
        std::optional<std::vector<uint8_t>> raw;
        if (handle)
            raw = handle->indexedString(3, kBlockSize);
        // A read-back that failed, or came back short, cannot confirm anything.
        verified = raw && raw->size() >= static_cast<size_t>(model.exchangedLength) &&
                   std::equal(model.block.begin(), model.block.begin() + model.exchangedLength, raw->begin());
        if (!verified)
            link_.clock.sleepMs(100);
        view_.waitCursor(true);
    }
    view_.waitCursor(false);
    return verified;
}

WriteOutcome CConfigTransfer::write(ConfigModel& model, int hiddenNumber)
{
    const DeviceState& s = link_.state;
    WriteOutcome out;
    if (s.firmwareVersion < kSingleReportFirmwareBelow) {
        // These devices take one report and give nothing back to verify.
        out.result = legacySetByte(link_, 0xFF, 0xFF) ? WriteResult::SentUnconfirmed : WriteResult::Failed;
        return out;
    }
    if (s.commandFamily()) {
        const std::optional<bool> verified = writeCommandFamily(model, hiddenNumber, out.verifiedDeviceId);
        out.result = !verified   ? WriteResult::Interrupted
                     : *verified ? WriteResult::Verified
                                 : WriteResult::Failed;
        return out;
    }
    out.result = writeRegisterFamily(model) ? WriteResult::Verified : WriteResult::Failed;
    return out;
}

}  // namespace cvk
