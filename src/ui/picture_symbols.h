#pragma once
// The small pictures of the picture area besides the device itself: the
// status symbol, the settings-view toggle and picture, the wireless status,
// the wake-up animation, the busy picture and the program icon. All are
// drawn as vectors through the painter, so they stay sharp at any device
// pixel ratio; each fills the rectangle it is given and draws nothing
// outside it.

#include <QIcon>
#include <QRectF>
#include <optional>

class QPainter;

namespace cvk::symbols {

// The 32x24 symbol at the status band's first line.
enum class StatusKind {
    Plain,      // an ordinary function: an information mark
    Special,    // multimedia, signature or keyboard shortcut: a keyboard key
    PadSwitch,  // the pad's on/off switch of the wireless models
};
void drawStatusSymbol(QPainter& painter, const QRectF& rect, StatusKind kind);

// The toggle at the area's bottom right that opens the settings view:
// 32x32, or 64x64 and more prominent while the pointer is over it.
void drawSettingsToggle(QPainter& painter, const QRectF& rect, bool hot);

// The settings view's 300x300 picture beside the slider rows: the device
// seen from above with its scroll and pointer motion suggested.
void drawSettingsPicture(QPainter& painter, const QRectF& rect);

// The wireless status: signal bars for level 0 (no signal) to 4 (full) and a
// battery for state -1 (unknown: outline only), 1 (low, red), 2 (half) or
// 3 (full). With a percent (the Dorrin receiver) the battery fill follows
// it and the percent is written beside it.
QSizeF wirelessStatusSize();
void drawWirelessStatus(QPainter& painter, const QPointF& topLeft, int signalLevel, int batteryState,
                        std::optional<int> percent);

// Frame 0..4 of the wake-up animation (36x83): the pad moving up and down,
// as the prompt beside it asks the user to do.
inline constexpr int kWakeFrames = 5;
void drawWakeFrame(QPainter& painter, const QRectF& rect, int frame);
// The two 32x32 marks of the wake-up prompt: the pointing hand and the
// up-and-down arrow.
void drawPromptHand(QPainter& painter, const QRectF& rect);
void drawPromptArrows(QPainter& painter, const QRectF& rect);

// The 256x256 picture shown while the configuration is being read.
void drawBusyPicture(QPainter& painter, const QRectF& rect);

// The program's icon at 16, 24, 32, 48, 64 and 256 pixels; grey while no
// device is usable.
QIcon programIcon(bool usable);

}  // namespace cvk::symbols
