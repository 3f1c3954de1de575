#include "platform/richtext/RtfWords.h"

#include <QChar>

#include <unordered_map>

namespace richtext::detail {

namespace {

using Table = std::unordered_map<std::string_view, WordInfo>;

void destinations(Table& t)
{
    t["fonttbl"] = {Word::FontTable};
    t["colortbl"] = {Word::ColorTable};
    // Destinations whose content is not part of the body text. The
    // alternative of a picture for older readers repeats the picture.
    for (const char* name :
         {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
          "footerr", "footerf", "generator", "rsidtbl", "xmlnstbl", "themedata",
          "colorschememapping", "latentstyles", "datastore", "fldinst", "footnote", "annotation",
          "atnid", "atnauthor", "atndate", "atnref", "bkmkstart", "bkmkend", "objdata",
          "objclass", "objname", "nonshppict", "shpinst", "revtbl", "filetbl", "pgdsctbl",
          "template", "userprops", "docvar", "xe", "tc", "txe", "ftnsep", "ftnsepc", "aftnsep",
          "aftnsepc", "mmathPr", "comment", "nesttableprops"})
        t[name] = {Word::SkipDestination};
    t["pict"] = {Word::Picture};
    t["shppict"] = {Word::PictureShape};
    t["pntext"] = {Word::ListText};
    t["listtext"] = {Word::ListText};
}

void characters(Table& t)
{
    t["plain"] = {Word::Plain};
    t["b"] = {Word::Bold};
    t["i"] = {Word::Italic};
    for (const char* name : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                             "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                             "ulthldash", "ululdbwave", "ulw", "ulwave"})
        t[name] = {Word::Underline};
    t["ulnone"] = {Word::UnderlineNone};
    t["strike"] = {Word::Strike};
    t["striked"] = {Word::Strike};
    t["f"] = {Word::Font};
    t["fs"] = {Word::FontSize};
    t["cf"] = {Word::Color};
    t["super"] = {Word::Super};
    t["sub"] = {Word::Sub};
    t["nosupersub"] = {Word::NoSuperSub};
    t["up"] = {Word::Up};
    t["dn"] = {Word::Down};
    t["highlight"] = {Word::Highlight};
    t["cb"] = {Word::Highlight};
    t["chcbpat"] = {Word::Highlight};
}

void paragraphs(Table& t)
{
    t["pard"] = {Word::Pard};
    t["ql"] = {Word::AlignLeft};
    t["qc"] = {Word::AlignCenter};
    t["qr"] = {Word::AlignRight};
    t["qj"] = {Word::AlignJustify};
    t["li"] = {Word::LeftIndent};
    t["lin"] = {Word::LeftIndent};
    t["ri"] = {Word::RightIndent};
    t["rin"] = {Word::RightIndent};
    t["fi"] = {Word::FirstIndent};
    t["sb"] = {Word::SpaceBefore};
    t["sa"] = {Word::SpaceAfter};
    t["sl"] = {Word::LineSpacing};
    t["slmult"] = {Word::LineMultiple};
    t["tx"] = {Word::TabStop};
    t["tqr"] = {Word::TabKind, 'r'};
    t["tqc"] = {Word::TabKind, 'c'};
    t["tqdec"] = {Word::TabKind, 'd'};
    t["tldot"] = {Word::TabLeader, 'd'};
    t["tlmdot"] = {Word::TabLeader, 'd'};
    t["tlhyph"] = {Word::TabLeader, 'h'};
    t["tlul"] = {Word::TabLeader, 'u'};
    t["tlth"] = {Word::TabLeader, 't'};
    t["tleq"] = {Word::TabLeader, 'e'};
    t["deftab"] = {Word::DefaultTab};
    t["pagebb"] = {Word::PageBreakBefore};
    t["page"] = {Word::Page};
    t["cbpat"] = {Word::ParagraphShading};
    t["ls"] = {Word::ListWord};
    t["ilvl"] = {Word::ListWord};
    for (const char* name : {"brdrt", "brdrb", "brdrl", "brdrr", "box", "brdrbtw", "brdrbar"})
        t[name] = {Word::ParagraphBorder};
}

void tables(Table& t)
{
    t["intbl"] = {Word::InTable};
    t["trowd"] = {Word::RowDefaults};
    t["trgaph"] = {Word::RowGap};
    t["trleft"] = {Word::RowLeft};
    t["trql"] = {Word::RowAlign, 'l'};
    t["trqc"] = {Word::RowAlign, 'c'};
    t["trqr"] = {Word::RowAlign, 'r'};
    t["trhdr"] = {Word::RowHeader};
    t["cellx"] = {Word::CellRight};
    t["cell"] = {Word::Cell};
    t["row"] = {Word::Row};
    // Tables inside a cell are kept as their text.
    t["nestcell"] = {Word::Char, u'\t'};
    t["nestrow"] = {Word::Par};
    t["clbrdrt"] = {Word::CellBorder, 't'};
    t["clbrdrl"] = {Word::CellBorder, 'l'};
    t["clbrdrb"] = {Word::CellBorder, 'b'};
    t["clbrdrr"] = {Word::CellBorder, 'r'};
    for (const char* name : {"brdrs", "brdrth", "brdrsh", "brdrdb", "brdrdot", "brdrdash",
                             "brdrhair", "brdrtriple", "brdrdashsm", "brdrdashd", "brdrdashdd",
                             "brdrinset", "brdroutset", "brdrwavy", "brdrengrave", "brdremboss"})
        t[name] = {Word::BorderStyle, 's'};
    t["brdrnone"] = {Word::BorderStyle, 'n'};
    t["brdrnil"] = {Word::BorderStyle, 'n'};
    t["brdrw"] = {Word::BorderWidth};
    t["brdrcf"] = {Word::BorderColour};
    t["clcbpat"] = {Word::CellShading};
    t["clmgf"] = {Word::CellMerge, 'f'};
    t["clmrg"] = {Word::CellMerge, 'm'};
    t["clvmgf"] = {Word::CellMerge, 'F'};
    t["clvmrg"] = {Word::CellMerge, 'M'};
    t["clvertalt"] = {Word::CellAlign, 't'};
    t["clvertalc"] = {Word::CellAlign, 'c'};
    t["clvertalb"] = {Word::CellAlign, 'b'};
}

void pictures(Table& t)
{
    for (const char* name : {"pngblip", "jpegblip", "emfblip", "wmetafile", "macpict",
                             "pmmetafile", "dibitmap", "wbitmap"})
        t[name] = {Word::PictureKind};
    t["picwgoal"] = {Word::PictureGoalWidth};
    t["pichgoal"] = {Word::PictureGoalHeight};
    t["picscalex"] = {Word::PictureScaleX};
    t["picscaley"] = {Word::PictureScaleY};
}

void text(Table& t)
{
    // Sections end a paragraph.
    for (const char* name : {"par", "sect"})
        t[name] = {Word::Par};
    t["tab"] = {Word::Char, u'\t'};
    t["line"] = {Word::Char, QChar::LineSeparator};
    t["emdash"] = {Word::Char, 0x2014};
    t["endash"] = {Word::Char, 0x2013};
    t["emspace"] = {Word::Char, 0x2003};
    t["enspace"] = {Word::Char, 0x2002};
    t["qmspace"] = {Word::Char, 0x2005};
    t["bullet"] = {Word::Char, 0x2022};
    t["lquote"] = {Word::Char, 0x2018};
    t["rquote"] = {Word::Char, 0x2019};
    t["ldblquote"] = {Word::Char, 0x201C};
    t["rdblquote"] = {Word::Char, 0x201D};
    t["zwj"] = {Word::Char, 0x200D};
    t["zwnj"] = {Word::Char, 0x200C};
    t["u"] = {Word::Unicode};
    t["uc"] = {Word::UnicodeSkip};
    t["bin"] = {Word::Bin};
    t["deff"] = {Word::DefaultFont};
    t["red"] = {Word::Red};
    t["green"] = {Word::Green};
    t["blue"] = {Word::Blue};
}

} // namespace

WordInfo lookUp(std::string_view name)
{
    static const Table table = [] {
        Table t;
        destinations(t);
        characters(t);
        paragraphs(t);
        tables(t);
        pictures(t);
        text(t);
        return t;
    }();
    const auto it = table.find(name);
    return it == table.end() ? WordInfo{} : it->second;
}

} // namespace richtext::detail
