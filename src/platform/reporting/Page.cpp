#include "platform/reporting/Page.h"

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

void PageItem::translate(const QPointF& by)
{
    switch (kind) {
    case Kind::Fill: rect.translate(by); break;
    case Kind::Rule: line.translate(by); break;
    case Kind::Text:
        origin += by;
        if (!clip.isEmpty())
            clip.translate(by);
        break;
    }
}

bool withinLimits(const Page& page)
{
    if (page.sizeMm.width() > PageLimits::sideMm || page.sizeMm.height() > PageLimits::sideMm ||
        qsizetype(page.items.size()) > PageLimits::marks)
        return false;
    qsizetype characters = 0;
    for (const PageItem& item : page.items) {
        if (item.kind != PageItem::Kind::Text)
            continue;
        if (item.text.size() > PageLimits::runLength)
            return false;
        characters += item.text.size();
    }
    return characters <= PageLimits::characters;
}

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
        switch (item.kind) {
        case PageItem::Kind::Fill:
            painter.fillRect(rectAt(item.rect), item.colour);
            break;
        case PageItem::Kind::Rule:
            painter.setPen(QPen(item.colour, item.width * unitsPerMm, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QLineF(at(item.line.p1()), at(item.line.p2())));
            break;
        case PageItem::Kind::Text:
            if (!item.clip.isEmpty()) {
                painter.save();
                painter.setClipRect(rectAt(item.clip), Qt::IntersectClip);
            }
            painter.setPen(item.colour);
            if (!face || !(*face == item.font)) {
                painter.setFont(item.font.toFont(fontScale));
                face = &item.font;
            }
            painter.drawText(at(item.origin), item.text);
            if (!item.clip.isEmpty()) {
                painter.restore();
                face = nullptr;
            }
            break;
        }
    }
    painter.restore();
}

} // namespace reporting
