#pragma once
// One record per model code: its name, how it talks, where its block keeps
// the buttons and what its picture shows, its menus and factory values, and
// what the window sets up for it. Every question that depends on the model
// is answered here or by a predicate built on these records.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/catalogue.h"
#include "config/config_model.h"
#include "config/factory_blocks.h"
#include "device/device_state.h"

namespace cvk {

// Register family: feature reports (model codes up to 6). Command family:
// command reports over the vendor collection (from 7 on).
enum class ReportFamily { Register, Command };

// How the hardware version text writes the firmware version.
enum class VersionText {
    Dotted,     // ":1.2.05"
    TwoDigits,  // ":2.50\r\n"
};

// Which enumeration entries of the product count as the model.
enum class Probe {
    None,             // never: no model, the receiver alone, unknown products
    LegacyFeature,    // any collection, only its feature handle is kept
    MouseCollection,  // the mouse collection (usage page 1, usage 2) is counted
};

// The device pictures of the window.
enum PictureId : int {
    kPictureArvel = 138,
    kPictureNoDevice = 163,
    kPictureEssom = 164,
    kPictureDorrin = 182,
    kPictureWireless = 1011,
    kPictureArvel2 = 10009,
};

// The drawing of the device the window shows; its buttons are also the hit
// map's, so what is drawn and what is hit cannot disagree.
enum class PictureKind { NoDevice, Arvel, Arvel2, Essom, Dorrin, Wireless, Brill };

// Where the picture puts the labels beside the buttons.
enum class LabelTable { Arvel, Essom, Dorrin, Wireless };
// How the hit map's colours translate to buttons.
enum class HitTable {
    Register,  // the five-button models and no device; black is the web-site item
    Command,   // the nine-button models, with extra sample points
    Wireless,  // the wireless family and the Brill
};

// What the window sets up for a model.
struct ModelSetup {
    std::string_view helpDocument;
    int exchangedLength;  // leading block bytes read and written
    int pictureId;
    bool profileRow;  // the profile selector and its buttons are shown
    bool operator==(const ModelSetup&) const = default;
};

// The states in which a per-model rule holds.
enum class Applies {
    Always,        // whatever is attached, the code alone decides
    Attached,      // a device is counted (or not yet scanned) or the receiver is open
    SingleDevice,  // exactly one device is counted
};

// The defaults describe no device; a record states what differs.
struct ModelInfo {
    int code = kModelNone;
    std::string_view name = "Corvane Arvel";  // the window title
    ReportFamily family = ReportFamily::Register;
    ButtonLayout layout = ButtonLayout::Five;  // where its block keeps the buttons
    uint16_t buttonsOffPicture = 0;            // bit n: the picture has no button n
    Applies offPictureApplies = Applies::Always;
    bool padEdgeFunctions = true;    // the pad's caption names edge scroll and browsing
    bool textAreas = false;          // signature and snippet stroke tables beside the block
    bool wireless = false;           // counts to the wireless family (status, picture)
    bool pairsWithReceiver = false;  // takes the receiver's id while on the cable
    int receiverFor = kModelNone;    // a receiver-model: the cable model it stands for
    // Its radio link must be woken before a whole-block transfer, and its
    // status is asked with a command of its own.
    bool wakeUp = false;
    // Its block holds the snippet strokes (positions 64..89), so a read
    // tells the snippet text by its preset.
    bool snippetBytes = false;
    Catalogue catalogue = Catalogue::Arvel;  // with the receiver closed
    FactoryKind factory = FactoryKind::None;
    VersionText versionText = VersionText::Dotted;
    Probe probe = Probe::None;
    uint32_t releaseFrom = 0;  // release numbers that count, both ends included
    uint32_t releaseTo = 0xFFFF;
    PictureKind picture = PictureKind::Arvel;  // with the receiver closed
    LabelTable labels = LabelTable::Arvel;     // with the receiver closed
    HitTable hits = HitTable::Register;        // with the receiver closed
    ModelSetup setup{"Arveld.pdf", 32, kPictureNoDevice, true};
    Applies setupApplies = Applies::Always;  // else the no-device set-up
    // Its help document and exchanged length stay with the receiver open
    // (the picture still becomes the receiver's).
    bool documentBeforeReceiver = false;
};

// The models the program knows, in pairing order.
std::span<const ModelInfo> knownModels();
// The record of a code. Unknown codes get one that keeps the rules they
// always had: below 2 no device, up to 6 the register family, from 7 on the
// command family with nine buttons.
const ModelInfo& modelInfo(int modelCode);

// "Corvane Dorrin" etc.; unknown codes get the Arvel name.
std::string displayName(int modelCode);
bool hasTextAreas(int modelCode);
bool needsWakeUp(int modelCode);
bool hasSnippetBytes(int modelCode);

// The layout the assignments and menus use: the model's block, or for the
// receiver alone the stored copy's.
ButtonLayout buttonLayout(int modelCode);
int buttonCount(int modelCode);
int keyLowPosition(int modelCode, int button);
int keyHighPosition(int modelCode, int button);

// The receiver open gives the Cindel catalogue whatever the model.
Catalogue catalogueFor(int modelCode, bool receiverOpen);
// The layout the picture and the descriptions show: with the receiver open
// that of the receiver alone whatever the model.
ButtonLayout pictureLayout(int modelCode, bool receiverOpen);
bool describesNineButtons(int modelCode, bool receiverOpen);
// Whether the device picture shows the pad (0) or button 1..9: the picture
// layout without the buttons the model's picture lacks (where that applies).
bool buttonOnPicture(const DeviceState& device, int button);

// Help document, exchanged length, picture and profile row for what is
// attached: the model's own set-up when it applies, else the no-device one;
// an open receiver brings its picture and, unless the model keeps its own,
// its help document and exchanged length.
ModelSetup modelSetupFor(const DeviceState& device);

// The label and hit tables of what is attached: an open receiver or a
// model of the wireless family brings the wireless tables.
LabelTable labelTableFor(const DeviceState& device);
HitTable hitTableFor(const DeviceState& device);

// The drawing for what is attached: the no-device one unless exactly one
// device (or the receiver) is there and a model is known; an open receiver
// shows the wireless one, except beside an Arvel 2.0, which keeps its own.
PictureKind pictureKind(const DeviceState& device);

// The initial device memory of the model (see factoryBlock of the kind).
std::array<uint8_t, 256> factoryBlock(int modelCode, uint32_t firmwareVersion);

}  // namespace cvk
