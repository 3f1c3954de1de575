#include "platform/reporting/RichText.h"

#include "platform/richtext/Formats.h"
#include "platform/richtext/Leaders.h"
#include "platform/richtext/Pictures.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace reporting {

QPaintDevice* layoutDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMetre = int(std::lround(kLayoutDpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return &device;
}

namespace {

constexpr double kMmPerPixel = 25.4 / 96; // a document pixel on paper

// The installed face of each format, found once: looking a face up costs
// more than laying a line out.
class Faces {
public:
    const FontSpec& of(const QFont& font)
    {
        auto it = m_known.constFind(font);
        if (it == m_known.cend())
            it = m_known.insert(font, FontSpec::of(font));
        return *it;
    }

private:
    QHash<QFont, FontSpec> m_known;
};

// Tabs and line breaks end a run of text; in a justified paragraph, whose
// blanks the layout stretched, every blank does. A no-break space belongs to
// its word ("12 500"). Pictures stand alone.
bool endsRun(QChar c, bool justified)
{
    if (c == ' ')
        return justified;
    return (c.isSpace() && c != QChar::Nbsp && c.unicode() != 0x202F) || c == QChar::ObjectReplacementCharacter;
}

// Readies `document` to be laid out at the layout's resolution, once. The
// layout scales tab stops, table widths, line heights and the space above
// and below paragraphs from the document's pixels to the device, but not the
// indents: they are scaled here.
void prepare(QTextDocument& document)
{
    static const char* const kPrepared = "velunorPreparedForPrint";
    if (document.property(kPrepared).toBool())
        return;
    document.setUndoRedoEnabled(false);
    const double scale = kLayoutDpi / 96;
    static const int margins[] = {QTextFormat::BlockLeftMargin, QTextFormat::BlockRightMargin, QTextFormat::TextIndent};
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        bool scaled = false;
        for (const int property : margins) {
            if (format.hasProperty(property)) {
                format.setProperty(property, format.doubleProperty(property) * scale);
                scaled = true;
            }
        }
        if (scaled) {
            cursor.setPosition(block.position());
            cursor.setBlockFormat(format);
        }
    }
    richtext::enablePictures(&document);
    document.setDocumentMargin(0);
    document.setUseDesignMetrics(true);
    document.documentLayout()->setPaintDevice(layoutDevice());
    document.setProperty(kPrepared, true);
}

// The face a run prints in and how far its baseline moves up (mm): super-
// and subscripts as the layout sets them, smaller, and raised or lowered
// text by its half-points.
std::pair<QFont, double> runFace(const QTextCharFormat& format, const QFont& defaultFont)
{
    QFont font = format.font().resolve(defaultFont);
    double shift = -format.intProperty(richtext::Raise) / 2.0 * 25.4 / 72;
    const auto align = format.verticalAlignment();
    if (align == QTextCharFormat::AlignSuperScript || align == QTextCharFormat::AlignSubScript) {
        if (font.pointSize() != -1)
            font.setPointSize(font.pointSize() * 2 / 3);
        else
            font.setPixelSize(font.pixelSize() * 2 / 3);
        const QFontMetricsF metrics(font, layoutDevice());
        const double height = (metrics.ascent() + metrics.descent()) / kUnitsPerMm;
        shift = align == QTextCharFormat::AlignSuperScript ? -height * format.superScriptBaseline() / 100
                                                            : height * format.subScriptBaseline() / 100;
    }
    return {font, shift};
}

class Layouter {
public:
    Layouter(QTextDocument& document, double widthMm) : m_doc(&document), m_layout(document.documentLayout())
    {
        prepare(document);
        document.setTextWidth(widthMm * kUnitsPerMm);
        m_layout->documentSize(); // lays the whole document out
    }

    std::vector<RichLine> run()
    {
        const QTextFrame* root = m_doc->rootFrame();
        for (auto it = root->begin(); !it.atEnd(); ++it) {
            if (auto* table = qobject_cast<QTextTable*>(it.currentFrame()))
                layTable(*table);
            else if (QTextFrame* frame = it.currentFrame())
                layBlocks(frame->firstPosition(), frame->lastPosition(), nullptr);
            else
                layBlock(it.currentBlock(), nullptr);
        }
        return std::move(m_lines);
    }

private:
    // The lines of `block`, each a line of its own, or into `into` (a row).
    void layBlock(const QTextBlock& block, RichLine* into)
    {
        const QTextLayout* layout = block.layout();
        if (!layout)
            return;
        const QPointF offset = m_layout->blockBoundingRect(block).topLeft() - layout->position();
        const QPointF origin = layout->position() + offset;
        const QTextBlockFormat format = block.blockFormat();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            RichLine laid;
            laid.top = (origin.y() + line.y()) / kUnitsPerMm;
            laid.bottom = laid.top + line.height() / kUnitsPerMm;
            laid.breakBefore = i == 0 && (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
            RichLine& out = into ? *into : laid;
            if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
                out.items.push_back(PageItem::fill(QRectF(origin.x() / kUnitsPerMm, laid.top, line.width() / kUnitsPerMm,
                                                          laid.bottom - laid.top),
                                                   format.background().color()));
            placeRuns(block, line, origin, out);
            if (!into)
                m_lines.push_back(std::move(laid));
            else
                m_rowLines.emplace_back(laid.top, laid.bottom);
        }
    }

    void layBlocks(int from, int to, RichLine* into)
    {
        for (QTextBlock b = m_doc->findBlock(from); b.isValid() && b.position() <= to; b = b.next())
            layBlock(b, into);
    }

    // The line's text in runs of one format, each drawn from where the
    // layout put its first character, so that tabs, justified spacing and
    // mixed formats keep their places on any device. A run keeps its
    // trailing blanks only when underlined or struck out, so that the line
    // under a phrase has no gaps.
    void placeRuns(const QTextBlock& block, const QTextLine& line, const QPointF& origin, RichLine& out)
    {
        const QString text = block.text();
        const bool justified = block.blockFormat().alignment() & Qt::AlignJustify;
        const int lineStart = line.textStart();
        const int lineEnd = lineStart + line.textLength();
        const double baseline = (origin.y() + line.y() + line.ascent()) / kUnitsPerMm;
        const double lineTop = (origin.y() + line.y()) / kUnitsPerMm;
        auto xAt = [&](int i) { return (origin.x() + line.cursorToX(i)) / kUnitsPerMm; };
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(lineStart, fragment.position() - block.position());
            const int end = std::min(lineEnd, fragment.position() - block.position() + fragment.length());
            if (start >= end)
                continue;
            const QTextCharFormat format = fragment.charFormat();
            if (richtext::isPicture(format)) {
                const QSizeF size = richtext::pictureSize(format) * kMmPerPixel;
                for (int i = start; i < end; ++i)
                    out.items.push_back(PageItem::picture(QRectF(QPointF(xAt(i), baseline - size.height()), size),
                                                          richtext::drawablePicture(format)));
                continue;
            }
            const auto [qfont, shift] = runFace(format, m_doc->defaultFont());
            const FontSpec& font = m_faces.of(qfont);
            const QColor colour =
                format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor(Qt::black);
            if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
                out.items.push_back(PageItem::fill(QRectF(xAt(start), lineTop, xAt(end) - xAt(start),
                                                          line.height() / kUnitsPerMm),
                                                   format.background().color()));
            const bool keepBlanks = font.underline || font.strikeOut;
            int i = start;
            while (i < end) {
                if (endsRun(text[i], justified) || text[i] == ' ') {
                    ++i;
                    continue;
                }
                const int runStart = i;
                while (i < end && !endsRun(text[i], justified))
                    ++i;
                int runEnd = i;
                if (!keepBlanks)
                    while (runEnd > runStart && text[runEnd - 1] == ' ')
                        --runEnd;
                out.items.push_back(PageItem::textRun(QPointF(xAt(runStart), baseline + shift), font, colour,
                                                      text.mid(runStart, runEnd - runStart)));
            }
        }
        for (const richtext::Leader& leader : richtext::leadersOf(block, line, kLayoutDpi / 96))
            placeLeader(block, leader, origin.x(), baseline, out);
    }

    // A leader in the tab's own face: its marks end a mark short of the
    // text it leads to; the lines run under the whole gap.
    void placeLeader(const QTextBlock& block, const richtext::Leader& leader, double left, double baseline,
                     RichLine& out)
    {
        const QTextCharFormat format = charFormatAt(block, leader.position);
        const QFont qfont = runFace(format, m_doc->defaultFont()).first;
        const QFontMetricsF metrics(qfont, layoutDevice());
        const QColor colour =
            format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor(Qt::black);
        if (leader.kind == u'u' || leader.kind == u't') {
            const double y = baseline + metrics.underlinePos() / kUnitsPerMm;
            const double width = metrics.lineWidth() / kUnitsPerMm * (leader.kind == u't' ? 2 : 1);
            out.items.push_back(PageItem::rule(
                QLineF((left + leader.from) / kUnitsPerMm, y, (left + leader.to) / kUnitsPerMm, y), width, colour));
            return;
        }
        const richtext::LeaderMarks marks = richtext::leaderMarks(leader, metrics);
        if (!marks.text.isEmpty())
            out.items.push_back(
                PageItem::textRun(QPointF((left + marks.x) / kUnitsPerMm, baseline), m_faces.of(qfont), colour, marks.text));
    }

    static QTextCharFormat charFormatAt(const QTextBlock& block, int position)
    {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (position < fragment.position() - block.position() + fragment.length())
                return fragment.charFormat();
        }
        return block.charFormat();
    }

    struct CellBox {
        QTextTableCell cell;
        QRectF content; // mm
    };

    // A table prints row by row; rows that cells join downwards print together.
    void layTable(QTextTable& table)
    {
        const int rows = table.rows();
        std::vector<double> tops(rows, -1), bottoms(rows, -1);
        std::vector<CellBox> cells;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < table.columns(); ++c) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                QRectF content;
                for (QTextBlock b = m_doc->findBlock(cell.firstPosition()); b.isValid() && b.position() <= cell.lastPosition();
                     b = b.next()) {
                    const QRectF box = m_layout->blockBoundingRect(b);
                    content |= QRectF(box.topLeft() / kUnitsPerMm, box.size() / kUnitsPerMm);
                }
                const QTextTableCellFormat f = cell.format().toTableCellFormat();
                const double top = content.top() - f.topPadding() * kMmPerPixel;
                tops[r] = tops[r] < 0 ? top : std::min(tops[r], top);
                const int last = r + cell.rowSpan() - 1;
                bottoms[last] = std::max(bottoms[last], content.bottom() + f.bottomPadding() * kMmPerPixel);
                cells.push_back({cell, content});
            }
        }
        for (int r = 1; r < rows; ++r) // a row ends where the next begins
            if (tops[r] >= 0)
                bottoms[r - 1] = tops[r];
        for (int r = 1; r < rows; ++r)
            if (tops[r] < 0)
                tops[r] = bottoms[r - 1];
        size_t next = 0;
        for (int first = 0; first < rows;) {
            int last = first;
            for (size_t i = next; i < cells.size() && cells[i].cell.row() <= last; ++i)
                last = std::max(last, cells[i].cell.row() + cells[i].cell.rowSpan() - 1);
            RichLine row;
            row.top = tops[first];
            row.bottom = std::max(bottoms[last], row.top);
            const size_t begin = next;
            for (; next < cells.size() && cells[next].cell.row() <= last; ++next)
                placeCellGround(cells[next], tops[cells[next].cell.row()],
                                bottoms[cells[next].cell.row() + cells[next].cell.rowSpan() - 1], row);
            m_rowLines.clear();
            for (size_t i = begin; i < next; ++i)
                layBlocks(cells[i].cell.firstPosition(), cells[i].cell.lastPosition(), &row);
            row.cuts = rowCuts(row.bottom);
            m_lines.push_back(std::move(row));
            first = last + 1;
        }
    }

    // The bottoms of the row's lines of text that no other line of the row
    // crosses, above the row's own bottom.
    std::vector<double> rowCuts(double rowBottom) const
    {
        constexpr double kSlack = 0.001;
        std::vector<double> cuts;
        for (const auto& line : m_rowLines) {
            const double bottom = line.second;
            const bool crossed = std::any_of(m_rowLines.begin(), m_rowLines.end(), [&](const auto& other) {
                return other.first < bottom - kSlack && other.second > bottom + kSlack;
            });
            if (!crossed && bottom < rowBottom - kSlack)
                cuts.push_back(bottom);
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end(), [&](double a, double b) { return b - a < kSlack; }), cuts.end());
        return cuts;
    }

    // A cell's shading and borders.
    void placeCellGround(const CellBox& box, double top, double bottom, RichLine& row)
    {
        const QTextTableCellFormat f = box.cell.format().toTableCellFormat();
        const QRectF r(QPointF(box.content.left() - f.leftPadding() * kMmPerPixel, top),
                       QPointF(box.content.right() + f.rightPadding() * kMmPerPixel, bottom));
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            row.items.push_back(PageItem::fill(r, f.background().color()));
        auto border = [&](int width, int style, int brush, QLineF line) {
            const double w = f.doubleProperty(width) * kMmPerPixel;
            if (w <= 0 || f.intProperty(style) == QTextFrameFormat::BorderStyle_None)
                return;
            const QColor colour = f.hasProperty(brush) ? f.brushProperty(brush).color() : QColor(Qt::black);
            row.items.push_back(PageItem::rule(line, w, colour));
        };
        border(QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellTopBorderBrush,
               QLineF(r.topLeft(), r.topRight()));
        border(QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle,
               QTextFormat::TableCellBottomBorderBrush, QLineF(r.bottomLeft(), r.bottomRight()));
        border(QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle,
               QTextFormat::TableCellLeftBorderBrush, QLineF(r.topLeft(), r.bottomLeft()));
        border(QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle,
               QTextFormat::TableCellRightBorderBrush, QLineF(r.topRight(), r.bottomRight()));
    }

    QTextDocument* m_doc;
    QAbstractTextDocumentLayout* m_layout;
    Faces m_faces;
    std::vector<RichLine> m_lines;
    std::vector<std::pair<double, double>> m_rowLines; // the current row's lines of text: top, bottom
};

} // namespace

std::vector<RichLine> layRichText(QTextDocument& document, double widthMm)
{
    return Layouter(document, widthMm).run();
}

} // namespace reporting
