#include "ui/device_picture.h"

#include <QFile>
#include <QPainter>
#include <QTransform>

// The pictures live in a static library, whose resource initialiser the
// linker would drop as unreferenced; registering them here keeps them.
static void registerPictures() { Q_INIT_RESOURCE(pictures); }

namespace cvk {

namespace {

// The button ids in the order of their numbers.
QString buttonId(int number) { return QStringLiteral("button%1").arg(number); }

// Pixels at least this opaque belong to the element in the hit map; the
// threshold at half keeps a shape's edge where its outline runs.
constexpr int kAlphaThreshold = 128;

// The emblem is small; the link around it is easier to hit.
constexpr int kLinkMargin = 8;

// How the pictures hide an overlay until the window asks for it.
constexpr char kHidden[] = " style=\"display:none\"";

}  // namespace

DevicePicture::DevicePicture(const QString& name) : name_(name)
{
    static const bool registered = (registerPictures(), true);
    (void)registered;
    QFile file(QStringLiteral(":/pictures/%1.svg").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return;
    svg_ = file.readAll();
    renderer_.load(svg_);
}

QSvgRenderer& DevicePicture::elements() const
{
    // Overlays are hidden in the file, and QtSvg draws nothing of a hidden
    // element even when asked for it alone; a second copy shows them. It is
    // parsed when first needed, which the window's start does not.
    if (!elementsLoaded_) {
        QByteArray shown = svg_;
        shown.replace(kHidden, "");
        elements_.load(shown);
        elementsLoaded_ = true;
    }
    return elements_;
}

bool DevicePicture::isValid() const { return renderer_.isValid(); }

QSize DevicePicture::size() const { return renderer_.defaultSize(); }

void DevicePicture::render(QPainter& painter, const QRectF& target) const
{
    if (!isValid())
        return;
    // QSvgRenderer paints vectors through the painter, so any device pixel
    // ratio of the painter's device comes out sharp.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer_.render(&painter, target);
    painter.restore();
}

bool DevicePicture::renderElement(QPainter& painter, const QString& id, const QRectF& target) const
{
    if (!hasElement(id))
        return false;
    const QRectF box = elementBounds(id);
    const QSizeF whole = renderer_.viewBoxF().size();
    if (box.isEmpty() || whole.isEmpty())
        return false;
    const double sx = target.width() / whole.width();
    const double sy = target.height() / whole.height();
    const QRectF placed(target.left() + box.left() * sx, target.top() + box.top() * sy, box.width() * sx,
                        box.height() * sy);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    elements().render(&painter, id, placed);
    painter.restore();
    return true;
}

QStringList DevicePicture::buttonIds() const
{
    QStringList ids;
    for (int n = 0; n < 10; ++n)
        if (hasElement(buttonId(n)))
            ids << buttonId(n);
    return ids;
}

bool DevicePicture::hasElement(const QString& id) const { return isValid() && renderer_.elementExists(id); }

QRectF DevicePicture::elementBounds(const QString& id) const
{
    if (!hasElement(id))
        return {};
    // boundsOnElement() leaves out the transforms of the element's parents.
    return renderer_.transformForElement(id).mapRect(renderer_.boundsOnElement(id));
}

QImage DevicePicture::hitMap(const HitColours& colours, const std::optional<QColor>& webLink) const
{
    const QSize pixels = size().isEmpty() ? QSize(1, 1) : size();
    QImage map(pixels, QImage::Format_RGB32);
    map.fill(Qt::white);
    if (!isValid())
        return map;
    const QSizeF whole = renderer_.viewBoxF().size();
    const double sx = pixels.width() / whole.width();
    const double sy = pixels.height() / whole.height();

    if (webLink && hasElement(QStringLiteral("web-link"))) {
        const QRectF box = elementBounds(QStringLiteral("web-link"));
        const QRect area = QRectF(box.left() * sx, box.top() * sy, box.width() * sx, box.height() * sy)
                               .adjusted(-kLinkMargin, -kLinkMargin, kLinkMargin, kLinkMargin)
                               .toAlignedRect();
        QPainter painter(&map);
        painter.fillRect(area, webLink->rgb());
    }
    QImage mask(pixels, QImage::Format_ARGB32);
    for (int n = 0; n < 10; ++n) {
        const QString id = buttonId(n);
        if (!colours[n] || !hasElement(id))
            continue;
        const QRectF box = elementBounds(id);
        if (box.isEmpty())
            continue;
        // The element alone into a clear mask; its coverage, cut at a
        // threshold, becomes the button's exact colour.
        mask.fill(Qt::transparent);
        {
            QPainter painter(&mask);
            renderer_.render(&painter, id,
                             QRectF(box.left() * sx, box.top() * sy, box.width() * sx, box.height() * sy));
        }
        const QRgb colour = colours[n]->rgb();
        for (int y = 0; y < pixels.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(map.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x)
                if (qAlpha(in[x]) >= kAlphaThreshold)
                    out[x] = colour;
        }
    }
    return map;
}

}  // namespace cvk
