#include "platform/richtext/Rtf.h"

#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QTextDocument>

namespace richtext {

bool isRtf(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i].isSpace() || text[i] == QChar::ByteOrderMark))
        ++i;
    return QStringView(text).sliced(i).startsWith(u"{\\rtf");
}

void load(QTextDocument* doc, const QString& text)
{
    if (!doc)
        return;
    // Loading is not an edit the user could undo; recording it would also
    // double the cost of a long report.
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    if (isRtf(text)) {
        doc->clear();
        detail::readRtf(doc, text);
    } else {
        doc->setPlainText(text);
    }
    doc->setUndoRedoEnabled(undo);
}

QString save(const QTextDocument* doc)
{
    if (!doc)
        return {};
    return detail::writeRtf(doc);
}

} // namespace richtext
