#include "platform/richtext/RtfWriter.h"

#include "platform/richtext/Cp1252.h"
#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/RtfPictures.h"

#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace richtext::detail {

namespace {

// Characters RTF cannot carry: control characters and QTextDocument's
// object, frame and paragraph markers.
bool isDropped(char16_t c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F || c == QChar::ObjectReplacementCharacter
           || c == 0xFDD0 || c == 0xFDD1 || c == QChar::ParagraphSeparator;
}

bool writesText(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return !isDropped(c.unicode()); });
}

long twips(double pixels) { return std::lround(pixels / kPixelsPerTwip); }

// The character formatting RTF can express, with fonts and colours as
// indexes into the tables written in the header (colour 0: automatic).
struct Run {
    int font = 0;
    int halfPoints = 24;
    int color = 0;
    int background = 0; // 0: none
    int raise = 0;      // half-points
    char vertical = 0;  // 'p' superscript, 'b' subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

class Writer {
public:
    explicit Writer(const QTextDocument* doc) : doc_(doc), defaultFont_(doc->defaultFont())
    {
        fontIndex(defaultFont_.family()); // \deff0
        colors_.append(QRgb(0));          // the automatic entry
    }

    // The body first, which fills the font and colour tables with what the
    // text uses, then the header before it.
    QString write()
    {
        out_.reserve(doc_->characterCount() * 11 / 10 + 256 + 64 * doc_->blockCount());
        writeRoot();
        out_ += u'}';
        QString body = std::move(out_);
        out_.clear();
        writeHeader();
        out_ += body;
        return out_;
    }

private:
    // The paragraphs and tables of the document. The reader makes the empty
    // paragraph before a table that opens the document, and the one after a
    // table that ends it: they are not written.
    void writeRoot()
    {
        const QTextFrame* root = doc_->rootFrame();
        std::vector<QTextFrame::iterator> items;
        for (auto it = root->begin(); !it.atEnd(); ++it)
            items.push_back(it);
        for (size_t i = 0; i < items.size(); ++i) {
            const QTextFrame::iterator& it = items[i];
            if (QTextFrame* frame = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(frame))
                    writeTable(table);
                else
                    writeBlocks(frame->firstPosition(), frame->lastPosition(), false);
                continue;
            }
            const QTextBlock block = it.currentBlock();
            const bool empty = block.length() <= 1;
            const bool last = i + 1 == items.size();
            const bool nextIsFrame = !last && items[i + 1].currentFrame();
            const bool afterFrame = i > 0 && items[i - 1].currentFrame();
            if (empty && ((i == 0 && nextIsFrame) || (last && afterFrame)))
                continue;
            // \par separates paragraphs; the reader ignores a final \par, so
            // an empty last paragraph needs one of its own to survive.
            writeBlock(block, false, last ? u"" : u"\\par\n", last && i > 0);
        }
    }

    // The blocks from `from` to `to` one after the other, tables flattened.
    void writeBlocks(int from, int to, bool inTable, QStringView lastEnding = u"\\par\n")
    {
        for (QTextBlock b = doc_->findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
            const bool last = !b.next().isValid() || b.next().position() > to;
            writeBlock(b, inTable, last ? lastEnding : u"\\par\n");
        }
    }

