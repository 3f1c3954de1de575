#pragma once

#include "platform/richtext/RtfWords.h"

#include <QByteArray>
#include <QString>
#include <QTextCharFormat>

// The {\pict ...} groups of RTF: read into picture objects and written back.
namespace richtext::detail {

// Collects one picture group: its control words and inner groups as
// written, and its data (hexadecimal digits or \bin bytes).
class PictureReader {
public:
    void start();
    // A control word of the picture group, `raw` as written.
    void word(QStringView raw, Word word, bool hasParam, int param);
    void group(QStringView raw) { m_words += raw; }
    void hex(QStringView text);
    void binary(QStringView bytes);
    // The picture's format; `budget` is the picture data the report may
    // still show, and this picture's data counts against it.
    QTextCharFormat finish(qsizetype& budget);

private:
    QString m_words;
    QString m_kind;
    QByteArray m_data;
    int m_nibble = -1;
    int m_goalWidth = 0, m_goalHeight = 0; // twips
    int m_scaleX = 100, m_scaleY = 100;    // per cent
    int m_width = 0, m_height = 0;         // \picw, \pich
};

// Appends RTF kept as it was read to `out`, in 7 bits: characters beyond
// ASCII as \'xx (or \uN? beyond Windows-1252's range), as RTF reads them.
void writeKept(QString& out, QStringView rtf);

// Appends the picture group of `format` to `out`.
void writePicture(QString& out, const QTextFormat& format);

} // namespace richtext::detail
