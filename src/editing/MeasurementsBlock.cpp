#include "editing/MeasurementsBlock.h"

#include <QTextCursor>
#include <QTextDocument>

namespace {

// Tab stops in pixels at 96 dpi from the paragraph's start. The longest site
// name takes 228 px in Arial at 10 points (less on paper, at 9): values start
// at 2.75", "z =" at 3.58"; the z-scores end at 4.25", right-aligned so that
// their digits stand in one column whatever their sign; a mark just after.
constexpr double kValueStop = 264, kZStop = 344, kZEnd = 408, kMarkStop = 416;
constexpr double kApart = 8; // 6 points

} // namespace

QTextDocumentFragment measurementsFragment(const clinical::ReportBlock& block)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    // Set apart from the text around it by half a line above and below.
    QTextBlockFormat apart;
    apart.setTopMargin(kApart);
    cursor.setBlockFormat(apart);
    cursor.insertText(block.heading);
    QTextBlockFormat columns;
    columns.setTabPositions({QTextOption::Tab(kValueStop, QTextOption::LeftTab),
                             QTextOption::Tab(kZStop, QTextOption::LeftTab),
                             QTextOption::Tab(kZEnd, QTextOption::RightTab),
                             QTextOption::Tab(kMarkStop, QTextOption::LeftTab)});
    for (const QStringList& cells : block.lines) {
        cursor.insertBlock(columns);
        cursor.insertText(cells.join('\t'));
    }
    for (const QString& note : block.notes) {
        cursor.insertBlock(QTextBlockFormat());
        cursor.insertText(note);
    }
    apart = QTextBlockFormat();
    apart.setBottomMargin(kApart);
    cursor.mergeBlockFormat(apart);
    return QTextDocumentFragment(&document);
}
