#pragma once

#include <QColor>
#include <QList>
#include <QTextCursor>

#include <vector>

class QTextTable;

// Rows and cells of RTF tables (\trowd ... \cell ... \row) built into
// QTextTables while the reader goes through the text.
namespace richtext::detail {

// A table holds at most this many columns (Word's own limit), rows and
// cells; cells beyond take their text into the row's last cell, rows beyond
// start a table of their own below. Adding a row costs the layout time in
// proportion to the table's cells, so this bounds the cost of a hostile
// table; a report's tables hold a few dozen cells.
inline constexpr int kMaxTableColumns = 63;
inline constexpr int kMaxTableRows = 500;
inline constexpr int kMaxTableCells = 4000;

struct BorderDef {
    char style = 0; // 's' a line, 'n' none, 0 not given
    int width = 0;  // twips
    int colour = -1;
};

// One \cellx and the cell properties before it.
struct CellDef {
    int right = 0; // twips from the row's origin
    BorderDef borders[4]; // top, left, bottom, right
    int shading = -1;
    char merge = 0; // 'f' first of merged, 'm' merged into the left, 'F'/'M' the same downwards
    char align = 0; // 't', 'c', 'b'
};

struct RowDef {
    QList<CellDef> cells;
    CellDef next;  // the cell being defined
    int side = -1; // the border \brdr* words describe: 0-3, or -1 for none
    int gap = 108; // \trgaph, twips
    int left = 0;  // \trleft
    char align = 0;
    bool header = false;
};

class TableBuilder {
public:
    TableBuilder(QTextCursor& cursor, const QList<QColor>& colours) : m_cursor(cursor), m_colours(colours) {}

    bool open() const { return m_table != nullptr; }
    // True when the text of a table paragraph goes into a cell not yet entered.
    bool needsCell() const { return !m_table || m_cellDone || m_rowDone; }
    // Starts the table, its next row or next cell, and puts the cursor at
    // its end; true when the cell holds nothing yet.
    bool enterCell(const RowDef& row);
    void endCell() { m_cellDone = true; }
    // Gives the row just ended its cells' widths, borders, shading and merges.
    void endRow(const RowDef& row);
    // Merges the cells the rows asked for and puts the cursor after the table.
    void close();

private:
    QTextTable* start(const RowDef& row);
    QColor colour(int index) const;

    QTextCursor& m_cursor;
    const QList<QColor>& m_colours;
    QTextTable* m_table = nullptr;
    int m_row = 0;
    int m_column = 0;
    bool m_cellDone = false;
    bool m_rowDone = false;
    bool m_widthsSet = false;
    std::vector<QByteArray> m_merges; // per row, per column: CellDef::merge
};

} // namespace richtext::detail
