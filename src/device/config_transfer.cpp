// Moving the whole configuration block between the program and the device:
// the configuration read and the write sequence with its verification.

#include <algorithm>
#include <fmt/format.h>

#include "app/main_controller.h"
#include "device/reports.h"
#include "keys/strokes.h"
#include "profiles/device_copy.h"
#include "texts/texts.h"
#include "texts/utf.h"

namespace cvk {

namespace {

constexpr uint8_t kSig1 = 0x0E, kSig2 = 0x1C, kSig3 = 0x39;
constexpr int kFirstBlockAddress = 32;
constexpr int kWakePauseMs = 100;

int wakeFrame(int k) { return ((k / 4) + 1) % 5; }

bool hasTextAreas(int model) { return model == kModelCindel || model == kModelBrill; }

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

void CMainController::readFirmwareText()
{
    const HidDevicePtr& handle = link.state.featureHandle;
    if (!handle)
        return;
    if (auto raw = handle->indexedString(4, 256)) {
        if (auto text = firmwareString(*raw))
            firmwareText = "SW: " + *text;
    }
}

void CMainController::endInterruptedFlow(CHidChannel& channel)
{
    // The interrupting handler has already run; what this flow set must not
    // outlive it.
    channel.closeAll();
    link.state.busy = false;
    transferMark = -1;
    view_.waitCursor(false);
    view_.setTaskbarProgress(TaskbarProgress::None);
}

CMainController::LoopEnd CMainController::fetchWakeLoop(CHidChannel& channel)
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
            view_.drawWakePrompt(text(221), (k & 4) != 0);
        request[1] = 0;
        link.clock.sleepMs(kWakePauseMs);
        transferMark = kTransferMarkRunning;
        const PumpResult pumped = view_.pump();
        if (pumped.commandOrDeviceChange)
            return LoopEnd::Interrupted;
        if (pumped.hidden || link.state.modelCode != kModelDorrinReceiver) {
            view_.postCommand(kCmdRefresh);
            return LoopEnd::Interrupted;
        }
    }
    return LoopEnd::TimedOut;
}

CMainController::LoopEnd CMainController::storeWakeLoop(CHidChannel& channel)
{
    transferMark = kTransferMarkRunning;
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
            view_.drawWakePrompt(text(221), (k & 4) != 0);
        request[1] = 0;
        link.clock.sleepMs(kWakePauseMs);
        transferMark = kTransferMarkRunning;
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
        link.clock.sleepMs(kWakePauseMs);
    }
    return LoopEnd::Done;
}

bool CMainController::readBlockOverChannel(CHidChannel& channel)
{
    const int end = config.exchangedLength + kFirstBlockAddress;
    for (int address = kFirstBlockAddress; address < end; address += 4) {
        const Report8 request{static_cast<uint8_t>(address / 4)};
        bool got = false;
        // The device is asked again for the same address, but not forever.
        for (int attempt = 0; attempt < kBlockReadAttemptsPerAddress && !got; ++attempt) {
            channel.sendWithRetry(request);
            Report8 reply{};
            if (channel.readReport(reply) && reply[0] == request[0]) {
                for (int i = 0; i < 4 && address - kFirstBlockAddress + i < kBlockSize; ++i)
                    config.block[address - kFirstBlockAddress + i] = reply[1 + i];
                got = true;
            }
        }
        if (!got)
            return false;
    }
    return true;
}

