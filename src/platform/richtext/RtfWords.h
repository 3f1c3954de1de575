#pragma once

#include <string_view>

// The control words the RTF reader acts on.
namespace richtext::detail {

enum class Word : unsigned char {
    Unknown,
    // Destinations.
    FontTable, ColorTable, SkipDestination, Picture, PictureShape, ListText,
    // Characters.
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, Font, FontSize, Color,
    Super, Sub, NoSuperSub, Up, Down, Highlight,
    // Paragraphs.
    Pard, AlignLeft, AlignCenter, AlignRight, AlignJustify,
    LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter, LineSpacing, LineMultiple,
    TabStop, TabKind, TabLeader, DefaultTab, PageBreakBefore, Page, ParagraphShading, ListWord,
    ParagraphBorder,
    // Tables.
    InTable, RowDefaults, RowGap, RowLeft, RowAlign, RowHeader, CellRight, Cell, Row,
    CellBorder, BorderStyle, BorderWidth, BorderColour, CellShading, CellMerge, CellAlign,
    // Pictures.
    PictureKind, PictureGoalWidth, PictureGoalHeight, PictureScaleX, PictureScaleY,
    // Text.
    Par, Char, Unicode, UnicodeSkip, Bin, DefaultFont, Red, Green, Blue,
};

struct WordInfo {
    Word word = Word::Unknown;
    // The character a Word::Char stands for, or what sets words of one kind
    // apart: the leader, the border side, the merge or alignment.
    char16_t ch = 0;
};

WordInfo lookUp(std::string_view name);

// The value of a hexadecimal digit (\'hh, picture data), or -1.
constexpr int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace richtext::detail
