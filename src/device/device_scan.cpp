#include "device/device_link.h"

#include <algorithm>
#include <fmt/format.h>
#include <vector>

#include "device/models.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

constexpr uint16_t kReceiverPage = 0xFF01;
constexpr uint32_t kTooNewVersion = 0x400;  // low 12 bits of the release number

std::string hardwareVersionText(int modelCode, uint32_t version)
{
    return "Corvane " + text(kTxtHardwareVersion) + versionSuffix(modelCode, version);
}

bool releaseCounts(const ModelInfo& m, const HidInterfaceInfo& e)
{
    return e.releaseNumber >= m.releaseFrom && e.releaseNumber <= m.releaseTo;
}

void identify(DeviceLink& link, const HidInterfaceInfo& e)
{
    DeviceState& s = link.state;
    s.firmwareVersion = e.releaseNumber;
    s.modelCode = e.productId;
    s.hardwareVersionText = hardwareVersionText(s.modelCode, s.firmwareVersion);
    s.windowTitle = displayName(s.modelCode);
    s.devicePath = e.path;
}

bool pairsWithReceiver(int model) { return modelInfo(model).pairsWithReceiver; }

// `receiver` is the receiver-model that stands for the cable model `cable`.
bool receiverOf(int receiver, int cable)
{
    return cable != kModelNone && modelInfo(receiver).receiverFor == cable;
}

}  // namespace

void deviceScan(DeviceLink& link)
{
    DeviceState& s = link.state;
    const int previous = s.deviceCount;
    s.deviceCount = 0;
    s.deniedPaths.clear();
    for (const HidInterfaceInfo& entry : link.bus.enumerate()) {
        if (deviceProbe(link, entry))
            ++s.deviceCount;
    }
    if (s.deviceCount != previous)
        link.view.postCommand(kCmdRefresh);
}

bool deviceProbe(DeviceLink& link, const HidInterfaceInfo& e)
{
    DeviceState& s = link.state;
    if (e.vendorId != kVendorId)
        return false;
    // Enumeration already gives the attributes and the top-level usage, so
    // only interfaces of the maker are opened at all.
    HidOpenError error = HidOpenError::None;
    HidDevicePtr probe = link.bus.open(e, &error);
    if (!probe) {
        // A receiver collection that cannot be opened takes the failed
        // handle, so an old one no longer keeps the receiver present.
        if (e.productId == kProductReceiver && e.usagePage == kReceiverPage) {
            if (e.usage == 2)
                s.receiverStatus.reset();
            else if (e.usage == 3)
                s.receiverUsage3.reset();
            else if (e.usage == 1)
                s.receiverAux.reset();
        }
        if (error == HidOpenError::PermissionDenied &&
            std::find(s.deniedPaths.begin(), s.deniedPaths.end(), e.path) == s.deniedPaths.end())
            s.deniedPaths.push_back(e.path);
        return false;
    }

    if (e.productId == kProductReceiver) {
        if (e.usagePage != kReceiverPage)
            return false;
        if (e.usage == 2) {
            s.receiverStatus.reset();  // a fresh probe handle is never the stored one
            std::array<uint8_t, 8> report{4};
            if (probe->getFeature(report)) {
                std::copy(report.begin() + 4, report.end(), s.receiverId.begin());
                s.receiverStatus = probe;
            }
            if (s.receiverPresent() && pairsWithReceiver(s.modelCode))
                pairing(link);
        } else if (e.usage == 3) {
            s.receiverUsage3 = probe;
        } else if (e.usage == 1) {
            s.receiverAux = probe;
        }
        return false;
    }

    const ModelInfo& model = modelInfo(e.productId);
    if (model.probe == Probe::LegacyFeature && releaseCounts(model, e)) {
        identify(link, e);
        s.featureHandle = probe;
        return true;
    }

    if (model.probe != Probe::MouseCollection || !releaseCounts(model, e))
        return false;
    // A device shows several top-level collections; its too-new mark is
    // taken on the one collection that would otherwise be counted, so one
    // such device adds 1000 once.
    if (e.usage != 2)
        return false;
    if ((e.releaseNumber & 0xFFF) >= kTooNewVersion) {
        s.deviceCount += 1000;
        return false;
    }
    s.featureHandle = probe;
    if (e.usagePage != 1)
        return false;

    bool pairLater = false;
    if (s.deviceCount == 1 && receiverOf(s.modelCode, e.productId)) {
        // The Dorrin on the cable replaces its receiver counted before.
        s.deviceCount = 0;
        pairLater = true;
    } else if (s.deviceCount == 1 && receiverOf(e.productId, s.modelCode)) {
        pairing(link);
        return false;
    }
    identify(link, e);
    s.mouseHandle = probe;
    if (pairLater)
        pairing(link);
    if (s.receiverPresent() && pairsWithReceiver(s.modelCode))
        pairing(link);
    return true;
}

void pairing(DeviceLink& link)
{
    DeviceState& s = link.state;
    s.busy = true;
    std::array<uint8_t, 4> id{};
    bool haveId = false;
    if (s.receiverPresent()) {
        std::array<uint8_t, 8> report{4};
        if (s.receiverStatus->getFeature(report)) {
            std::copy(report.begin() + 4, report.end(), id.begin());
            haveId = true;
        }
    } else {
        CHidChannel receiver = link.channel(kModelDorrinReceiver);
        if (receiver.isOpen()) {
            try {
                Report8 request{0x84, 0x00};
                receiver.sendWithRetry(request);
                Report8 reply{};
                if (receiver.readReport(reply) && reply[0] == 0x84) {
                    std::copy(reply.begin() + 1, reply.begin() + 5, id.begin());
                    haveId = true;
                }
            } catch (const TransferError&) {}
        }
        receiver.closeAll();
    }

    // The first pairing model present, in table order, takes the id.
    std::vector<uint16_t> candidates;
    for (const ModelInfo& m : knownModels())
        if (m.pairsWithReceiver)
            candidates.push_back(static_cast<uint16_t>(m.code));
    CHidChannel target = link.channel(candidates.front());
    for (size_t i = 1; i < candidates.size() && !target.isOpen(); ++i)
        target.open(kVendorId, candidates[i]);
    if (haveId && target.isOpen()) {
        try {
            Report8 request{0x84, 0x70, id[0], id[1], id[2], id[3], 0x00, 0x00};
            target.sendWithRetry(request);
            Report8 reply{};
            target.readReport(reply);
        } catch (const TransferError&) {}
    }
    target.closeAll();
    s.busy = false;
}

}  // namespace cvk
