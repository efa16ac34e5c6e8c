#pragma once
// The configuration block as the program holds it: the working copy the
// user edits, the reference copy last exchanged with the device, and the
// texts that travel beside it.

#include <array>
#include <cstdint>
#include <vector>

#include "config/factory_blocks.h"

namespace cvk {

class ISystemSettings;

// Byte values of a button position.
enum FunctionCode : uint8_t {
    kFnDisabled = 0,
    kFnClick = 1,
    kFnRightClick = 2,
    kFnAutoScroll = 4,
    kFnBrowseBack = 8,
    kFnBrowseForward = 16,
    kFnDoubleClick = 32,
    kFnCruiseUp = 64,
    kFnCruiseDown = 128,
    kFnScrollWhileHeld = 192,
    kFnZoomOut = 245,
    kFnZoomIn = 246,
    kFnTextSnippet = 247,
    kFnSignature = 248,
    kFnClickLock = 249,
    kFnSwitchScreen = 250,
    kFnEnhanceMore = 251,
    kFnEnhanceLess = 252,
    kFnMultimedia = 254,
    kFnKeyboard = 255,
};

// Block positions with a fixed meaning.
enum BlockPosition : int {
    kPosPadFlags = 0,
    kPosEdgePrecision = 16,
    kPosEndSwitch = 17,
    kPosResolutionMode = 18,
    kPosCursorSpeed = 19,
    kPosPowerOffHigh = 22,
    kPosPowerOffLow = 23,
    kPosBrillSwitch = 59,
    kPosScrollAcceleration = 60,
    kPosScrollSpeed = 61,
    kPosPollingInterval = 62,
    kPosSignatureLength = 63,
    kPosSnippetStrokes = 64,  // 13 pairs up to 89
};

inline constexpr int kBlockSize = 256;
// Bits of the pad flags (position 0).
inline constexpr uint8_t kPadClickBit = 0x01;
inline constexpr uint8_t kPadBrowseBit = 0x02;
inline constexpr uint8_t kPadEdgeScrollBit = 0x04;
inline constexpr uint8_t kPadSwappedButtons = 0x08;
// On the nine-button models button 3 is the pad's on/off switch.
inline constexpr int kOnOffButton = 3;

struct ConfigModel {
    std::array<uint8_t, kBlockSize> block{};
    std::array<uint8_t, kBlockSize> reference{};
    // Set when a snippet or signature was assigned; the write sequence of
    // the wireless models then sends the stroke tables.
    bool textPending = false;
    std::array<char16_t, 256> snippetText{};
    std::array<char16_t, 512> signatureText{};
    // The two signature areas: key usages and modifier bytes.
    std::array<uint8_t, 256> strokeUsages{};
    std::array<uint8_t, 256> strokeModifiers{};
    // Leading bytes exchanged with the device: 32, 64 or 90.
    int exchangedLength = 32;
    // -1 none, 0 the pad, 1..9 a button.
    int currentButton = -1;

    bool differsFromReference() const;
};

// Where a block keeps the buttons: five buttons with their key words at
// 6..10 (low byte) and 11..15 (high byte), or nine with them at 32..40 and
// 48..56. Button n's function code is at position n in both.
enum class ButtonLayout { Five, Nine };

int buttonCount(ButtonLayout layout);
int keyLowPosition(ButtonLayout layout, int button);
int keyHighPosition(ButtonLayout layout, int button);

// The resolution mode a desktop this wide calls for: 2 (Wide Screen Mode)
// from kWideScreenMinWidth on, else 1 (Default Mode).
uint8_t resolutionModeForWidth(int desktopWidth);
// The same for the monitors the system reports.
uint8_t resolutionModeForDesktop(ISystemSettings& system);

// A block byte that goes to the device at once through the single-byte
// write (which only firmware below 0x300 takes).
struct LiveByte {
    int position;
    uint8_t value;
    bool operator==(const LiveByte&) const = default;
};

// Restore Defaults on the working block: the factory values of `kind`,
// firmware conditions and the desktop's resolution mode. Returns the bytes
// the single-byte write sends, in order; the rest is only stored and Apply
// carries it. None (no block of its own) gets the other models' bytes too.
std::vector<LiveByte> restoreFactoryValues(ConfigModel& model, FactoryKind kind, uint32_t firmwareVersion,
                                           int desktopWidth);

}  // namespace cvk
