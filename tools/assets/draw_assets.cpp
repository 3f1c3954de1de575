// Draws every picture Velunor ships with and writes them into src/assets/.
//
//   draw_assets [output-dir] [--sheet contact-sheet.png]
//
// The pictures are drawn from code only (no input files), so that they can be
// changed and regenerated at any time. The generated files are committed; the
// program build does not run this tool. See tools/assets/README.md.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Helpers

QImage canvas(int w, int h, QColor background = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(background);
    return img;
}

QImage icon16() { return canvas(16, 16); }

// A painter with antialiasing on, as every picture here wants.
struct Painter : QPainter {
    explicit Painter(QImage *img) : QPainter(img)
    {
        setRenderHint(QPainter::Antialiasing);
        setRenderHint(QPainter::TextAntialiasing);
        setRenderHint(QPainter::SmoothPixmapTransform);
    }
};

QPen line(QColor c, qreal w, Qt::PenCapStyle cap = Qt::RoundCap,
          Qt::PenJoinStyle join = Qt::RoundJoin)
{
    return QPen(c, w, Qt::SolidLine, cap, join);
}

// Fills whole pixels, for the crisp parts of the 16 px pictures.
void px(QPainter &p, int x, int y, int w, int h, QColor c)
{
    p.fillRect(QRect(x, y, w, h), c);
}

// A one pixel frame lying exactly on pixel centres.
void frame(QPainter &p, int x, int y, int w, int h, QColor border, QColor fill)
{
    px(p, x, y, w, h, border);
    px(p, x + 1, y + 1, w - 2, h - 2, fill);
}

QPainterPath textPath(const QString &text, const QFont &font, QPointF centreBaseline)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF r = path.boundingRect();
    path.translate(centreBaseline.x() - r.center().x(), centreBaseline.y());
    return path;
}

