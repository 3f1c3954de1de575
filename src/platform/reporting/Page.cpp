#include "platform/reporting/Page.h"

#include "platform/richtext/Pictures.h"

#include <QFontInfo>
#include <QPainter>
#include <QPaintDevice>

namespace reporting {

FontSpec FontSpec::of(const QFont& font)
{
    FontSpec spec;
    // The face actually used, not the one asked for: "Arial" may be drawn
    // with a metric-compatible face, and a page must name what it measured.
    spec.family = QFontInfo(font).family();
    spec.points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    spec.weight = font.weight();
    spec.italic = font.italic();
    spec.underline = font.underline();
    spec.strikeOut = font.strikeOut();
    return spec;
}

QFont FontSpec::toFont(double scale) const
{
    QFont font(family);
    font.setPointSizeF(points * scale);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    // Glyph advances at their design widths: a word drawn at a low resolution
    // then keeps the length it has on paper.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

PageItem PageItem::fill(const QRectF& rect, const QColor& colour)
{
    PageItem item;
    item.kind = Kind::Fill;
    item.rect = rect;
    item.colour = colour;
    return item;
}

PageItem PageItem::rule(const QLineF& line, double width, const QColor& colour)
{
    PageItem item;
    item.kind = Kind::Rule;
    item.line = line;
    item.width = width;
    item.colour = colour;
    return item;
}

PageItem PageItem::textRun(const QPointF& origin, const FontSpec& font, const QColor& colour, const QString& text,
                           const QRectF& clip)
{
    PageItem item;
    item.kind = Kind::Text;
    item.origin = origin;
    item.font = font;
    item.colour = colour;
    item.text = text;
    item.clip = clip;
    return item;
}

PageItem PageItem::picture(const QRectF& rect, const QByteArray& data)
{
    PageItem item;
    item.kind = Kind::Picture;
    item.rect = rect;
    item.data = data;
    item.colour = Qt::gray;
    return item;
}

void PageItem::translate(const QPointF& by)
{
    switch (kind) {
    case Kind::Fill:
    case Kind::Picture: rect.translate(by); break;
    case Kind::Rule: line.translate(by); break;
    case Kind::Text: origin += by; break;
    }
    if (!clip.isEmpty())
        clip.translate(by);
}

bool withinLimits(const Page& page)
{
    if (page.sizeMm.width() > PageLimits::sideMm || page.sizeMm.height() > PageLimits::sideMm ||
        qsizetype(page.items.size()) > PageLimits::marks)
        return false;
    qsizetype characters = 0, pictureBytes = 0;
    for (const PageItem& item : page.items) {
        pictureBytes += item.data.size();
        if (item.kind != PageItem::Kind::Text)
            continue;
        if (item.text.size() > PageLimits::runLength)
            return false;
        characters += item.text.size();
    }
    return characters <= PageLimits::characters && pictureBytes <= PageLimits::pictureBytes;
}

namespace {

// A picture at the size it takes on the device, or a framed box where it
// cannot be drawn.
void paintPicture(QPainter& painter, const QRectF& rect, const PageItem& item)
{
    const QSize pixels = rect.size().toSize() * painter.device()->devicePixelRatioF();
    const QImage image = item.data.isEmpty() ? QImage() : richtext::decodePicture(item.data, pixels.expandedTo({1, 1}));
    if (!image.isNull()) {
        painter.drawImage(rect, image);
        return;
    }
    painter.save();
    painter.setPen(QPen(item.colour, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
    painter.drawLine(rect.topLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomLeft());
    painter.restore();
}

} // namespace

void paintPage(const Page& page, QPainter& painter, double unitsPerMm)
{
    QPaintDevice* device = painter.device();
    if (!device)
        return;
    if (unitsPerMm <= 0)
        unitsPerMm = device->logicalDpiX() / 25.4;
    // A point size is resolved at the device's resolution; this brings a
    // face to its size on paper in the painter's own units.
    const double fontScale = unitsPerMm * 25.4 / device->logicalDpiY();
    auto at = [unitsPerMm](const QPointF& p) { return p * unitsPerMm; };
    auto rectAt = [&](const QRectF& r) { return QRectF(at(r.topLeft()), at(r.bottomRight())); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Setting a face costs a look-up: consecutive texts mostly share one.
    const FontSpec* face = nullptr;
    for (const PageItem& item : page.items) {
        // A cut mark draws inside its clip; the painter's state, face
        // included, comes back afterwards.
        if (!item.clip.isEmpty()) {
            painter.save();
            painter.setClipRect(rectAt(item.clip), Qt::IntersectClip);
        }
        switch (item.kind) {
        case PageItem::Kind::Fill:
            painter.fillRect(rectAt(item.rect), item.colour);
            break;
        case PageItem::Kind::Rule:
            painter.setPen(QPen(item.colour, item.width * unitsPerMm, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QLineF(at(item.line.p1()), at(item.line.p2())));
            break;
        case PageItem::Kind::Text:
            painter.setPen(item.colour);
            if (!face || !(*face == item.font)) {
                painter.setFont(item.font.toFont(fontScale));
                face = &item.font;
            }
            painter.drawText(at(item.origin), item.text);
            break;
        case PageItem::Kind::Picture:
            paintPicture(painter, rectAt(item.rect), item);
            break;
        }
        if (!item.clip.isEmpty()) {
            painter.restore();
            face = nullptr;
        }
    }
    painter.restore();
}

} // namespace reporting
