#include "platform/reporting/Layout.h"

#include "platform/reporting/RichText.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <cmath>
#include <limits>
#include <optional>

namespace reporting {

QSizeF PageSetup::pageSizeMm() const
{
    return orientation == QPageLayout::Landscape ? paperMm.transposed() : paperMm;
}

namespace {

// Lengths compare to a thousandth of a millimetre: the layout's own figures
// are hundredths, and sums of them must not miss by a rounding error.
constexpr double kEpsilon = 0.001;

// Marks placed in a band, from its top-left corner, and the band's height
// once its growing boxes have grown.
struct LaidBand {
    std::vector<PageItem> items;
    double height = 0;
};

struct TextLine {
    QString text;
    double width = 0; // mm
};

std::vector<TextLine> wrapLines(const QString& text, const QFont& font, double widthMm)
{
    QTextLayout layout(text, font, layoutDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    std::vector<TextLine> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(widthMm * kUnitsPerMm);
        lines.push_back({text.mid(line.textStart(), line.textLength()).trimmed(), line.naturalTextWidth() / kUnitsPerMm});
    }
    layout.endLayout();
    return lines;
}

// Places one text element; returns how far its box grew below its design height.
double placeText(const TextElement& element, std::vector<PageItem>& items)
{
    QString text = element.text;
    if (!text.isEmpty() && element.rule)
        text = element.rule(text);
    if (text.isEmpty())
        return 0;
    const FontSpec spec = FontSpec::of(element.font);
    const QFont font = spec.toFont();
    const QFontMetricsF metrics(font, layoutDevice());
    const double ascent = metrics.ascent() / kUnitsPerMm;
    const double lineHeight = metrics.height() / kUnitsPerMm;

    QRectF box = element.box;
    std::vector<TextLine> lines;
    if (element.wordWrap && !element.autoSize)
        lines = wrapLines(text, font, box.width());
    else
        lines.push_back({text, metrics.horizontalAdvance(text) / kUnitsPerMm});
    if (element.autoSize)
        box.setWidth(lines.front().width);
    double grown = 0;
    if (element.grows) {
        grown = std::max(0.0, lines.size() * lineHeight - box.height());
        box.setHeight(box.height() + grown);
    } else if (element.wordWrap) {
        const auto fitting = size_t(std::max(1.0, std::floor((box.height() + kEpsilon) / lineHeight)));
        lines.resize(std::min(lines.size(), fitting));
    }
    items.push_back(PageItem::fill(box, Qt::white));
    const QRectF clip = element.autoSize ? QRectF() : box;
    for (size_t i = 0; i < lines.size(); ++i) {
        double x = box.left();
        if (element.alignment & Qt::AlignHCenter)
            x += (box.width() - lines[i].width) / 2;
        else if (element.alignment & Qt::AlignRight)
            x += box.width() - lines[i].width;
        const QPointF origin(x, box.top() + i * lineHeight + ascent);
        items.push_back(PageItem::textRun(origin, spec, Qt::black, lines[i].text, clip));
    }
    return grown;
}

LaidBand layBand(const Band& band, double bandWidth)
{
    LaidBand laid;
    double grown = 0;
    for (const TextElement& element : band.texts)
        grown = std::max(grown, placeText(element, laid.items));
    for (const RuleElement& rule : band.rules) {
        const double width = rule.width > 0 ? rule.width : bandWidth - rule.left;
        const double y = rule.top + rule.thickness / 2;
        laid.items.push_back(PageItem::rule(QLineF(rule.left, y, rule.left + width, y), rule.thickness, rule.colour));
    }
    for (const PictureElement& picture : band.pictures)
        laid.items.push_back(PageItem::picture(picture.box, picture.data));
    laid.height = band.height + grown;
    return laid;
}

class Composer {
public:
    explicit Composer(const Report& report) : m_report(report), m_setup(report.page)
    {
        for (const Band& band : report.bands) {
            if (band.kind == BandKind::PageHeader)
                m_header = &band;
            else if (band.kind == BandKind::PageFooter)
                m_footer = &band;
        }
        const QSizeF size = m_setup.pageSizeMm();
        m_footerTop = size.height() - m_setup.marginsMm.bottom() - (m_footer ? m_footer->height : 0);
    }

    std::vector<Page> run()
    {
        startPage();
        for (const Band& band : m_report.bands) {
            if (band.kind == BandKind::PageHeader || band.kind == BandKind::PageFooter)
                continue;
            if (band.richText && band.richText->document)
                printFlowing(band);
            else
                print(band);
        }
        endPage();
        return std::move(m_pages);
    }

private:
    double left() const { return m_setup.marginsMm.left(); }
    double width() const { return m_setup.printableWidthMm(); }

    void place(std::vector<PageItem> items, double top)
    {
        for (PageItem& item : items) {
            item.translate(QPointF(left(), top));
            m_pages.back().items.push_back(std::move(item));
        }
    }

    void startPage()
    {
        m_pages.push_back(Page{m_setup.pageSizeMm(), {}});
        m_y = m_setup.marginsMm.top();
        if (m_header) {
            LaidBand laid = layBand(*m_header, width());
            place(std::move(laid.items), m_y);
            m_y += laid.height;
        }
        m_bodyTop = m_y;
        m_fresh = true;
    }

