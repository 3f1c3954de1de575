#include "platform/richtext/Rtf.h"

#include "platform/richtext/Formats.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QTextDocument>

#include <algorithm>

namespace richtext {

namespace {

// The start of a plain text that stays within the limits of a document,
// breaking lines where QTextDocument does.
QString withinLimits(const QString& text)
{
    const QStringView t = QStringView(text).first(std::min(text.size(), kMaxCharacters));
    int paragraphs = 1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c != '\n' && c != '\r' && c != QChar::ParagraphSeparator && c != 0xFDD0 && c != 0xFDD1)
            continue;
        if (++paragraphs > kMaxParagraphs)
            return t.first(i).toString();
        if (c == '\r' && i + 1 < t.size() && t[i + 1] == u'\n')
            ++i; // one line break
    }
    return t.size() == text.size() ? text : t.toString();
}

} // namespace

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
        doc->setPlainText(withinLimits(text));
        // Tab stops every 12.7 mm, as in a report that gives none.
        QTextOption option = doc->defaultTextOption();
        option.setTabStopDistance(720 * kPixelsPerTwip);
        doc->setDefaultTextOption(option);
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
