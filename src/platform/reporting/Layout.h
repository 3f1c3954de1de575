#pragma once

#include "platform/reporting/Page.h"

#include <QMarginsF>
#include <QPageLayout>
#include <functional>
#include <memory>
#include <optional>

class QTextDocument;

// A banded report: bands of elements laid one under the other on pages set
// up in millimetres. It knows nothing of what the texts mean; whoever builds
// a report fills its texts from data read beforehand.
namespace reporting {

struct PageSetup {
    QSizeF paperMm{210, 297}; // portrait
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10};

    QSizeF pageSizeMm() const;
    double printableWidthMm() const { return pageSizeMm().width() - marginsMm.left() - marginsMm.right(); }
};

// A label or a data field's text in a box given from its band's top-left
// corner. Before it prints, its rule may replace the text; the rule runs only
// when the text is not empty. Text sits at the top of its box on an opaque
// white ground. An auto-sized box keeps its left edge and takes the width
// of its one line; otherwise the box is fixed and cuts what leaves it: with
// word wrap, only the lines that fit in its height print, unless it grows,
// when the box (and its band) grow downwards until every line prints.
struct TextElement {
    QString name;
    QRectF box;
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool autoSize = false;
    bool wordWrap = false;
    bool grows = false;
    std::function<QString(const QString&)> rule;
};

// A horizontal rule `top` mm below its band's top; a width of 0 runs to
// the band's right edge.
struct RuleElement {
    QString name;
    double left = 0;
    double top = 0;
    double width = 0;
    double thickness = 0.35;
    QColor colour = Qt::black;
};

// Rich text wrapped to its box's width. The box grows downwards in steps
// while text remains and the band still fits above the page footer; what
// does not fit continues on the next page, in the same band at the same
// offset, and the page breaks only between lines.
struct RichTextElement {
    QString name;
    QRectF box;
    std::shared_ptr<QTextDocument> document;
    double growStepMm = 5;
};

// A picture (PNG or JPEG bytes) stretched over a fixed box.
struct PictureElement {
    QString name;
    QRectF box;
    QByteArray data;
};

enum class BandKind { PageHeader, Title, Detail, Child, PageFooter };

struct Band {
    QString name;
    BandKind kind = BandKind::Detail;
    double height = 0;
    std::vector<TextElement> texts;
    std::vector<RuleElement> rules;
    std::vector<PictureElement> pictures;
    std::optional<RichTextElement> richText;
};

// The page header prints at the top of every page and the page footer at
// the bottom; the other bands print once each, in their order, every band
// starting a new page when it does not fit above the footer.
struct Report {
    PageSetup page;
    std::vector<Band> bands;
};

// Lays the report out. Nothing here waits for events or paints on a device.
std::vector<Page> compose(const Report& report);

} // namespace reporting