QFont font(const QString &family, qreal pixelSize, int weight = QFont::Normal,
           bool italic = false)
{
    QFont f(family);
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(QFont::Weight(weight));
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// ---------------------------------------------------------------------------
// The maker's logo (Lumetra Sistemas), drawn in a 120 x 93 design space.

struct LogoColours {
    QColor emblemTop, emblemBottom, emblemEdge, pulse, word, subtitle;
};

const LogoColours kLogoFull{QColor(0x35, 0x9c, 0xd8), QColor(0x15, 0x4c, 0x8c),
                            QColor(0x10, 0x3d, 0x72), Qt::white,
                            QColor(0x17, 0x3f, 0x70), QColor(0x5d, 0x7c, 0x99)};

const LogoColours kLogoPale{QColor(0xf1, 0xf5, 0xfa), QColor(0xe4, 0xec, 0xf5),
                            QColor(0xdc, 0xe5, 0xf0), QColor(0xfb, 0xfc, 0xfe),
                            QColor(0xe6, 0xec, 0xf4), QColor(0xee, 0xf2, 0xf7)};

QPainterPath pulseLine(const QRectF &r)
{
    // A flat line, a small P wave, a tall spike, a dip, a T wave, flat again.
    auto at = [&](qreal fx, qreal fy) { return QPointF(r.left() + fx * r.width(), r.top() + fy * r.height()); };
    QPainterPath path(at(0.00, 0.60));
    path.lineTo(at(0.20, 0.60));
    path.quadTo(at(0.26, 0.44), at(0.32, 0.60));
    path.lineTo(at(0.38, 0.60));
    path.lineTo(at(0.46, 0.04));
    path.lineTo(at(0.55, 0.96));
    path.lineTo(at(0.61, 0.60));
    path.lineTo(at(0.68, 0.60));
    path.quadTo(at(0.77, 0.36), at(0.86, 0.60));
    path.lineTo(at(1.00, 0.60));
    return path;
}

void drawLogo(QPainter &p, const LogoColours &c)
{
    // Emblem: a rounded square holding a heart with a pulse line across it.
    const QRectF emblem(32.5, 3.5, 55, 50);
    QLinearGradient g(emblem.topLeft(), emblem.bottomLeft());
    g.setColorAt(0, c.emblemTop);
    g.setColorAt(1, c.emblemBottom);
    p.setPen(line(c.emblemEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(emblem, 14, 14);

    // A soft heart shape inside the emblem, outlined in the pulse colour.
    QPainterPath heart;
    const QPointF top(60, 19), bottom(60, 47);
    heart.moveTo(top);
    heart.cubicTo(QPointF(55, 9), QPointF(40, 11), QPointF(41, 24));
    heart.cubicTo(QPointF(42, 33), QPointF(53, 40), bottom);
    heart.cubicTo(QPointF(67, 40), QPointF(78, 33), QPointF(79, 24));
    heart.cubicTo(QPointF(80, 11), QPointF(65, 9), top);
    QColor halo = c.pulse;
    halo.setAlphaF(0.28);
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawPath(heart);

    p.setPen(line(c.pulse, 3.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pulseLine(QRectF(37, 15, 46, 26)));

    // The word and the line under it.
    p.setPen(Qt::NoPen);
    p.setBrush(c.word);
    p.drawPath(textPath(QStringLiteral("Lumetra"), font(QStringLiteral("DejaVu Sans"), 20, QFont::Bold),
                        QPointF(60, 76)));
    QFont small = font(QStringLiteral("DejaVu Sans"), 8, QFont::DemiBold);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
    p.setBrush(c.subtitle);
    p.drawPath(textPath(QStringLiteral("SISTEMAS"), small, QPointF(60, 89)));
}

QImage logo()
{
    QImage img = canvas(120, 93);
    Painter p(&img);
    drawLogo(p, kLogoFull);
    return img;
}

QImage aboutBackground()
{
    QImage img = canvas(320, 249, Qt::white);
    Painter p(&img);
    const qreal s = std::min(320.0 / 120.0, 249.0 / 93.0);
    p.translate((320 - 120 * s) / 2, (249 - 93 * s) / 2);
    p.scale(s, s);
    drawLogo(p, kLogoPale);
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------
// The heart, a line drawing in black with the aorta outlined in red. The
// parts are drawn from the back to the front, each filled white, so that the
// nearer parts hide the farther ones.

// The outline of a vessel of the given width along a centre line.
QPainterPath tube(const QPainterPath &centre, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(centre).simplified();
}

QPainterPath curve(QPointF from, QPointF c1, QPointF c2, QPointF to)
{
    QPainterPath path(from);
    path.cubicTo(c1, c2, to);
    return path;
}

// Fills a part white and draws its outline.
void part(QPainter &p, const QPainterPath &fill, const QPainterPath &outline, const QPen &pen)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(fill);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

// The open end of a vessel, seen slightly from above.
void vesselEnd(QPainter &p, QPointF centre, qreal width, qreal depth, const QPen &pen)
{
    p.setPen(pen);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, width / 2, depth / 2);
}

QImage heart()
{
    QImage img = canvas(150, 222, Qt::white);
    Painter p(&img);
    const QPen ink = line(Qt::black, 1.4);
    const QPen fine = line(Qt::black, 0.9);
    const QPen red = line(QColor(0xd2, 0x10, 0x10), 1.6);

    // Right pulmonary artery, passing behind the aorta and the vena cava.
    const QPainterPath rpa = tube(curve({96, 82}, {80, 80}, {60, 78}, {40, 78}), 11);
    part(p, rpa, rpa, ink);

    // Aorta: ascending, the arch with its three vessels, descending.
    QPainterPath course({68, 128});
    course.cubicTo(62, 100, 57, 70, 61, 50);
    course.cubicTo(66, 32, 78, 28, 90, 28);
    course.cubicTo(104, 28, 116, 36, 117, 54);
    course.lineTo(117, 66);               // on down, behind the pulmonary artery
    QPainterPath aorta = tube(course, 19);
    aorta = aorta.united(tube(curve({70, 38}, {68, 26}, {66, 14}, {65, 5}), 8.5));
    aorta = aorta.united(tube(curve({84, 30}, {84, 20}, {83, 12}, {83, 4}), 6.5));
    aorta = aorta.united(tube(curve({98, 30}, {99, 22}, {101, 14}, {103, 6}), 7));
    aorta = aorta.simplified();
    part(p, aorta, aorta, red);
    const QPen redFine = line(red.color(), 1.2);
    vesselEnd(p, {65, 5}, 8.5, 3.5, redFine);
    vesselEnd(p, {83, 4}, 6.5, 3, redFine);
    vesselEnd(p, {103, 6}, 7, 3, redFine);

    // Venae cavae.
    const QPainterPath svc = tube(curve({40, 30}, {40, 60}, {40, 90}, {40, 108}), 14);
    part(p, svc, svc, ink);
    vesselEnd(p, {40, 30}, 14, 5, ink);
    const QPainterPath ivc = tube(curve({33, 172}, {33, 180}, {33, 188}, {33, 196}), 12);
    part(p, ivc, ivc, ink);
    vesselEnd(p, {33, 196}, 12, 4.5, ink);

    // The body of the heart: right atrium, right and left ventricles, apex.
    QPainterPath border({33, 102});
    border.cubicTo(22, 112, 16, 128, 17, 146);
    border.cubicTo(18, 162, 24, 174, 36, 182);
    border.cubicTo(50, 194, 70, 204, 90, 210);
    border.cubicTo(102, 214, 112, 216, 120, 212);
    border.cubicTo(132, 206, 138, 192, 139, 176);
    border.cubicTo(140, 156, 138, 140, 130, 126);
    QPainterPath body = border;
    body.lineTo(104, 116);
    body.lineTo(78, 116);
    body.lineTo(52, 104);
    body.lineTo(47, 100);
    body.closeSubpath();
    part(p, body, border, ink);

    // Left auricle, on the upper left border beside the pulmonary trunk.
    QPainterPath lAuricle({102, 116});
    lAuricle.cubicTo(108, 106, 122, 102, 132, 106);
    lAuricle.cubicTo(138, 109, 138, 115, 134, 118);
    lAuricle.cubicTo(132, 121, 128, 120, 126, 123);
    lAuricle.cubicTo(124, 127, 118, 127, 115, 125);
    lAuricle.cubicTo(111, 127, 107, 128, 104, 131);
    QPainterPath lAuricleFill = lAuricle;
    lAuricleFill.closeSubpath();
    part(p, lAuricleFill, lAuricle, ink);

    // Pulmonary trunk rising out of the right ventricle, and the left
    // pulmonary artery. Its outline stops where it joins the ventricle.
    QPainterPath trunk({79, 130});
    trunk.cubicTo(79, 108, 82, 92, 90, 82);                // right edge
    trunk.cubicTo(100, 70, 120, 58, 141, 58);              // left pulmonary artery
    trunk.lineTo(141, 70);
    trunk.cubicTo(128, 70, 116, 73, 109, 80);
    trunk.cubicTo(103, 88, 101, 104, 101, 130);            // left edge
    trunk.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(trunk);
    p.save();
    p.setClipRect(QRectF(0, 0, 150, 118));
    p.setPen(ink);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trunk);
    p.restore();
    vesselEnd(p, {141, 64}, 5, 12, ink);
    // The conus: the trunk's edges running on into the ventricle.
    p.setPen(fine);
    p.drawPath(curve({79, 117}, {78, 122}, {76, 126}, {72, 130}));

    // Right auricle, lying over the root of the aorta.
    QPainterPath rAuricle({47, 98});
    rAuricle.cubicTo(56, 95, 67, 99, 74, 110);
    rAuricle.cubicTo(70, 116, 64, 118, 59, 120);
    rAuricle.cubicTo(55, 122, 53, 125, 51, 130);
    QPainterPath rAuricleFill = rAuricle;
    rAuricleFill.lineTo(42, 118);
    rAuricleFill.closeSubpath();
    part(p, rAuricleFill, rAuricle, ink);

    // Grooves with the coronary vessels and a few of their branches.
    p.setPen(fine);
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve({56, 124}, {48, 142}, {42, 162}, {46, 186}));     // right coronary
    p.drawPath(curve({106, 129}, {101, 150}, {100, 180}, {110, 213})); // anterior descending
    p.drawPath(curve({103, 148}, {110, 154}, {116, 158}, {124, 158}));
    p.drawPath(curve({102, 170}, {108, 176}, {116, 180}, {124, 182}));
    p.drawPath(curve({101, 160}, {94, 166}, {88, 170}, {80, 172}));
    p.drawPath(curve({46, 150}, {54, 156}, {60, 160}, {68, 162}));
    p.drawPath(curve({45, 172}, {54, 178}, {60, 182}, {70, 186}));
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------
// The magnifying glass decorating the advanced patient search.

QImage magnifier()
{
    QImage img = canvas(194, 110, Qt::white);
    Painter p(&img);
    const QPointF centre(64, 50);
    const qreal r = 38;

    // Handle, drawn first so that the ring covers its end.
    p.save();
    p.translate(centre);
    p.rotate(25);
    QLinearGradient hg(0, -9, 0, 9);
    hg.setColorAt(0, QColor(0xe2, 0xe2, 0xe2));
    hg.setColorAt(0.5, QColor(0xc4, 0xc4, 0xc4));
    hg.setColorAt(1, QColor(0xaa, 0xaa, 0xaa));
    p.setPen(line(QColor(0xa0, 0xa0, 0xa0), 1));
    p.setBrush(hg);
    p.drawRoundedRect(QRectF(r + 14, -9, 58, 18), 8, 8);
    QLinearGradient ng(0, -5, 0, 5);
    ng.setColorAt(0, QColor(0xd6, 0xd6, 0xd6));
    ng.setColorAt(1, QColor(0xb4, 0xb4, 0xb4));
    p.setBrush(ng);
    p.drawRect(QRectF(r - 2, -5, 18, 10));
    p.restore();

    // Lens: a pale glass with a glint.
    QRadialGradient glass(centre - QPointF(10, 12), r);
    glass.setColorAt(0, QColor(0xff, 0xff, 0xff));
    glass.setColorAt(1, QColor(0xee, 0xf0, 0xf2));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(centre, r, r);
    p.setPen(line(QColor(0xff, 0xff, 0xff), 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - r + 12, centre.y() - r + 12, 2 * r - 24, 2 * r - 24), 100 * 16, 60 * 16);

    // Ring.
    QLinearGradient ring(centre - QPointF(r, r), centre + QPointF(r, r));
    ring.setColorAt(0, QColor(0xe4, 0xe4, 0xe4));
    ring.setColorAt(1, QColor(0xb0, 0xb0, 0xb0));
    p.setPen(QPen(QBrush(ring), 9));
    p.drawEllipse(centre, r, r);
    p.setPen(line(QColor(0xa8, 0xa8, 0xa8), 1));
    p.drawEllipse(centre, r + 4.5, r + 4.5);
    p.drawEllipse(centre, r - 4.5, r - 4.5);
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------------------
// Main window toolbar

// Binoculars filling the 9 x 7 pixel box whose top-left corner is (x, y).
void binoculars(QPainter &p, int x, int y)
{
    const QColor dark(0x20, 0x20, 0x20), glass(0x6f, 0xa8, 0xdc);
    px(p, x + 1, y, 2, 2, dark);              // eyepieces
    px(p, x + 6, y, 2, 2, dark);
    px(p, x + 3, y + 2, 3, 2, dark);          // bridge
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    p.drawEllipse(QRectF(x - 0.5, y + 1.5, 5, 5.5));
    p.drawEllipse(QRectF(x + 4.5, y + 1.5, 5, 5.5));
    p.setBrush(glass);
    p.drawEllipse(QRectF(x + 0.5, y + 3.5, 2.5, 2.5));
    p.drawEllipse(QRectF(x + 5.5, y + 3.5, 2.5, 2.5));
}

// An index card with a coloured frame and heading, with binoculars over it.
QImage searchCard(QColor frameColour, QColor headColour)
{
    QImage img = icon16();
    Painter p(&img);
    frame(p, 0, 1, 14, 11, frameColour, Qt::white);
    px(p, 1, 2, 12, 2, headColour);
    px(p, 2, 5, 5, 1, QColor(0x9a, 0x9a, 0x9a));
    px(p, 2, 7, 3, 1, QColor(0x9a, 0x9a, 0x9a));
    binoculars(p, 6, 8);
    return img;
}

QImage tbPatientSearch()
{
    return searchCard(QColor(0x1f, 0x4f, 0xb4), QColor(0x5a, 0x8c, 0xe0));
}

QImage tbExamSearch()
{
    return searchCard(QColor(0xb8, 0x18, 0x18), QColor(0xe2, 0x5a, 0x5a));
}

QImage tbPrint()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor edge(0x40, 0x40, 0x40);
    frame(p, 4, 1, 8, 6, edge, Qt::white);                 // paper going in
    px(p, 5, 3, 5, 1, QColor(0x90, 0x90, 0x90));
    frame(p, 1, 6, 14, 6, edge, QColor(0xc8, 0xc8, 0xc8)); // body
    px(p, 2, 7, 12, 1, QColor(0xe8, 0xe8, 0xe8));
    px(p, 11, 8, 2, 1, QColor(0x20, 0xb0, 0x20));          // power light
    frame(p, 3, 10, 10, 5, edge, Qt::white);               // printed page
    px(p, 5, 12, 6, 1, QColor(0x90, 0x90, 0x90));
    return img;
}

// A page with a folded corner; lines of text when withText.
void page(QPainter &p, int x, int y, int w, int h, bool withText)
{
    const QColor edge(0x50, 0x50, 0x50);
    frame(p, x, y, w, h, edge, Qt::white);
    if (withText)
        for (int ty = y + 2; ty < y + h - 1; ty += 2)
            px(p, x + 2, ty, w - 4, 1, QColor(0x7a, 0x9c, 0xc8));
}

QImage tbAdvancedSearch()
{
    QImage img = icon16();
    Painter p(&img);
    page(p, 6, 0, 9, 11, false);
    page(p, 3, 2, 9, 11, false);
    page(p, 0, 4, 9, 12, true);
    return img;
}

QImage tbPreview()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor ray(0xf0, 0xa0, 0x00);
    px(p, 8, 0, 1, 2, ray);                   // up, down, left, right
    px(p, 8, 15, 1, 1, ray);
    px(p, 1, 8, 2, 1, ray);
    px(p, 14, 8, 2, 1, ray);
    for (int i = 0; i < 2; ++i) {             // the four diagonals
        px(p, 2 + i, 1 + i, 1, 1, ray);
        px(p, 14 - i, 1 + i, 1, 1, ray);
        px(p, 2 + i, 15 - i, 1, 1, ray);
        px(p, 14 - i, 15 - i, 1, 1, ray);
    }
    page(p, 5, 3, 7, 11, true);
    return img;
}

// ---------------------------------------------------------------------------
// Format bar

void arrowRight(QPainter &p, int x0, int x1, int y, QColor c)
{
    px(p, x0, y, x1 - x0 - 1, 1, c);
    px(p, x1 - 3, y - 2, 1, 5, c);
    px(p, x1 - 2, y - 1, 1, 3, c);
    px(p, x1 - 1, y, 1, 1, c);
}

QImage fmtBold()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor ink(0x10, 0x10, 0x10);
    // A heavy "B" built from pixels.
    px(p, 3, 1, 7, 2, ink);
    px(p, 3, 1, 3, 11, ink);
    px(p, 3, 6, 7, 1, ink);
    px(p, 3, 10, 8, 2, ink);
    px(p, 9, 2, 2, 4, ink);
    px(p, 10, 3, 1, 2, ink);
    px(p, 10, 6, 2, 4, ink);
    px(p, 11, 7, 1, 3, ink);
    px(p, 10, 2, 1, 1, ink);
    // Arrow widening to the right under the letter.
    const QColor blue(0x1f, 0x4f, 0xb4);
    arrowRight(p, 1, 15, 14, blue);
    return img;
}

QImage fmtUnderline()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor ink(0x10, 0x10, 0x10);
    // "U"
    px(p, 3, 1, 2, 9, ink);
    px(p, 10, 1, 2, 9, ink);
    px(p, 4, 10, 7, 2, ink);
    px(p, 3, 10, 1, 1, ink);
    px(p, 11, 10, 1, 1, ink);
    px(p, 2, 1, 4, 1, ink);
    px(p, 9, 1, 4, 1, ink);
    // The underline.
    px(p, 1, 14, 13, 1, QColor(0x1f, 0x4f, 0xb4));
    return img;
}

