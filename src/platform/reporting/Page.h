#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;

// A composed page: what to draw and where, in millimetres from the paper's
// top-left corner. A page is a fixed picture: drawing it again, on any device
// and after saving and loading, puts every mark where the composition put it.
namespace reporting {

// A face as the page draws it: the installed family the composition measured
// with, so that a page draws with the metrics it was laid out with.
struct FontSpec {
    QString family;
    double points = 10;
    int weight = QFont::Normal;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    static FontSpec of(const QFont& font);
    // The face at `points` times `scale`.
    QFont toFont(double scale = 1) const;
    bool operator==(const FontSpec&) const = default;
};

// One mark on a page. A fill paints `rect`; a rule draws `line` `width` mm
// thick; a text draws `text` with its baseline starting at `origin`, cut to
// `clip` unless that is empty.
struct PageItem {
    enum class Kind : quint8 { Fill, Rule, Text };
    Kind kind = Kind::Text;
    QColor colour = Qt::black;
    QRectF rect;   // Fill
    QLineF line;   // Rule
    double width = 0;
    QPointF origin; // Text
    FontSpec font;
    QString text;
    QRectF clip;

    static PageItem fill(const QRectF& rect, const QColor& colour);
    static PageItem rule(const QLineF& line, double width, const QColor& colour);
    static PageItem textRun(const QPointF& origin, const FontSpec& font, const QColor& colour, const QString& text,
                            const QRectF& clip = {});
    void translate(const QPointF& by);
    bool operator==(const PageItem&) const = default;
};

struct Page {
    QSizeF sizeMm;
    std::vector<PageItem> items;
    bool operator==(const Page&) const = default;
};

// Draws `page` with its top-left corner at the painter's origin, `unitsPerMm`
// painter units to the millimetre (0: the device's own resolution). The
// painter is left as it was found.
void paintPage(const Page& page, QPainter& painter, double unitsPerMm = 0);

} // namespace reporting
