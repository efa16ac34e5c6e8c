#include "device/model_views.h"

#include "config/config_model.h"
#include "device/device_state.h"
#include "device/models.h"

namespace cvk {

MenuContext menuContext(int modelCode, bool receiverOpen)
{
    MenuContext c;
    c.modelCode = modelCode;
    c.receiverOpen = receiverOpen;
    c.catalogue = catalogueFor(modelCode, receiverOpen);
    // Where the assignments write, so the ticks show what they wrote.
    c.layout = buttonLayout(modelCode);
    return c;
}

MenuContext menuContext(const DeviceState& device, const ConfigModel& model, int button, bool ctrlHeld)
{
    MenuContext c = menuContext(device.modelCode, device.receiverPresent());
    c.firmwareVersion = device.firmwareVersion;
    c.block = model.block;
    c.button = button;
    c.ctrlHeld = ctrlHeld;
    return c;
}

std::optional<MenuContext> menuFor(const DeviceState& device, const ConfigModel& model, int button,
                                   bool ctrlHeld)
{
    if (!device.singleDevice() || !buttonOnPicture(device, button))
        return std::nullopt;
    return menuContext(device, model, button, ctrlHeld);
}

DescribeContext describeContext(int modelCode, bool receiverOpen)
{
    DescribeContext c;
    c.modelCode = modelCode;
    c.receiverOpen = receiverOpen;
    c.layout = pictureLayout(modelCode, receiverOpen);
    c.padEdgeFunctions = modelInfo(modelCode).padEdgeFunctions;
    return c;
}

DescribeContext describeContext(const DeviceState& device, const ConfigModel& model, int fadeLevel)
{
    DescribeContext c = describeContext(device.modelCode, device.receiverPresent());
    c.block = model.block;
    c.snippetText = std::u16string(untilNul(model.snippetText.data(), model.snippetText.size()));
    c.fadeLevel = fadeLevel;
    return c;
}

std::optional<std::string> textTooltip(uint8_t code, int modelCode, std::u16string_view snippetText,
                                       std::u16string_view signatureText)
{
    const TipModel model{modelCode != kModelNone, hasTextAreas(modelCode)};
    return textTooltip(code, model, snippetText, signatureText);
}

bool hasScrollRows(const DeviceState& state)
{
    return catalogueFor(state.modelCode, state.receiverPresent()) == Catalogue::Cindel;
}

PanelDevice panelDevice(const DeviceState& state)
{
    return PanelDevice{state.firmwareVersion, state.singleDevice(), hasScrollRows(state)};
}

bool rowVisible(int row, const DeviceState& state, bool settingsViewOpen)
{
    return rowVisible(row, panelDevice(state), settingsViewOpen);
}

bool hasSensitivitySpots(const DeviceState& state) { return hasSensitivitySpots(panelDevice(state)); }

}  // namespace cvk