    void writeTable(const QTextTable* table)
    {
        const QTextTableFormat format = table->format();
        const QList<QTextLength> widths = format.columnWidthConstraints();
        for (int r = 0; r < table->rows(); ++r) {
            out_ += u"\\trowd";
            const QTextTableCellFormat first = table->cellAt(r, 0).format().toTableCellFormat();
            word(u"\\trgaph", twips(first.leftPadding()));
            const long left = format.hasProperty(TableLeft) ? format.intProperty(TableLeft) : twips(format.leftMargin());
            if (left != 0)
                word(u"\\trleft", left);
            if (format.alignment() & Qt::AlignHCenter)
                word(u"\\trqc");
            else if (format.alignment() & Qt::AlignRight)
                word(u"\\trqr");
            if (r < format.headerRowCount())
                word(u"\\trhdr");
            long right = left;
            for (int c = 0; c < table->columns(); ++c) {
                writeCellDefinition(table, r, c);
                const bool fixed = c < widths.size() && widths[c].type() == QTextLength::FixedLength;
                // A table made without widths shares a report's body out evenly.
                right += fixed ? twips(widths[c].rawValue()) : 9615 / table->columns();
                word(u"\\cellx", right);
            }
            out_ += u'\n';
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c) {
                    writeBlocks(cell.firstPosition(), cell.lastPosition(), true, u"\\cell\n");
                } else {
                    out_ += u"\\pard\\intbl\\cell\n";
                    delimit_ = false;
                }
            }
            out_ += u"\\row\n";
            delimit_ = false;
        }
    }

    void writeCellDefinition(const QTextTable* table, int r, int c)
    {
        const QTextTableCell cell = table->cellAt(r, c);
        if (cell.row() != r)
            word(u"\\clvmrg");
        else if (cell.column() != c)
            word(u"\\clmrg");
        else if (cell.rowSpan() > 1)
            word(u"\\clvmgf");
        else if (cell.columnSpan() > 1)
            word(u"\\clmgf");
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        struct Side {
            const char16_t* name;
            int width, style, brush;
        };
        static const Side sides[] = {
            {u"\\clbrdrt", QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellTopBorderBrush},
            {u"\\clbrdrl", QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellLeftBorderBrush},
            {u"\\clbrdrb", QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle, QTextFormat::TableCellBottomBorderBrush},
            {u"\\clbrdrr", QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle, QTextFormat::TableCellRightBorderBrush},
        };
        for (const Side& side : sides) {
            const double width = f.doubleProperty(side.width);
            if (width <= 0 || f.intProperty(side.style) == QTextFrameFormat::BorderStyle_None)
                continue;
            word(side.name);
            word(u"\\brdrs\\brdrw", std::max(1L, twips(width)));
            const QColor colour = f.brushProperty(side.brush).color();
            if (f.hasProperty(side.brush) && colour != Qt::black)
                word(u"\\brdrcf", colorIndex(colour.rgb()));
        }
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            word(u"\\clcbpat", colorIndex(f.background().color().rgb()));
        if (f.verticalAlignment() == QTextCharFormat::AlignMiddle)
            word(u"\\clvertalc");
        else if (f.verticalAlignment() == QTextCharFormat::AlignBottom)
            word(u"\\clvertalb");
    }

    const Run& runFor(int formatIndex, const QTextCharFormat& format)
    {
        auto it = runs_.find(formatIndex);
        if (it == runs_.end())
            it = runs_.insert(formatIndex, makeRun(format));
        return *it;
    }

    Run makeRun(const QTextCharFormat& format)
    {
        // Properties the format leaves unset come from the document's font.
        const QFont font = format.font().resolve(defaultFont_);
        Run run;
        run.font = fontIndex(font.family());
        const double points = font.pointSizeF() > 0 ? font.pointSizeF()
                              : font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0
                                                     : 12.0;
        run.halfPoints = std::max(1, int(std::lround(points * 2)));
        run.bold = font.bold();
        run.italic = font.italic();
        run.underline = font.underline();
        run.strike = font.strikeOut();
        if (format.hasProperty(QTextFormat::ForegroundBrush)
            && format.foreground().style() != Qt::NoBrush)
            run.color = colorIndex(format.foreground().color().rgb());
        if (format.hasProperty(QTextFormat::BackgroundBrush)
            && format.background().style() != Qt::NoBrush)
            run.background = colorIndex(format.background().color().rgb());
        run.vertical = format.verticalAlignment() == QTextCharFormat::AlignSuperScript ? 'p'
                       : format.verticalAlignment() == QTextCharFormat::AlignSubScript ? 'b'
                                                                                        : 0;
        run.raise = format.intProperty(Raise);
        return run;
    }

    int fontIndex(QString family)
    {
        // As the reader will see it: ';' would end the entry, and control
        // characters and surrounding spaces are dropped.
        family.remove(u';');
        family.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
        family = family.trimmed();
        const auto it = fontIndexes_.constFind(family);
        if (it != fontIndexes_.constEnd())
            return *it;
        fonts_.append(family);
        fontIndexes_.insert(family, int(fonts_.size() - 1));
        return int(fonts_.size() - 1);
    }

    int colorIndex(QRgb rgb)
    {
        rgb |= 0xFF000000u; // RTF has no transparency
        const auto it = colorIndexes_.constFind(rgb);
        if (it != colorIndexes_.constEnd())
            return *it;
        colors_.append(rgb);
        colorIndexes_.insert(rgb, int(colors_.size() - 1));
        return int(colors_.size() - 1);
    }

    void writeHeader()
    {
        out_ += u"{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            out_ += u"{\\f";
            out_ += QString::number(i);
            out_ += u"\\fnil\\fcharset0 ";
            writeText(fonts_[i]);
            out_ += u";}";
        }
        out_ += u'}';
        if (colors_.size() > 1) {
            out_ += u"{\\colortbl ;";
            for (qsizetype i = 1; i < colors_.size(); ++i) {
                word(u"\\red", qRed(colors_[i]));
                word(u"\\green", qGreen(colors_[i]));
                word(u"\\blue", qBlue(colors_[i]));
                out_ += u';';
            }
            out_ += u'}';
        }
        for (const QString& group : doc_->rootFrame()->frameFormat().property(DocumentGroups).toStringList())
            writeKept(out_, group);
        const long tab = twips(doc_->defaultTextOption().tabStopDistance());
        if (tab > 0 && tab != 720)
            word(u"\\deftab", tab);
        out_ += u'\n';
        delimit_ = false;
    }

    void writeParagraphFormat(const QTextBlockFormat& f, bool inTable)
    {
        out_ += u"\\pard";
        if (inTable)
            out_ += u"\\intbl";
        const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
        if (align & Qt::AlignHCenter)
            out_ += u"\\qc";
        else if (align & (Qt::AlignRight | Qt::AlignTrailing))
            out_ += u"\\qr";
        else if (align & Qt::AlignJustify)
            out_ += u"\\qj";
        delimit_ = true;
        length(u"\\li", f, QTextFormat::BlockLeftMargin);
        length(u"\\ri", f, QTextFormat::BlockRightMargin);
        length(u"\\fi", f, QTextFormat::TextIndent);
        length(u"\\sb", f, QTextFormat::BlockTopMargin);
        length(u"\\sa", f, QTextFormat::BlockBottomMargin);
        switch (f.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            word(u"\\sl", std::lround(f.lineHeight() * 240 / 100));
            word(u"\\slmult1");
            break;
        case QTextBlockFormat::MinimumHeight: word(u"\\sl", twips(f.lineHeight())); break;
        case QTextBlockFormat::FixedHeight: word(u"\\sl", -twips(f.lineHeight())); break;
        default: break;
        }
        const QString leaders = f.stringProperty(TabLeaders);
        const QList<QTextOption::Tab> tabs = f.tabPositions();
        const double start = f.leftMargin() + f.textIndent(); // tab stops count from here
        for (qsizetype i = 0; i < tabs.size(); ++i) {
            if (i < leaders.size() && leaders[i] == u'i')
                continue;
            static const std::pair<char16_t, const char16_t*> leaderWords[] = {
                {'d', u"\\tldot"}, {'h', u"\\tlhyph"}, {'u', u"\\tlul"}, {'t', u"\\tlth"}, {'e', u"\\tleq"}};
            for (const auto& [letter, name] : leaderWords)
                if (i < leaders.size() && leaders[i] == letter)
                    word(name);
            if (tabs[i].type == QTextOption::RightTab)
                word(u"\\tqr");
            else if (tabs[i].type == QTextOption::CenterTab)
                word(u"\\tqc");
            else if (tabs[i].type == QTextOption::DelimiterTab)
                word(u"\\tqdec");
            word(u"\\tx", twips(tabs[i].position + start));
        }
        if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            word(u"\\pagebb");
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            word(u"\\cbpat", colorIndex(f.background().color().rgb()));
        const QString listWords = f.stringProperty(ListWords);
        if (!listWords.isEmpty())
            word(listWords);
        for (const QString& group : f.property(KeptGroups).toStringList()) {
            writeKept(out_, group);
            delimit_ = false;
        }
    }

    void length(QStringView name, const QTextBlockFormat& f, int property)
    {
        const long value = twips(f.doubleProperty(property));
        if (value != 0)
            word(name, value);
    }

    // `ending` follows the paragraph; an empty last paragraph writes its own
    // \par when `parWhenEmpty`.
    void writeBlock(const QTextBlock& block, bool inTable, QStringView ending, bool parWhenEmpty = false)
    {
        writeParagraphFormat(block.blockFormat(), inTable);
        textWritten_ = false;
        bool listGroup = false;
        Run outside;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (isPicture(format)) {
                closeListGroup(listGroup, outside);
                for (qsizetype i = 0; i < fragment.length(); ++i)
                    writePicture(out_, format);
                delimit_ = false;
                textWritten_ = true;
                continue;
            }
            if (!writesText(fragment.text()))
                continue;
            const bool listText = format.boolProperty(ListText);
            if (listText && !listGroup) {
                out_ += block.blockFormat().hasProperty(ListWords) ? u"{\\listtext" : u"{\\pntext";
                delimit_ = true;
                outside = current_;
                listGroup = true;
            } else if (!listText) {
                closeListGroup(listGroup, outside);
            }
            nextRun_ = runFor(fragment.charFormatIndex(), format);
            runPending_ = true;
            writeText(fragment.text());
        }
        closeListGroup(listGroup, outside);
        runPending_ = false;
        if (!textWritten_) // keeps the height of an empty line
            switchTo(runFor(block.charFormatIndex(), block.charFormat()));
        out_ += ending;
        if (parWhenEmpty && !textWritten_)
            out_ += u"\\par";
        delimit_ = false;
    }

    // Ends the group of a list paragraph's bullet: what it changed ends with it.
    void closeListGroup(bool& open, const Run& outside)
    {
        if (!open)
            return;
        out_ += u'}';
        current_ = outside;
        delimit_ = false;
        open = false;
    }

    // Writes the control words that change the current formatting to `run`.
    void switchTo(const Run& run)
    {
        if (run.font != current_.font)
            word(u"\\f", run.font);
        if (run.halfPoints != current_.halfPoints)
            word(u"\\fs", run.halfPoints);
        if (run.color != current_.color)
            word(u"\\cf", run.color);
        if (run.background != current_.background)
            word(u"\\highlight", run.background);
        toggle(u"\\b", current_.bold, run.bold);
        toggle(u"\\i", current_.italic, run.italic);
        if (run.underline != current_.underline)
            word(run.underline ? u"\\ul" : u"\\ulnone");
        toggle(u"\\strike", current_.strike, run.strike);
        if (run.vertical != current_.vertical)
            word(run.vertical == 'p' ? u"\\super" : run.vertical == 'b' ? u"\\sub" : u"\\nosupersub");
        if (run.raise != current_.raise)
            word(run.raise < 0 ? u"\\dn" : u"\\up", std::abs(run.raise));
        current_ = run;
    }

    void toggle(QStringView name, bool from, bool to)
    {
        if (from == to)
            return;
        out_ += name;
        if (!to)
            out_ += u'0';
        delimit_ = true;
    }

    void word(QStringView name, long value)
    {
        out_ += name;
        out_ += QString::number(value);
        delimit_ = true;
    }

    void word(QStringView name)
    {
        out_ += name;
        delimit_ = true;
    }

    void writeText(QStringView text)
    {
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            if (isDropped(c))
                continue;
            if (runPending_) { // the formatting changes where its text starts
                switchTo(nextRun_);
                runPending_ = false;
            }
            textWritten_ = true;
            if (c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}') {
                if (delimit_) {
                    out_ += u' '; // ends the control word before
                    delimit_ = false;
                }
                out_ += qc;
                continue;
            }
            writeSpecial(c);
        }
    }

    void writeSpecial(char16_t c)
    {
        switch (c) {
        case '\\': out_ += u"\\\\"; break;
        case '{': out_ += u"\\{"; break;
        case '}': out_ += u"\\}"; break;
        case '\t': word(u"\\tab"); return;
        case QChar::LineSeparator: word(u"\\line"); return;
        case QChar::Nbsp: out_ += u"\\~"; break;
        case QChar::SoftHyphen: out_ += u"\\-"; break;
        default: {
            // The Symbol font's bullet, as the reader took it.
            const int byte = c == 0x2022 && fonts_[current_.font] == u"Symbol" ? 0xB7 : cp1252::fromUnicode(c);
            if (byte >= 0) {
                static const char hex[] = "0123456789abcdef";
                out_ += u"\\'";
                out_ += QChar(hex[byte >> 4]);
                out_ += QChar(hex[byte & 15]);
            } else {
                out_ += u"\\u";
                out_ += QString::number(c > 32767 ? int(c) - 65536 : int(c));
                out_ += u'?';
            }
        }
        }
        delimit_ = false;
    }

    const QTextDocument* doc_;
    QFont defaultFont_;
    QStringList fonts_;
    QHash<QString, int> fontIndexes_;
    QList<QRgb> colors_;
    QHash<QRgb, int> colorIndexes_;
    QHash<int, Run> runs_; // by the document's format index
    QString out_;
    Run current_;          // what a reader has in effect at this point
    Run nextRun_;          // for the next character written, when runPending_
    bool runPending_ = false;
    bool textWritten_ = false; // in the current paragraph
    bool delimit_ = false; // a control word was written last: text needs a space first
};

} // namespace

QString writeRtf(const QTextDocument* doc)
{
    return Writer(doc).write();
}

} // namespace richtext::detail