void CMainController::configurationRead()
{
    DeviceState& s = link.state;
    // Whatever the block held stops counting as the device's the moment a
    // read starts: it is cleared below, and a write that arrives in the
    // middle (from a wake-up loop's pump) must not send it.
    blockSource_.reset();
    modelSetup();
    fadeLevel = 1;
    if (s.modelCode > kModelEssom)
        transferMark = kTransferMarkRunning;
    view_.repaint();
    batteryState = -1;
    view_.showWindow();
    readFailed = false;

    if (!s.singleDevice()) {
        view_.setTrayIcon(kIconNoDevice);
    } else {
        view_.setTrayIcon(kIconNormal);
        view_.setControlText(kCtlDevicePath, s.devicePath);
        config.block.fill(0);

        if (s.deviceCount == 0) {
            // Only the receiver: show the copy stored when the device was last
            // seen on the cable.
            hardwareKey = cvk::hardwareKey(s.receiverId);
            s.modelCode = kModelReceiverOnly;
            s.firmwareVersion = 0x1001;
            if (!loadDeviceCopy(store_, hardwareKey, config).any())
                s.modelCode = kModelNone;
        }

        if (s.modelCode > kModelEssom) {
            s.busy = true;
            view_.drawBusyPicture();
            CHidChannel channel = link.channel(static_cast<uint16_t>(s.modelCode));
            try {
                if (channel.isOpen()) {
                    if (s.modelCode == kModelDorrinReceiver) {
                        const LoopEnd end = fetchWakeLoop(channel);
                        if (end == LoopEnd::Interrupted) {
                            endInterruptedFlow(channel);
                            // Unless the interruption was itself a read that
                            // completed, the block is cleared, not the device's.
                            if (!blockSource_) {
                                readFailed = true;
                                updateStatusTexts();
                                enableControls();
                            }
                            return;
                        }
                        if (end == LoopEnd::TimedOut)
                            readFailed = true;
                    }
                    if (!readFailed) {
                        link.clock.sleepMs(10);
                        channel.sendWithRetry(Report8{0x84, 0x00});
                        Report8 reply{};
                        if (channel.readReport(reply) && reply[0] == 0x84) {
                            const std::array<uint8_t, 4> id{reply[1], reply[2], reply[3], reply[4]};
                            serialText = fmt::format("S/N: {:02x}:{:02x}:{:02x}:{:02x}", id[0], id[1], id[2], id[3]);
                            hardwareKey = cvk::hardwareKey(id);
                        }
                        readFailed = !readBlockOverChannel(channel);
                    }
                    if (!readFailed && hasTextAreas(s.modelCode)) {
                        if (signatureRead(channel, config.strokeUsages, config.strokeModifiers) && layout_)
                            rebuildSignatureText(config, *layout_);
                        if (!hardwareKey.empty() && !hasDeviceCopy(store_, hardwareKey))
                            saveDeviceCopy(store_, hardwareKey, config);
                    }
                } else {
                    readFailed = true;
                }
                readFirmwareText();
            } catch (const TransferError&) {
                // The block is incomplete: say so instead of showing it as the
                // device's.
                readFailed = true;
            }
            s.busy = false;
            channel.closeAll();
        } else {
            const HidDevicePtr& handle = s.featureHandle;
            const int index = s.firmwareVersion > 0x1000 ? 16 : 3;
            std::optional<std::vector<uint8_t>> raw;
            if (handle)
                raw = handle->indexedString(index, kBlockSize);
            if (raw)
                std::copy_n(raw->begin(), std::min<size_t>(raw->size(), kBlockSize), config.block.begin());
            else if (s.modelCode != kModelReceiverOnly && s.modelCode != kModelNone)
                readFailed = true;
            if (index == 16)
                readFirmwareText();
            transferMark = -1;
        }

        config.reference = config.block;
        if (!readFailed && s.deviceCount == 1 && s.modelCode > 0)
            blockSource_ = BlockSource{s.modelCode, s.devicePath};
        enableControl(kCtlDeleteProfile, false);
        enableControl(kCtlRenameProfile, false);
        setTrayTip("");
        if (matchProfile() && writeRefusal() == WriteRefusal::None)
            view_.postCommand(kCmdApply);
    }

    updateStatusTexts();
    transferMark = -1;
    modelSetup();
    // Without a single device the device state is the news, not a profile
    // the leftover block happens to match.
    if (!s.singleDevice())
        updateStatusTexts();
    view_.repaint();
    if (s.modelCode > kModelEssom && s.singleDevice() && !readFailed)
        askSwappedButtons();
    enableControls();
}

