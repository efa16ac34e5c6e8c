#include "device/models.h"

#include <algorithm>

#include "device/device_state.h"

namespace cvk {

namespace {

using enum ReportFamily;
using enum ButtonLayout;
using enum Applies;

constexpr uint16_t buttonBit(int n) { return static_cast<uint16_t>(1u << n); }

constexpr ModelSetup kWirelessSetup{"cindel.pdf", 90, kPictureWireless, true};
constexpr ModelSetup kDorrinSetup{"dorrin.pdf", 64, kPictureDorrin, true};

constexpr std::array<ModelInfo, 10> kModels = {{
    {.code = kModelNone, .picture = PictureKind::NoDevice},
    // Only the receiver: the block is the copy a Cindel or Brill stored over
    // the cable, with their nine buttons.
    {.code = kModelReceiverOnly,
     .layout = Nine,
     .wireless = true,
     .picture = PictureKind::Wireless,
     .labels = LabelTable::Wireless,
     .hits = HitTable::Wireless,
     .setup = kWirelessSetup,
     .setupApplies = Attached},
    {.code = kModelArvelOld,
     .factory = FactoryKind::Other,
     .versionText = VersionText::TwoDigits,
     .probe = Probe::LegacyFeature,
     .releaseFrom = 0x205,
     .releaseTo = 0x2FE},
    {.code = kModelArvel,
     .factory = FactoryKind::Arvel,
     .probe = Probe::MouseCollection,
     .releaseFrom = 0x300,
     .setup = {"Arveld.pdf", 32, kPictureArvel, true}},
    {.code = kModelEssom,
     .name = "Corvane Essom",
     .buttonsOffPicture = buttonBit(3),
     .padEdgeFunctions = false,
     .catalogue = Catalogue::Essom,
     .factory = FactoryKind::Other,
     .probe = Probe::MouseCollection,
     .releaseFrom = 1,
     .picture = PictureKind::Essom,
     .labels = LabelTable::Essom,
     .setup = {"Essom.pdf", 32, kPictureEssom, false},
     .setupApplies = SingleDevice,
     .documentBeforeReceiver = true},
    {.code = kModelDorrinReceiver,
     .name = "Corvane Dorrin",
     .family = Command,
     .layout = Nine,
     .receiverFor = kModelDorrin,
     .wakeUp = true,
     .catalogue = Catalogue::Dorrin,
     .factory = FactoryKind::Dorrin,
     .probe = Probe::MouseCollection,
     .picture = PictureKind::Dorrin,
     .labels = LabelTable::Dorrin,
     .hits = HitTable::Command,
     .setup = kDorrinSetup,
     .setupApplies = SingleDevice},
    {.code = kModelDorrin,
     .name = "Corvane Dorrin",
     .family = Command,
     .layout = Nine,
     .pairsWithReceiver = true,
     .catalogue = Catalogue::Dorrin,
     .factory = FactoryKind::Dorrin,
     .probe = Probe::MouseCollection,
     .picture = PictureKind::Dorrin,
     .labels = LabelTable::Dorrin,
     .hits = HitTable::Command,
     .setup = kDorrinSetup,
     .setupApplies = SingleDevice},
    {.code = kModelCindel,
     .name = "Corvane Cindel",
     .family = Command,
     .layout = Nine,
     .textAreas = true,
     .wireless = true,
     .pairsWithReceiver = true,
     .snippetBytes = true,
     .catalogue = Catalogue::Cindel,
     .factory = FactoryKind::Cindel,
     .probe = Probe::MouseCollection,
     .picture = PictureKind::Wireless,
     .labels = LabelTable::Wireless,
     .hits = HitTable::Wireless,
     .setup = kWirelessSetup,
     .setupApplies = Attached},
    {.code = kModelBrill,
     .name = "Corvane Brill",
     .family = Command,
     .layout = Nine,
     .textAreas = true,
     .pairsWithReceiver = true,
     .snippetBytes = true,
     .catalogue = Catalogue::Cindel,
     .factory = FactoryKind::Dorrin,
     .probe = Probe::MouseCollection,
     .picture = PictureKind::Brill,
     .labels = LabelTable::Wireless,
     .hits = HitTable::Wireless,
     .setup = kWirelessSetup},
    {.code = kModelArvel2,
     .name = "Corvane Arvel 2.0",
     .family = Command,
     .layout = Nine,
     .buttonsOffPicture = buttonBit(2) | buttonBit(8),
     .offPictureApplies = Attached,
     .snippetBytes = true,
     .factory = FactoryKind::Arvel2,
     .probe = Probe::MouseCollection,
     .picture = PictureKind::Arvel2,
     .labels = LabelTable::Wireless,
     .hits = HitTable::Command,
     .setup = {"Arveld.pdf", 90, kPictureArvel2, true},
     .setupApplies = Attached},
}};
static_assert(kModels.front().code == kModelNone, "unknown codes below 2 take the first record");

// Unknown codes (the records keep code kModelNone): below 2 like no device,
// up to 6 the register family with the other models' factory bytes, from 7
// on the command family as well.
constexpr ModelInfo kUnknownRegister{.factory = FactoryKind::Other};
constexpr ModelInfo kUnknownCommand{.family = Command,
                                    .layout = Nine,
                                    .snippetBytes = true,
                                    .factory = FactoryKind::Other,
                                    .picture = PictureKind::Dorrin,
                                    .labels = LabelTable::Dorrin,
                                    .hits = HitTable::Command,
                                    .setup = kDorrinSetup,
                                    .setupApplies = SingleDevice};

bool holds(Applies when, const DeviceState& s)
{
    switch (when) {
    case Always: return true;
    case Attached: return s.attached();
    case SingleDevice: return s.deviceCount == 1;
    }
    return false;
}

}  // namespace

std::span<const ModelInfo> knownModels() { return kModels; }

const ModelInfo& modelInfo(int modelCode)
{
    const auto it =
        std::find_if(kModels.begin(), kModels.end(), [&](const ModelInfo& m) { return m.code == modelCode; });
    if (it != kModels.end())
        return *it;
    if (modelCode < 2)
        return kModels.front();
    return modelCode <= kModelEssom ? kUnknownRegister : kUnknownCommand;
}

std::string displayName(int modelCode) { return std::string(modelInfo(modelCode).name); }

bool hasTextAreas(int modelCode) { return modelInfo(modelCode).textAreas; }

bool needsWakeUp(int modelCode) { return modelInfo(modelCode).wakeUp; }

bool hasSnippetBytes(int modelCode) { return modelInfo(modelCode).snippetBytes; }

ButtonLayout buttonLayout(int modelCode) { return modelInfo(modelCode).layout; }

int buttonCount(int modelCode) { return buttonCount(buttonLayout(modelCode)); }

int keyLowPosition(int modelCode, int button) { return keyLowPosition(buttonLayout(modelCode), button); }

int keyHighPosition(int modelCode, int button) { return keyHighPosition(buttonLayout(modelCode), button); }

Catalogue catalogueFor(int modelCode, bool receiverOpen)
{
    return receiverOpen ? Catalogue::Cindel : modelInfo(modelCode).catalogue;
}

ButtonLayout pictureLayout(int modelCode, bool receiverOpen)
{
    return buttonLayout(receiverOpen ? kModelReceiverOnly : modelCode);
}

bool describesNineButtons(int modelCode, bool receiverOpen)
{
    return pictureLayout(modelCode, receiverOpen) == Nine;
}

bool buttonOnPicture(const DeviceState& device, int button)
{
    const int last = buttonCount(pictureLayout(device.modelCode, device.receiverPresent()));
    if (button < 0 || button > last)
        return false;
    const ModelInfo& m = modelInfo(device.modelCode);
    return (m.buttonsOffPicture & (1u << button)) == 0 || !holds(m.offPictureApplies, device);
}

ModelSetup modelSetupFor(const DeviceState& device)
{
    const ModelInfo& m = modelInfo(device.modelCode);
    const bool own = holds(m.setupApplies, device);
    ModelSetup setup = own ? m.setup : modelInfo(kModelNone).setup;
    if (device.receiverPresent()) {
        const ModelSetup& receiver = modelInfo(kModelReceiverOnly).setup;
        setup.pictureId = receiver.pictureId;
        if (!(own && m.documentBeforeReceiver)) {
            setup.helpDocument = receiver.helpDocument;
            setup.exchangedLength = receiver.exchangedLength;
        }
    }
    return setup;
}

LabelTable labelTableFor(const DeviceState& device)
{
    return device.wirelessFamily() ? LabelTable::Wireless : modelInfo(device.modelCode).labels;
}

HitTable hitTableFor(const DeviceState& device)
{
    return device.wirelessFamily() ? HitTable::Wireless : modelInfo(device.modelCode).hits;
}

PictureKind pictureKind(const DeviceState& device)
{
    if (!device.singleDevice() || device.modelCode == kModelNone)
        return PictureKind::NoDevice;
    if (device.modelCode == kModelArvel2)
        return PictureKind::Arvel2;
    if (device.wirelessFamily())
        return PictureKind::Wireless;
    return modelInfo(device.modelCode).picture;
}

std::array<uint8_t, 256> factoryBlock(int modelCode, uint32_t firmwareVersion)
{
    return factoryBlock(modelInfo(modelCode).factory, firmwareVersion);
}

}  // namespace cvk
