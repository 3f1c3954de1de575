#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QTextCharFormat>

class QTextCursor;
class QTextDocument;

// Pictures in a report: PNG and JPEG pictures are shown and printed at the
// size the report gives them; a picture of another kind, or one beyond the
// limits below, is kept as it was stored and shown as a framed box of its
// size.
namespace richtext {

// The most picture data one report shows; pictures beyond are kept and
// shown as boxes, as are pictures that would decode to more pixels.
inline constexpr qsizetype kMaxPictureBytes = 10 * 1024 * 1024;
inline constexpr int kMaxPictureSide = 20000;

// The format of a picture object: `data` as stored, of `kind` ("pngblip",
// "jpegblip", "wmetafile8", ...), written back with the control words
// `words`, shown `sizePx` large (pixels at 96 dpi).
QTextCharFormat pictureFormat(const QByteArray& data, const QString& kind, const QString& words,
                              const QSizeF& sizePx, bool shown = true);

bool isPicture(const QTextFormat& format);
QSizeF pictureSize(const QTextFormat& format);
// The picture's bytes when it can be drawn (PNG or JPEG within the limits);
// empty otherwise.
QByteArray drawablePicture(const QTextFormat& format);
// The picture decoded, at most `maxSize` large when that is given; a null
// image when it cannot be drawn.
QImage decodePicture(const QByteArray& data, const QSize& maxSize = {});

// Lets `doc` lay out and draw the pictures it holds (any document that shows
// or prints pictures needs it; loading a report calls it).
void enablePictures(QTextDocument* doc);

// Inserts a PNG or JPEG file at the cursor, scaled down to at most
// `maxWidthPx` wide. False, with the reason in `*error` (Portuguese), when
// the file cannot be read or is not such a picture.
bool insertPictureFile(QTextCursor& cursor, const QString& fileName, double maxWidthPx, QString* error);

} // namespace richtext