std::optional<bool> CMainController::writeCommandFamily()
{
    DeviceState& s = link.state;
    view_.waitCursor(true);
    CHidChannel channel = link.channel(static_cast<uint16_t>(s.modelCode));
    bool verified = false;
    s.busy = true;
    const bool textWasPending = config.textPending;
    // The per-device copy is what the receiver shows later, so it is kept
    // only once the device has confirmed the block.
    std::string verifiedCopyKey;
    try {
        for (int attempt = 0; channel.isOpen() && attempt < kWriteAttempts && !verified; ++attempt) {
            Report8 request{0x82, kSig1, kSig2, kSig3};
            for (int j = 0; j < config.exchangedLength; ++j) {
                request[4] = static_cast<uint8_t>(j + kFirstBlockAddress);
                request[5] = config.block[j];
                channel.sendWithRetry(request);
                Report8 reply{};
                channel.readReport(reply);
            }
            if (hasTextAreas(s.modelCode)) {
                if (config.textPending)
                    signatureWrite(channel, config.strokeUsages, config.strokeModifiers);
                config.textPending = false;
                channel.sendWithRetry(Report8{0x84, 0x00});
                Report8 reply{};
                if (channel.readReport(reply) && reply[0] == 0x84)
                    verifiedCopyKey = cvk::hardwareKey({reply[1], reply[2], reply[3], reply[4]});
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
            if (s.modelCode == kModelDorrinReceiver) {
                const LoopEnd end = storeWakeLoop(channel);
                if (end == LoopEnd::Interrupted) {
                    config.textPending = config.textPending || textWasPending;
                    endInterruptedFlow(channel);
                    return std::nullopt;
                }
                if (end == LoopEnd::TimedOut) {
                    verified = false;
                    break;
                }
            }
            transferMark = -1;
            const int end = config.exchangedLength + kFirstBlockAddress;
            for (int address = kFirstBlockAddress; address < end && verified; address += 4) {
                request[0] = static_cast<uint8_t>(address / 4);
                channel.sendWithRetry(request);
                Report8 reply{};
                // A read that failed or answered another address proves nothing.
                if (!channel.readReport(reply) || reply[0] != request[0]) {
                    verified = false;
                    break;
                }
                for (int i = 0; i < 4 && address - kFirstBlockAddress + i < config.exchangedLength; ++i)
                    if (reply[1 + i] != config.block[address - kFirstBlockAddress + i])
                        verified = false;
            }
        }
    } catch (const TransferError&) {
        // The attempt broke off, in its verify pass at the latest: nothing
        // after the failed report was confirmed.
        verified = false;
    }
    s.busy = false;
    transferMark = -1;
    channel.closeAll();
    view_.waitCursor(false);
    // Texts that did not reach a verified device are still to be sent.
    if (!verified && textWasPending)
        config.textPending = true;
    if (verified && !verifiedCopyKey.empty())
        saveDeviceCopy(store_, verifiedCopyKey, config);
    return verified;
}

bool CMainController::writeRegisterFamily()
{
    DeviceState& s = link.state;
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
        sendPreamble(link);
        send(0xFF, 0xF8);
        link.clock.sleepMs(100);
        for (int b = 0; b < config.exchangedLength; ++b) {
            send(static_cast<uint8_t>(b + offset), config.block[b]);
            link.clock.sleepMs(20);
        }
        send(0xFF, 0xFF);
        link.clock.sleepMs(50);
        std::optional<std::vector<uint8_t>> raw;
        if (handle)
            raw = handle->indexedString(3, kBlockSize);
        // A read-back that failed, or came back short, cannot confirm anything.
        verified = raw && raw->size() >= static_cast<size_t>(config.exchangedLength) &&
                   std::equal(config.block.begin(), config.block.begin() + config.exchangedLength, raw->begin());
        if (!verified)
            link.clock.sleepMs(100);
        view_.waitCursor(true);
    }
    view_.waitCursor(false);
    return verified;
}

WriteRefusal CMainController::writeRefusal() const
{
    const DeviceState& s = link.state;
    if (s.deviceCount >= 100)
        return WriteRefusal::TooNew;
    if (s.deviceCount > 1)
        return WriteRefusal::SeveralDevices;
    if (s.deviceCount <= 0)
        return s.modelCode == kModelReceiverOnly || s.receiverPresent() ? WriteRefusal::ReceiverOnly
                                                                        : WriteRefusal::NoDevice;
    if (!blockSource_ || blockSource_->modelCode != s.modelCode || blockSource_->devicePath != s.devicePath)
        return WriteRefusal::NotRead;
    return WriteRefusal::None;
}

WriteResult CMainController::runWriteSequence()
{
    const DeviceState& s = link.state;
    if (const WriteRefusal why = writeRefusal(); why != WriteRefusal::None) {
        refuseWrite(why);
        return WriteResult::Refused;
    }
    view_.setTaskbarProgress(TaskbarProgress::Indeterminate);
    if (s.firmwareVersion < 0x300) {
        // These devices take one report and give nothing back to verify.
        if (!legacySetByte(link, 0xFF, 0xFF)) {
            errorEnding();
            return WriteResult::Failed;
        }
        commonEnd();
        return WriteResult::SentUnconfirmed;
    }
    bool verified = false;
    if (s.commandFamily()) {
        const std::optional<bool> result = writeCommandFamily();
        if (!result)
            return WriteResult::Interrupted;
        verified = *result;
    } else {
        verified = writeRegisterFamily();
    }
    if (!verified) {
        errorEnding();
        return WriteResult::Failed;
    }
    commonEnd();
    return WriteResult::Verified;
}

}  // namespace cvk
