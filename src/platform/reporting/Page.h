#pragma once

#include <QByteArray>
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
// thick; a text draws `text` with its baseline starting at `origin`; a
// picture draws the PNG or JPEG `data` into `rect`, or a framed box where it
// has none. Each is cut to `clip` unless that is empty.
struct PageItem {
    enum class Kind : quint8 { Fill, Rule, Text, Picture };
    Kind kind = Kind::Text;
    QColor colour = Qt::black;
    QRectF rect;   // Fill, Picture
    QByteArray data; // Picture
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
    static PageItem picture(const QRectF& rect, const QByteArray& data);
    void translate(const QPointF& by);
    bool operator==(const PageItem&) const = default;
};

struct Page {
    QSizeF sizeMm;
    std::vector<PageItem> items;
    bool operator==(const Page&) const = default;
};

// What one page may hold. The fullest page of a 20-page exam report holds
// 116 marks and 3 489 characters of text, its longest run 79 characters; a
// page written all in 6-point type would hold some 17 000 characters. The
// bounds are far above that, and a page beyond them is damage: every repaint
// of the preview draws the whole page, and its time grows with the marks and
// the characters (1.4 million marks take over a second). No paper a
// practice's printer takes has a side of 2 m (A0 is 841 x 1189 mm). A new
// kind of mark adds its bound here and its count to `withinLimits`.
struct PageLimits {
    static constexpr double sideMm = 2000;
    static constexpr qsizetype marks = 10'000; // of every kind together
    static constexpr qsizetype characters = 50'000; // of all the page's texts
    static constexpr qsizetype runLength = 5'000; // of one text
    static constexpr qsizetype pictureBytes = 10 * 1024 * 1024; // of all the page's pictures
};

// Whether `page` keeps within PageLimits.
bool withinLimits(const Page& page);

// Draws `page` with its top-left corner at the painter's origin, `unitsPerMm`
// painter units to the millimetre (0: the device's own resolution). The
// painter is left as it was found.
void paintPage(const Page& page, QPainter& painter, double unitsPerMm = 0);

} // namespace reporting
