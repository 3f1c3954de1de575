#pragma once

#include <QTextFormat>

// What a report's RTF holds that QTextDocument does not model itself rides
// on the document's formats as properties of our own, so that it survives
// editing elsewhere in the report and the writer gives it back unchanged.
// Lengths in the document are pixels at 96 dots per inch (a twip is 1/15).
namespace richtext {

enum Property : int {
    // Block formats.
    // QStringList: the {\*\...} groups of the paragraph the reader did not
    // understand, each as it was written.
    KeptGroups = QTextFormat::UserProperty + 0x100,
    // QString: one leader per tab stop of the block, in order: 'd' dots,
    // 'h' hyphens, 'u' underline, 't' thick line, 'e' equal signs, ' ' none;
    // 'i' marks the stop a hanging first line has where the others start.
    TabLeaders,
    // QString: the paragraph's list words (\ls, \ilvl) as written.
    ListWords,

    // Character formats.
    // bool: the bullet or number before a list paragraph's text (\pntext,
    // \listtext), which the writer puts back in its group.
    ListText,
    // int: the text raised (positive) or lowered by this many half-points
    // (\up, \dn).
    Raise,

    // Picture objects (kPictureObject).
    PictureData,  // QByteArray: the picture's bytes as stored
    PictureWords, // QString: the picture's control words and groups as written
    PictureKind,  // QString: its kind ("pngblip", "jpegblip", "wmetafile8", ...)
    PictureHidden, // bool: beyond the data a report shows, kept but not drawn

    // Table formats. int: the rows' \trleft in twips (the left margin
    // shows only what is not negative of it).
    TableLeft,

    // The root frame's format: the {\*\...} groups before the first paragraph
    // (list tables and the like), each as written.
    DocumentGroups,
};

// The object type of a picture in the text: an object replacement character
// whose format carries the Picture* properties and its size (ImageWidth,
// ImageHeight, in pixels at 96 dpi).
inline constexpr int kPictureObject = QTextFormat::UserObject + 0x100;

// One twip in document pixels.
inline constexpr double kPixelsPerTwip = 96.0 / 1440.0;

} // namespace richtext
