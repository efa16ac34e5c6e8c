#pragma once
// The menus, descriptions, tips and pointer-settings rows for what is
// attached: the rules of config/ fed with the facts of the model table.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/catalogue.h"
#include "config/descriptions.h"
#include "config/pointer_settings.h"

namespace cvk {

struct ConfigModel;
struct DeviceState;

// A menu context carrying the model's facts, everything else at its default.
// The key words are read where the model's block keeps them.
MenuContext menuContext(int modelCode, bool receiverOpen);
MenuContext menuContext(const DeviceState& device, const ConfigModel& model, int button, bool ctrlHeld);

// The menu a click on `button` opens, or nullopt when it opens nothing:
// menus need a device count below 100 and either exactly one device or the
// open receiver (whose stored copy is edited with the Cindel catalogue), and
// a button the picture shows. The window and the cli both ask here.
std::optional<MenuContext> menuFor(const DeviceState& device, const ConfigModel& model, int button,
                                   bool ctrlHeld);

// A description context carrying the model's facts, everything else at its
// default. The key words are read at the layout the picture shows.
DescribeContext describeContext(int modelCode, bool receiverOpen);
DescribeContext describeContext(const DeviceState& device, const ConfigModel& model, int fadeLevel);

// The snippet or signature tip (see config's textTooltip): a model is
// connected for any code but none; the text-area models show the heading.
std::optional<std::string> textTooltip(uint8_t code, int modelCode, std::u16string_view snippetText,
                                       std::u16string_view signatureText);

// The rows beyond cursor speed belong to the models with the Cindel
// catalogue, the open receiver included.
bool hasScrollRows(const DeviceState& state);
PanelDevice panelDevice(const DeviceState& state);
bool rowVisible(int row, const DeviceState& state, bool settingsViewOpen);
bool hasSensitivitySpots(const DeviceState& state);

}  // namespace cvk
