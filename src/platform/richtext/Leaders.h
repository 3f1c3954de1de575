#pragma once

#include <QString>

#include <vector>

class QFontMetricsF;
class QTextBlock;
class QTextLine;

// Tab leaders: the dots (or hyphens, a line, equal signs) that fill the gap a
// tab leaves before the text it moves on to, as the tab stop the tab reaches
// asks. The editor and the printed report draw them from the same places.
namespace richtext {

struct Leader {
    char16_t kind = 0; // 'd' dots, 'h' hyphens, 'u' line, 't' thick line, 'e' equal signs
    int position = 0;  // the tab's place in the block's text
    double from = 0;   // where the gap starts and ends, in the layout's x
    double to = 0;
};

// The leaders of `line` of the laid-out `block`; `dpiScale` is the layout
// device's dots per inch over 96, by which the layout scales tab stops.
std::vector<Leader> leadersOf(const QTextBlock& block, const QTextLine& line, double dpiScale);

// The marks of a dotted, hyphenated or equal-sign leader in `metrics`' font
// and where they start (the layout's x): they end a mark short of the text
// the tab leads to. None for the lines, which are drawn as rules.
struct LeaderMarks {
    QString text;
    double x = 0;
};
LeaderMarks leaderMarks(const Leader& leader, const QFontMetricsF& metrics);

} // namespace richtext
