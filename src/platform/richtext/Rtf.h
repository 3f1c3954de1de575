#pragma once

#include <QString>

class QTextDocument;

// Reports are stored as RTF in a text column and edited in a QTextDocument.
// The reader accepts what this writer produces and what the usual word
// processors and the Windows rich-edit control write for the same features
// (character formatting, fonts, colours, paragraphs and their alignment).
namespace richtext {

// The most a stored text may make a document hold. No report comes near;
// a damaged or hostile one loads up to here and the rest is dropped, so
// that opening it costs bounded time and memory.
inline constexpr int kMaxParagraphs = 200'000;
inline constexpr qsizetype kMaxCharacters = 16'000'000;

// True when `text` starts (after optional whitespace) with "{\rtf".
bool isRtf(const QString& text);

// Replaces the content of `doc` with the stored text. RTF is parsed; any
// other text is loaded as plain text in the document's default font; an
// empty text gives an empty document. Damaged RTF loads whatever can be read,
// and no text loads beyond the limits above.
// Each character of `text` stands for one byte of the RTF stream.
void load(QTextDocument* doc, const QString& text);

// The whole document as 7-bit RTF. Characters outside ASCII are written as
// \'xx (Windows-1252) when possible, otherwise as \uN?.
QString save(const QTextDocument* doc);

} // namespace richtext
