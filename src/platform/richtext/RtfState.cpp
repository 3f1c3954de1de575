#include "platform/richtext/RtfState.h"

#include "platform/richtext/Formats.h"

#include <algorithm>
#include <string_view>

namespace richtext::detail {

namespace {

// Beyond this many a hostile report's tab stops are dropped.
constexpr int kMaxTabStops = 64;
constexpr int kMaxListWords = 64;

QColor colour(const QList<QColor>& colours, int index)
{
    return index >= 0 && index < colours.size() ? colours[index] : QColor();
}

} // namespace

void changeCharacter(CharState& ch, Word word, bool hasParam, int param)
{
    const bool on = !hasParam || param != 0; // \b on, \b0 off
    switch (word) {
    case Word::Plain: {
        const bool listText = ch.listText; // the group says so, not the formatting
        ch = CharState{};
        ch.listText = listText;
        break;
    }
    case Word::Bold: ch.bold = on; break;
    case Word::Italic: ch.italic = on; break;
    case Word::Underline: ch.underline = on; break;
    case Word::UnderlineNone: ch.underline = false; break;
    case Word::Strike: ch.strike = on; break;
    case Word::Font:
        if (hasParam)
            ch.font = param;
        break;
    case Word::FontSize:
        ch.halfPoints = hasParam && param > 0 ? std::min(param, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
    case Word::Color: ch.color = std::max(param, 0); break;
    case Word::Super: ch.vertical = 'p'; break;
    case Word::Sub: ch.vertical = 'b'; break;
    case Word::NoSuperSub: ch.vertical = 0; break;
    case Word::Up: ch.raise = std::clamp(hasParam ? param : 6, 0, kMaxHalfPoints); break;
    case Word::Down: ch.raise = -std::clamp(hasParam ? param : 6, 0, kMaxHalfPoints); break;
    case Word::Highlight: ch.background = param > 0 ? param : -1; break;
    default: break;
    }
}

bool paragraphWord(ParaState& p, const WordInfo& info, bool hasParam, int param, QStringView raw)
{
    const int twips = std::clamp(param, -kMaxTwips, kMaxTwips);
    switch (info.word) {
    case Word::Pard: p = ParaState{}; break;
    case Word::AlignLeft: p.align = Qt::AlignLeft; break;
    case Word::AlignCenter: p.align = Qt::AlignHCenter; break;
    case Word::AlignRight: p.align = Qt::AlignRight; break;
    case Word::AlignJustify: p.align = Qt::AlignJustify; break;
    case Word::LeftIndent: p.left = twips; break;
    case Word::RightIndent: p.right = twips; break;
    case Word::FirstIndent: p.first = twips; break;
    case Word::SpaceBefore: p.before = std::max(twips, 0); break;
    case Word::SpaceAfter: p.after = std::max(twips, 0); break;
    case Word::LineSpacing: p.line = twips; break;
    case Word::LineMultiple: p.lineMultiple = !hasParam || param != 0; break;
    case Word::TabKind: p.tabKind = char(info.ch); break;
    case Word::TabLeader: p.tabLeader = char(info.ch); break;
    case Word::TabStop:
        if (p.tabs.size() < kMaxTabStops && twips >= 0) {
            const QTextOption::TabType type = p.tabKind == 'r'   ? QTextOption::RightTab
                                              : p.tabKind == 'c' ? QTextOption::CenterTab
                                              : p.tabKind == 'd' ? QTextOption::DelimiterTab
                                                                 : QTextOption::LeftTab;
            // A decimal stop aligns on the Portuguese decimal comma.
            const QChar delimiter = type == QTextOption::DelimiterTab ? QChar(u',') : QChar();
            p.tabs.append(QTextOption::Tab(twips * kPixelsPerTwip, type, delimiter));
            p.leaders += QChar(p.tabLeader);
        }
        p.tabKind = 0;
        p.tabLeader = ' ';
        break;
    case Word::PageBreakBefore: p.breakBefore = true; break;
    case Word::ParagraphShading: p.shading = param; break;
    case Word::ListWord:
        if (p.listWords.size() < kMaxListWords)
            p.listWords += raw;
        break;
    case Word::InTable: p.inTable = true; break;
    default: return false;
    }
    return true;
}

bool tableWord(RowDef& row, const WordInfo& info, int param)
{
    CellDef& cell = row.next;
    BorderDef* border = row.side >= 0 ? &cell.borders[row.side] : nullptr;
    switch (info.word) {
    case Word::RowDefaults: row = RowDef{}; break;
    case Word::RowGap: row.gap = std::clamp(param, 0, kMaxTwips); break;
    case Word::RowLeft: row.left = std::clamp(param, -kMaxTwips, kMaxTwips); break;
    case Word::RowAlign: row.align = char(info.ch); break;
    case Word::RowHeader: row.header = true; break;
    case Word::CellBorder: row.side = int(std::string_view("tlbr").find(char(info.ch))); break;
    case Word::ParagraphBorder: row.side = -1; break;
    case Word::BorderStyle:
        if (border)
            border->style = char(info.ch);
        break;
    case Word::BorderWidth:
        if (border)
            border->width = std::clamp(param, 0, 1000);
        break;
    case Word::BorderColour:
        if (border)
            border->colour = param;
        break;
    case Word::CellShading: cell.shading = param; break;
    case Word::CellMerge: cell.merge = char(info.ch); break;
    case Word::CellAlign: cell.align = char(info.ch); break;
    case Word::CellRight:
        // Each cell at most kMaxTwips wide (see TableBuilder): the right
        // edges of a row's cells together reach no further than this.
        cell.right = std::clamp(param, -kMaxTwips, kMaxTwips * (kMaxTableColumns + 1));
        if (row.cells.size() < kMaxTableColumns)
            row.cells.append(cell);
        row.next = CellDef{};
        row.side = -1;
        break;
    default: return false;
    }
    return true;
}

QTextCharFormat charFormat(const CharState& s, const QStringList& families, const QList<QColor>& colours)
{
    QTextCharFormat f;
    if (s.font >= 0)
        f.setFontFamilies({families[s.font]});
    f.setFontPointSize(s.halfPoints / 2.0);
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strike);
    if (colour(colours, s.color).isValid())
        f.setForeground(colour(colours, s.color));
    if (colour(colours, s.background).isValid())
        f.setBackground(colour(colours, s.background));
    if (s.vertical)
        f.setVerticalAlignment(s.vertical == 'p' ? QTextCharFormat::AlignSuperScript
                                                 : QTextCharFormat::AlignSubScript);
    if (s.raise != 0) {
        f.setProperty(Raise, s.raise);
        f.setBaselineOffset(s.raise * 100.0 / s.halfPoints);
    }
    if (s.listText)
        f.setProperty(ListText, true);
    return f;
}

QTextBlockFormat blockFormat(const ParaState& p, const QList<QColor>& colours)
{
    QTextBlockFormat f;
    if (p.align != Qt::AlignLeft)
        f.setAlignment(p.align);
    auto length = [&f](int property, int twips) {
        if (twips != 0)
            f.setProperty(property, twips * kPixelsPerTwip);
    };
    length(QTextFormat::BlockLeftMargin, p.left);
    length(QTextFormat::BlockRightMargin, p.right);
    length(QTextFormat::TextIndent, p.first);
    length(QTextFormat::BlockTopMargin, p.before);
    length(QTextFormat::BlockBottomMargin, p.after);
    if (p.line > 0 && p.lineMultiple)
        f.setLineHeight(p.line * 100.0 / 240, QTextBlockFormat::ProportionalHeight);
    else if (p.line > 0)
        f.setLineHeight(p.line * kPixelsPerTwip, QTextBlockFormat::MinimumHeight);
    else if (p.line < 0)
        f.setLineHeight(-p.line * kPixelsPerTwip, QTextBlockFormat::FixedHeight);
    // RTF gives tab stops from the margin, the layout takes them from where
    // the paragraph's first line starts; a hanging first line has a stop of
    // its own where the other lines start, which the writer leaves out.
    const double start = (p.left + p.first) * kPixelsPerTwip;
    QList<QTextOption::Tab> tabs;
    QString leaders = p.leaders;
    if (p.first < 0 && std::none_of(p.tabs.begin(), p.tabs.end(), [&](const QTextOption::Tab& t) {
            return t.position > start && t.position <= p.left * kPixelsPerTwip;
        })) {
        tabs.append(QTextOption::Tab(-p.first * kPixelsPerTwip, QTextOption::LeftTab));
        leaders.prepend(u'i');
    }
    for (QTextOption::Tab tab : p.tabs) {
        tab.position -= start;
        tabs.append(tab);
    }
    if (!tabs.isEmpty())
        f.setTabPositions(tabs);
    if (!leaders.trimmed().isEmpty())
        f.setProperty(TabLeaders, leaders);
    if (p.breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (colour(colours, p.shading).isValid())
        f.setBackground(colour(colours, p.shading));
    if (!p.listWords.isEmpty())
        f.setProperty(ListWords, p.listWords);
    return f;
}

} // namespace richtext::detail