QImage fmtItalic()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor ink(0x10, 0x10, 0x10);
    // A slanted "I" with its serifs, stepping one pixel left every three rows.
    px(p, 10, 1, 6, 1, ink);
    for (int row = 2; row <= 10; ++row)
        px(p, 12 - (row - 2) / 3, row, 2, 1, ink);
    px(p, 8, 11, 6, 1, ink);
    // An arrow beside it, rising the way the letter leans.
    const QColor blue(0x1f, 0x4f, 0xb4);
    for (int i = 0; i < 5; ++i)
        px(p, 1 + i, 14 - i, 1, 1, blue);
    px(p, 3, 9, 4, 1, blue);
    px(p, 6, 9, 1, 4, blue);
    return img;
}

// ---------------------------------------------------------------------------
// Record navigator buttons

const QColor kNavInk(0x20, 0x20, 0x20);

// A solid triangle pointing left or right, pixel by pixel: apex column at
// apexX, 9 rows high centred on row 7.
void navTriangle(QPainter &p, int apexX, bool pointsLeft)
{
    for (int i = 0; i < 5; ++i) {
        const int h = 2 * i + 1;
        const int x = pointsLeft ? apexX + i : apexX - i;
        px(p, x, 7 - i, 1, h, kNavInk);
    }
}