    void endPage()
    {
        if (m_footer)
            place(layBand(*m_footer, width()).items, m_footerTop);
    }

    // A band that does not fit above the footer ends the page; on a page that
    // holds nothing yet it prints anyway, as no page would hold it.
    void makeRoom(double height)
    {
        if (!m_fresh && m_y + height > m_footerTop + kEpsilon) {
            endPage();
            startPage();
        }
    }

    void print(const Band& band)
    {
        LaidBand laid = layBand(band, width());
        makeRoom(laid.height);
        place(std::move(laid.items), m_y);
        m_y += laid.height;
        m_fresh = false;
    }

    void printFlowing(const Band& band)
    {
        const RichTextElement& rich = *band.richText;
        const QRectF box = rich.box;
        const double below = band.height - box.bottom(); // the band's space under the text
        const std::vector<RichLine> lines = layRichText(*rich.document, box.width());

        LaidBand laid = layBand(band, width());
        makeRoom(laid.height);
        place(std::move(laid.items), m_y);

        // How tall the text's box grows from `bandTop` to hold `needed` mm.
        auto room = [&](double bandTop, double needed) {
            double height = box.height();
            while (needed > height + kEpsilon &&
                   bandTop + box.top() + height + rich.growStepMm + below <= m_footerTop + kEpsilon)
                height += rich.growStepMm;
            return height;
        };
        const double pageRoom = room(m_bodyTop, std::numeric_limits<double>::infinity());

        size_t next = 0;
        double sliceTop = 0;
        for (;;) {
            const double bandTop = m_y;
            const double height = room(bandTop, lines.empty() ? 0 : lines.back().bottom - sliceTop);
            // A page break ends the page before its line.
            size_t end = next;
            while (end < lines.size() && lines[end].bottom - sliceTop <= height + kEpsilon
                   && (end == next || !lines[end].breakBefore))
                ++end;
            // A row taller than a whole page starts where it comes and goes on
            // over the next pages, cut between its lines of text.
            std::optional<double> cut;
            if (end < lines.size() && (end == next ? m_fresh : !lines[end].breakBefore)
                && (end == next || lines[end].bottom - lines[end].top > pageRoom + kEpsilon))
                cut = cutWithin(lines[end], sliceTop, height);
            size_t last = cut ? end + 1 : end;
            // Any other line taller than a whole page prints cut, rather than never.
            if (last == next && next < lines.size() && m_fresh)
                last = next + 1;
            const double sliceBottom = cut ? *cut : sliceTop + height;
            const QRectF shown(box.left(), box.top(), box.width(), sliceBottom - sliceTop);
            for (size_t i = next; i < last; ++i) {
                // A cut row prints each line of text once, on the page it falls on.
                const bool sliced = (cut && i == end) || lines[i].top < sliceTop - kEpsilon;
                const bool whole = !sliced && lines[i].bottom <= sliceBottom + kEpsilon;
                std::vector<PageItem> items;
                for (const PageItem& item : lines[i].items) {
                    if (sliced && !inSlice(item, sliceTop, sliceBottom))
                        continue;
                    items.push_back(item);
                    items.back().translate(QPointF(box.left(), box.top() - sliceTop));
                    if (!whole)
                        items.back().clip = shown;
                }
                place(std::move(items), bandTop);
            }
            next = cut ? end : last;
            if (next >= lines.size()) {
                m_y = bandTop + box.top() + height + below;
                m_fresh = false;
                return;
            }
            endPage();
            startPage();
            sliceTop = cut ? *cut : lines[next].top;
        }
    }

    // The lowest place `line` may be cut at below `sliceTop` within `height`.
    static std::optional<double> cutWithin(const RichLine& line, double sliceTop, double height)
    {
        std::optional<double> found;
        for (const double cut : line.cuts)
            if (cut > sliceTop + kEpsilon && cut - sliceTop <= height + kEpsilon)
                found = cut;
        return found;
    }

    // Whether a mark of a line cut in slices prints on the slice from `top`
    // to `bottom`: a text where its baseline is, the others where they reach.
    static bool inSlice(const PageItem& item, double top, double bottom)
    {
        switch (item.kind) {
        case PageItem::Kind::Text: return item.origin.y() > top + kEpsilon && item.origin.y() <= bottom + kEpsilon;
        case PageItem::Kind::Rule: {
            const double half = item.width / 2;
            return std::max(item.line.y1(), item.line.y2()) + half > top
                && std::min(item.line.y1(), item.line.y2()) - half < bottom;
        }
        default: return item.rect.bottom() > top && item.rect.top() < bottom;
        }
    }

    const Report& m_report;
    const PageSetup& m_setup;
    const Band* m_header = nullptr;
    const Band* m_footer = nullptr;
    double m_footerTop = 0;
    std::vector<Page> m_pages;
    double m_y = 0;
    double m_bodyTop = 0; // where a page's body starts, under its header
    bool m_fresh = true;
};

} // namespace

std::vector<Page> compose(const Report& report) { return Composer(report).run(); }

} // namespace reporting
