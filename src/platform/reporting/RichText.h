#pragma once

#include "platform/reporting/Page.h"

#include <vector>

class QTextDocument;

namespace reporting {

// Text is measured at 1200 dots per inch with the faces' design metrics, so
// that what fits on paper does not depend on the screen or the printer.
inline constexpr double kLayoutDpi = 1200;
inline constexpr double kUnitsPerMm = kLayoutDpi / 25.4;

QPaintDevice* layoutDevice();

// One line of laid-out rich text, or a table's row (with the rows its cells
// join) that pages keep whole: its top and bottom from the top of the text,
// and its marks placed from the text's top-left corner.
struct RichLine {
    double top = 0;
    double bottom = 0;
    std::vector<PageItem> items;
    bool breakBefore = false; // a page starts here
    // In a row: where it may be cut to go on over the next page (from the
    // top of the text, in order), between lines of text of all its cells.
    std::vector<double> cuts;
};

// Lays `document` out `widthMm` wide, in lines in the order they print.
// The document is the printed report's own: the first call readies it for
// print (its indents scaled to the layout's resolution, no margin), so it is
// not one an editor shows. Copying a long report would cost more than laying
// it out.
std::vector<RichLine> layRichText(QTextDocument& document, double widthMm);

} // namespace reporting
