#include "device/reports.h"

#include <array>

#include "config/thresholds.h"

namespace cvk {

namespace {

void beepOnce(DeviceLink& link) { link.view.beep(0, 10); }

bool setFeature3(const HidDevicePtr& handle, uint8_t b0, uint8_t b1, uint8_t b2)
{
    if (!handle)
        return false;
    const std::array<uint8_t, 3> report{b0, b1, b2};
    return handle->setFeature(report);
}

}  // namespace

void sendPreamble(DeviceLink& link)
{
    const DeviceState& s = link.state;
    if (s.firmwareVersion < 0x30B || s.commandFamily())
        return;
    static constexpr std::array<std::array<uint8_t, 3>, 3> kPreamble{{
        {0x01, 0x00, 0x00},
        {0x01, 0x20, 0x22},
        {0x01, 0x21, 0xE0},
    }};
    for (const auto& r : kPreamble) {
        setFeature3(s.featureHandle, r[0], r[1], r[2]);
        link.clock.sleepMs(kPreamblePauseMs);
    }
}

bool legacySetByte(DeviceLink& link, uint8_t position, uint8_t value)
{
    if (link.state.firmwareVersion >= kSingleReportFirmwareBelow)
        return false;
    if (setFeature3(link.state.featureHandle, 0x00, position, value))
        return true;
    beepOnce(link);
    return false;
}

void passThroughCommand(DeviceLink& link, int command)
{
    if (command < 1000 || command > 1003 || link.state.commandFamily())
        return;
    if (!setFeature3(link.state.mouseHandle, 0x01, 0xFF, static_cast<uint8_t>(command - 1000)))
        beepOnce(link);
}

void cursorSpeedCommand(DeviceLink& link, int speed, bool replaceTen)
{
    DeviceState& s = link.state;
    if (!s.commandFamily()) {
        sendPreamble(link);
        setFeature3(s.featureHandle, 0x01, 0xFF, static_cast<uint8_t>(speed));
        return;
    }
    if (replaceTen && speed == 10)
        speed = 11;
    CHidChannel channel = link.channel(static_cast<uint16_t>(s.modelCode));
    if (channel.isOpen()) {
        try {
            const Report8 request{0x83, 0x0E, 0x1C, 0x39, static_cast<uint8_t>(255 - speed)};
            channel.sendWithRetry(request);
            Report8 reply{};
            channel.readReport(reply);
        } catch (const TransferError&) {}
    }
    channel.closeAll();
}

}  // namespace cvk

namespace cvk {

namespace {
constexpr uint8_t kSig1 = 0x0E, kSig2 = 0x1C, kSig3 = 0x39;
}

void signatureWrite(CHidChannel& channel, const std::array<uint8_t, 256>& usages,
                    const std::array<uint8_t, 256>& modifiers)
{
    for (const auto& [command, area] :
         {std::pair{uint8_t{0x94}, &usages}, std::pair{uint8_t{0x95}, &modifiers}}) {
        for (int i = 0; i < 256; ++i)
            channel.sendWithRetry(Report8{command, kSig1, kSig2, kSig3, static_cast<uint8_t>(i), (*area)[i]});
    }
}

bool signatureRead(CHidChannel& channel, std::array<uint8_t, 256>& usages,
                   std::array<uint8_t, 256>& modifiers)
{
    usages.fill(0);
    modifiers.fill(0);
    Report8 reply{};
    channel.sendWithRetry(Report8{0xA0, kSig1, kSig2, kSig3, 0, 0x3F});
    if (!channel.readReport(reply))
        return false;
    for (int offset = 0; offset < 256; offset += 6) {
        for (const auto& [part, area] : {std::pair{uint8_t{2}, &usages}, std::pair{uint8_t{3}, &modifiers}}) {
            channel.sendWithRetry(Report8{0xA0, kSig1, kSig2, kSig3, part, static_cast<uint8_t>(offset)});
            if (!channel.readReport(reply))
                continue;
            // The last request covers 252..257; what lies beyond the area is dropped.
            for (int i = 0; i < 6 && offset + i < 256; ++i)
                (*area)[offset + i] = reply[2 + i];
        }
    }
    return true;
}

}  // namespace cvk