QImage navFirst()
{
    QImage img = icon16();
    Painter p(&img);
    px(p, 4, 3, 2, 9, kNavInk);
    navTriangle(p, 7, true);
    return img;
}

QImage navPrior()
{
    QImage img = icon16();
    Painter p(&img);
    navTriangle(p, 5, true);
    return img;
}

QImage navNext()
{
    QImage img = icon16();
    Painter p(&img);
    navTriangle(p, 10, false);
    return img;
}

QImage navLast()
{
    QImage img = icon16();
    Painter p(&img);
    navTriangle(p, 8, false);
    px(p, 10, 3, 2, 9, kNavInk);
    return img;
}

QImage navInsert()
{
    QImage img = icon16();
    Painter p(&img);
    px(p, 3, 6, 9, 3, kNavInk);
    px(p, 6, 3, 3, 9, kNavInk);
    return img;
}

QImage navDelete()
{
    QImage img = icon16();
    Painter p(&img);
    px(p, 3, 6, 9, 3, kNavInk);
    return img;
}

QImage navEdit()
{
    QImage img = icon16();
    Painter p(&img);
    for (int i = 0; i < 5; ++i)
        px(p, 7 - i, 5 + i, 2 * i + 1, 1, kNavInk);
    return img;
}

QImage navPost()
{
    QImage img = icon16();
    Painter p(&img);
    p.setPen(line(kNavInk, 2.2, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(QPolygonF({QPointF(3.5, 8), QPointF(6.5, 11), QPointF(12.5, 4.5)}));
    return img;
}

QImage navCancel()
{
    QImage img = icon16();
    Painter p(&img);
    p.setPen(line(kNavInk, 2.2, Qt::FlatCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return img;
}

QImage navRefresh()
{
    QImage img = icon16();
    Painter p(&img);
    // A two pixel ring, open at the upper right, set pixel by pixel.
    const QPointF centre(8, 9);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QPointF d = QPointF(x + 0.5, y + 0.5) - centre;
            const qreal r = std::hypot(d.x(), d.y());
            const qreal angle = std::fmod(std::atan2(-d.y(), d.x()) * 180 / M_PI + 360, 360);
            if (r >= 3.0 && r <= 5.2 && angle > 80)
                px(p, x, y, 1, 1, kNavInk);
        }
    // The arrow head at the top end, pointing on round the ring.
    for (int i = 0; i < 3; ++i)
        px(p, 8 + i, 1 + i, 1, 6 - 2 * i, kNavInk);
    return img;
}

// ---------------------------------------------------------------------------
// Buttons

QImage btnNo()
{
    QImage img = icon16();
    Painter p(&img);
    const QColor red(0xd0, 0x18, 0x18);
    p.setPen(line(red, 2.0));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(2, 2, 12, 12));
    p.setPen(line(red, 2.0, Qt::FlatCap));
    p.drawLine(QPointF(3.8, 12.2), QPointF(12.2, 3.8));
    return img;
}

QImage btnSearch()
{
    QImage img = icon16();
    Painter p(&img);
    p.setPen(line(QColor(0x60, 0x60, 0x60), 3.0));
    p.drawLine(QPointF(10, 10), QPointF(13.5, 13.5));
    p.setPen(line(QColor(0x30, 0x30, 0x30), 1.6));
    p.setBrush(QColor(0xd8, 0xea, 0xfa));
    p.drawEllipse(QRectF(1.8, 1.8, 8.4, 8.4));
    p.setPen(line(Qt::white, 1.2));
    p.drawArc(QRectF(3.6, 3.6, 4.8, 4.8), 100 * 16, 70 * 16);
    return img;
}

void greenCheck(QPainter &p)
{
    p.setPen(line(QColor(0x10, 0x60, 0x10), 3.4, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF check({QPointF(2.6, 8.6), QPointF(6.2, 12.2), QPointF(13.4, 3.8)});
    p.drawPolyline(check);
    p.setPen(line(QColor(0x2c, 0xb8, 0x2c), 1.8, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(check);
}

QImage btnSelect()
{
    QImage img = icon16();
    Painter p(&img);
    greenCheck(p);
    return img;
}

QImage btnCancel()
{
    QImage img = icon16();
    Painter p(&img);
    p.setPen(line(QColor(0x80, 0x08, 0x08), 3.4));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    p.setPen(line(QColor(0xe8, 0x28, 0x28), 1.8));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return img;
}

QImage btnUse()
{
    QImage img = icon16();
    Painter p(&img);
    page(p, 6, 1, 9, 14, true);
    // A green arrow going into the page.
    const QColor edge(0x10, 0x60, 0x10), green(0x2c, 0xb8, 0x2c);
    QPainterPath arrow;
    arrow.moveTo(0.5, 6.5);
    arrow.lineTo(5.5, 6.5);
    arrow.lineTo(5.5, 3.5);
    arrow.lineTo(10.5, 8.5);
    arrow.lineTo(5.5, 13.5);
    arrow.lineTo(5.5, 10.5);
    arrow.lineTo(0.5, 10.5);
    arrow.closeSubpath();
    p.setPen(line(edge, 1.0, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(green);
    p.drawPath(arrow);
    return img;
}

// ---------------------------------------------------------------------------

struct Picture {
    const char *file;
    const char *format;
    std::function<QImage()> draw;
};

const std::vector<Picture> &pictures()
{
    static const std::vector<Picture> all{
        {"logo.png", "PNG", logo},
        {"heart.png", "PNG", heart},
        {"about_background.bmp", "BMP", aboutBackground},
        {"magnifier.jpg", "JPG", magnifier},
        {"tb_patient_search.png", "PNG", tbPatientSearch},
        {"tb_print.png", "PNG", tbPrint},
        {"tb_advanced_search.png", "PNG", tbAdvancedSearch},
        {"tb_preview.png", "PNG", tbPreview},
        {"tb_exam_search.png", "PNG", tbExamSearch},
        {"fmt_bold.png", "PNG", fmtBold},
        {"fmt_underline.png", "PNG", fmtUnderline},
        {"fmt_italic.png", "PNG", fmtItalic},
        {"nav_first.png", "PNG", navFirst},
        {"nav_prior.png", "PNG", navPrior},
        {"nav_next.png", "PNG", navNext},
        {"nav_last.png", "PNG", navLast},
        {"nav_insert.png", "PNG", navInsert},
        {"nav_delete.png", "PNG", navDelete},
        {"nav_edit.png", "PNG", navEdit},
        {"nav_post.png", "PNG", navPost},
        {"nav_cancel.png", "PNG", navCancel},
        {"nav_refresh.png", "PNG", navRefresh},
        {"btn_no.png", "PNG", btnNo},
        {"btn_search.png", "PNG", btnSearch},
        {"btn_use.png", "PNG", btnUse},
        {"btn_select.png", "PNG", btnSelect},
        {"btn_cancel.png", "PNG", btnCancel},
    };
    return all;
}

QImage forSaving(const QImage &img, const char *format)
{
    if (qstrcmp(format, "PNG") == 0 && img.hasAlphaChannel())
        return img.convertToFormat(QImage::Format_ARGB32);
    return img.convertToFormat(QImage::Format_RGB32);   // opaque pictures, BMP and JPEG
}

// Every picture on one sheet for review: the small ones enlarged four times
// without smoothing, the large ones twice, each followed by its real size.
QImage contactSheet(const std::vector<QImage> &images)
{
    const int gap = 12, width = 1400;
    auto scaleOf = [](const QImage &img) { return img.width() <= 16 ? 4 : 2; };
    auto cellWidth = [&](const QImage &img) { return img.width() * (scaleOf(img) + 1) + 4; };
    int x = gap, y = gap, rowHeight = 0;
    std::vector<QPoint> at;
    for (const QImage &img : images) {
        if (x + cellWidth(img) > width) {
            x = gap;
            y += rowHeight + gap;
            rowHeight = 0;
        }
        at.push_back(QPoint(x, y));
        x += cellWidth(img) + gap;
        rowHeight = std::max(rowHeight, img.height() * scaleOf(img));
    }
    QImage sheet(width, y + rowHeight + gap, QImage::Format_RGB32);
    sheet.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&sheet);
    for (size_t i = 0; i < images.size(); ++i) {
        const QImage &img = images[i];
        const QRect big(at[i], img.size() * scaleOf(img));
        p.fillRect(big, Qt::white);
        p.drawImage(big, img);                                  // nearest neighbour
        p.drawImage(big.topRight() + QPoint(5, 0), img);        // real size
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    QString sheetPath;
    const int sheetAt = args.indexOf(QStringLiteral("--sheet"));
    if (sheetAt >= 0 && sheetAt + 1 < args.size()) {
        sheetPath = args.at(sheetAt + 1);
        args.remove(sheetAt, 2);
    }
    const QDir out(args.value(0, QStringLiteral("src/assets")));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        QTextStream(stderr) << "cannot create " << out.path() << "\n";
        return 1;
    }

    std::vector<QImage> drawn;
    for (const Picture &pic : pictures()) {
        const QImage img = forSaving(pic.draw(), pic.format);
        const QString path = out.filePath(QString::fromLatin1(pic.file));
        const int quality = qstrcmp(pic.format, "JPG") == 0 ? 90 : -1;
        if (!img.save(path, pic.format, quality)) {
            QTextStream(stderr) << "cannot write " << path << "\n";
            return 1;
        }
        QTextStream(stdout) << path << " " << img.width() << "x" << img.height() << "\n";
        drawn.push_back(QImage(path));   // as written, JPEG losses included
    }
    if (!sheetPath.isEmpty() && !contactSheet(drawn).save(sheetPath)) {
        QTextStream(stderr) << "cannot write " << sheetPath << "\n";
        return 1;
    }
    return 0;
}
