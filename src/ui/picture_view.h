#pragma once
// The main window's picture area: the attached device drawn with every
// button's function beside it, the status band, the pointer-settings panel
// and the overlays of a running transfer. It draws what the core reports,
// turns pointer and keys into the core's items, and forwards clicks to its
// host; every rule it follows is in app/picture_area.h.

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/picture_area.h"
#include "config/config_model.h"
#include "device/models.h"

namespace cvk {
class CMainController;
class DevicePicture;
}  // namespace cvk

class ButtonFocus;

// What the picture area needs from the window around it.
class PictureHost {
public:
    virtual ~PictureHost() = default;
    virtual const cvk::CMainController& controller() const = 0;
    // Runs a change of the core, then the window redraws what it touched.
    virtual void change(const std::function<void(cvk::CMainController&)>& action) = 0;
    // Button n's function menu, opened at a point on the screen.
    virtual void openButtonMenu(int button, const QPoint& globalPos) = 0;
    virtual void openWebSite() = 0;
    virtual std::string keyText(uint16_t word) const = 0;
    virtual bool menuOpen() const = 0;
};

class PictureView final : public QWidget {
public:
    // B - T: the area's height; its width is the picture's.
    static constexpr int kHeight = 315;

    PictureView(PictureHost& host, QWidget* parent);
    ~PictureView() override;

    // The core's state changed: labels, hover, focus names and the panel.
    void refresh();
    // The key names changed (another keyboard layout): the buttons' names
    // are rebuilt at the next refresh.
    void keyNamesChanged() { focusKey_.reset(); }
    // The overlays of a running read: drawn at once, since the read holds
    // the event loop while it runs.
    void showBusy();
    void showWakeFrame(int frame);
    void showWakePrompt(const QString& text, bool bright);

    // Everything the area shows, in area coordinates.
    void paintArea(QPainter& painter);
    // The item at an area point, as the pointer there would hover it.
    int itemAt(const QPoint& point);
    int hovered() const;
    // Rests the pointer on an item (a button, or a pointer-setting control).
    void hoverItem(int item);
    // Where an item lies: a point inside it, or none when it is not shown.
    std::optional<QPoint> itemPoint(int item);
    // The hit map of what is shown now (720x180, white and the table's colours).
    QImage hitMap();
    int focusedButton() const;
    bool settingsToggleShown() const;
    QRect settingsToggleRect() const;
    QRect padSwitchRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class ButtonFocus;

    struct Shown {
        cvk::PictureKind kind = cvk::PictureKind::NoDevice;
        cvk::HitTable table = cvk::HitTable::Register;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    const cvk::DevicePicture& picture(cvk::PictureKind kind);
    const QImage& currentHitMap();
    cvk::HitFacts facts() const;
    int effectiveHover() const;
    void setHovered(int item);
    void updateCursorAndTips(int item, const QPoint& pos);
    void hideTextTip();

    bool toggleAvailable() const;
    bool overToggle(const QPoint& p) const;
    bool overPadSwitch(const QPoint& p) const;

    void drawDevice(QPainter& p, const Shown& s);
    void drawLabels(QPainter& p);
    void drawStatus(QPainter& p, bool rightColumnUsed);
    void drawSliderRow(QPainter& p, int row, bool open);
    void drawSettingsView(QPainter& p);
    void drawWirelessStatus(QPainter& p);
    void drawFocus(QPainter& p);
    void drawTransferOverlays(QPainter& p);
    void drawHoverGlow(QPainter& p, const Shown& s, int button);

    // The device buttons as focusable, named children for the keyboard and
    // screen readers.
    void layoutFocusButtons();
    void focusButtonChanged(int button, bool in);
    void openFocused(int button);

    PictureHost& host_;
    std::map<cvk::PictureKind, std::unique_ptr<cvk::DevicePicture>> pictures_;
    std::map<std::pair<int, int>, QImage> hitMaps_;        // by kind and table
    std::map<std::pair<int, int>, QImage> glowCache_;      // by kind and button, at the current ratio
    std::map<std::pair<int, int>, QPixmap> pictureCache_;  // by kind and ratio in hundredths
    struct FocusKey {
        cvk::PictureKind kind;
        bool open;
        int deviceCount;
        bool receiver;
        decltype(cvk::ConfigModel::block) block;
        bool operator==(const FocusKey&) const = default;
    };
    std::optional<FocusKey> focusKey_;
    qreal glowRatio_ = 0;

    int hovered_ = cvk::kItemNone;
    int focused_ = -1;
    bool toggleHot_ = false;
    int dragRow_ = -1;
    int dragX_ = 0;
    bool busyShown_ = false;
    int wakeFrame_ = -1;
    QString wakePrompt_;
    bool wakeBright_ = false;
    std::array<ButtonFocus*, 10> focusButtons_{};
    QTimer focusLayoutTimer_;
    QTimer tipTimer_;  // shows the snippet or signature tip shortly after the pointer arrived
    QString tipText_;
    QPoint tipPos_;
};
