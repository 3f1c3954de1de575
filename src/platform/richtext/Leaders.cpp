#include "platform/richtext/Leaders.h"

#include "platform/richtext/Formats.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextLayout>

namespace richtext {

std::vector<Leader> leadersOf(const QTextBlock& block, const QTextLine& line, double dpiScale)
{
    std::vector<Leader> out;
    const QString kinds = block.blockFormat().stringProperty(TabLeaders);
    const QTextLayout* layout = block.layout();
    if (kinds.trimmed().isEmpty() || !layout || layout->lineCount() == 0)
        return out;
    const QList<QTextOption::Tab> stops = block.blockFormat().tabPositions();
    const QString text = block.text();
    // Stops count from where the paragraph's first line starts; a tab goes
    // to the first stop beyond where it stands, as the layout chose it.
    const double start = layout->lineAt(0).x();
    const int end = line.textStart() + line.textLength();
    for (int i = line.textStart(); i < end && i < text.size(); ++i) {
        if (text[i] != u'\t')
            continue;
        const double from = line.cursorToX(i), to = line.cursorToX(i + 1);
        for (qsizetype k = 0; k < stops.size(); ++k) {
            if (stops[k].position * dpiScale <= from - start + 0.01)
                continue;
            const char16_t kind = k < kinds.size() ? kinds[k].unicode() : u' ';
            if (QStringView(u"dhute").contains(QChar(kind)) && to > from)
                out.push_back({kind, i, from, to});
            break;
        }
    }
    return out;
}

LeaderMarks leaderMarks(const Leader& leader, const QFontMetricsF& metrics)
{
    const char16_t kind = leader.kind;
    const QChar mark = kind == u'd' ? u'.' : kind == u'h' ? u'-' : kind == u'e' ? u'=' : QChar();
    const double advance = mark.isNull() ? 0 : metrics.horizontalAdvance(mark);
    // A mark's width of air at each end keeps the leader off the words.
    const int count = advance > 0 ? int((leader.to - leader.from) / advance) - 2 : 0;
    if (count <= 0)
        return {};
    const QString text(count, mark);
    return {text, leader.to - metrics.horizontalAdvance(text) - advance};
}

} // namespace richtext
