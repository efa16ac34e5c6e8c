#pragma once
// A model's picture (an SVG in the resources, :/pictures/NAME.svg) and the
// hit map the window uses to tell which button lies under the mouse.

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QSvgRenderer>
#include <array>
#include <optional>

class QPainter;

namespace cvk {

class DevicePicture {
public:
    // One colour per button 0..9; a button without a colour stays out of the map.
    using HitColours = std::array<std::optional<QColor>, 10>;

    // Loads :/pictures/NAME.svg (NAME without ".svg"); isValid() tells whether it worked.
    explicit DevicePicture(const QString& name);

    bool isValid() const;
    QString name() const { return name_; }
    // The picture's size in its own units (720x180 for a device).
    QSize size() const;

    // The whole picture scaled into target, sharp at the painter's device pixel ratio.
    // Elements hidden in the file (the Brill's "pad-switch") are left out.
    void render(QPainter& painter, const QRectF& target) const;
    // One element alone, drawn where it lies in the picture when the picture fills target;
    // for overlays such as "pad-switch". False when the picture has no such element.
    bool renderElement(QPainter& painter, const QString& id, const QRectF& target) const;

    // "button0".."button9", those the picture has, in order.
    QStringList buttonIds() const;
    bool hasElement(const QString& id) const;
    // The element's bounds in picture coordinates; empty when there is no such element.
    QRectF elementBounds(const QString& id) const;

    // size() large, white, each button N with colours[N] filled with exactly
    // that colour: no anti-aliasing, no blending, so every pixel is white or
    // one of the colours.
    // With webLink, the "web-link" element's surroundings (the maker's
    // emblem, a comfortable target) are filled with that colour first.
    QImage hitMap(const HitColours& colours, const std::optional<QColor>& webLink = std::nullopt) const;

private:
    QSvgRenderer& elements() const;

    QString name_;
    QByteArray svg_;
    mutable bool elementsLoaded_ = false;
    // QSvgRenderer's render() is not const.
    mutable QSvgRenderer renderer_;  // the picture as the file shows it
    mutable QSvgRenderer elements_;  // the same with the hidden overlays shown
};

}  // namespace cvk
