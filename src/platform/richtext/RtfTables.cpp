#include "platform/richtext/RtfTables.h"

#include "platform/richtext/Formats.h"
#include "platform/richtext/RtfState.h"

#include <QTextTable>

#include <algorithm>

namespace richtext::detail {

namespace {

// A column's width: at least a twip, at most what a page could hold.
QTextLength fixed(int twips)
{
    return QTextLength(QTextLength::FixedLength, std::clamp(twips, 1, kMaxTwips) * kPixelsPerTwip);
}

// How far a merge of `cells` reaches from (row, column): `kind` continues it.
int span(const std::vector<QByteArray>& merges, int row, int column, char kind, bool down)
{
    int n = 1;
    for (;;) {
        const int r = down ? row + n : row;
        const int c = down ? column : column + n;
        if (r >= int(merges.size()) || c >= merges[r].size() || merges[r][c] != kind)
            return n;
        ++n;
    }
}

} // namespace

QColor TableBuilder::colour(int index) const
{
    return index >= 0 && index < m_colours.size() ? m_colours[index] : QColor();
}

QTextTable* TableBuilder::start(const RowDef& row)
{
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    if (row.left != 0)
        format.setProperty(TableLeft, row.left);
    if (row.left > 0)
        format.setLeftMargin(row.left * kPixelsPerTwip);
    if (row.align == 'c')
        format.setAlignment(Qt::AlignHCenter);
    else if (row.align == 'r')
        format.setAlignment(Qt::AlignRight);
    const int columns = std::clamp(int(row.cells.size()), 1, kMaxTableColumns);
    m_row = 0;
    m_column = 0;
    m_widthsSet = false;
    m_merges.clear();
    return m_cursor.insertTable(1, columns, format);
}

bool TableBuilder::enterCell(const RowDef& row)
{
    if (!m_table) {
        m_table = start(row);
    } else if (m_rowDone) {
        if (m_row + 1 >= kMaxTableRows || (m_row + 2) * m_table->columns() > kMaxTableCells) {
            close();
            m_table = start(row);
        } else {
            m_table->appendRows(1);
            ++m_row;
            m_column = 0;
        }
    } else if (m_cellDone) {
        ++m_column;
    }
    m_cellDone = m_rowDone = false;
    if (m_column >= m_table->columns()) {
        if (m_table->columns() < kMaxTableColumns)
            m_table->appendColumns(1);
        else
            m_column = m_table->columns() - 1;
    }
    const QTextTableCell cell = m_table->cellAt(m_row, m_column);
    m_cursor = cell.lastCursorPosition();
    return cell.firstPosition() == cell.lastPosition();
}

void TableBuilder::endRow(const RowDef& row)
{
    if (!m_table)
        return;
    m_rowDone = true;
    m_cellDone = false;
    const int count = std::min(int(row.cells.size()), kMaxTableColumns);
    if (count > m_table->columns())
        m_table->appendColumns(count - m_table->columns());
    QByteArray merges(m_table->columns(), 0);
    int previous = row.left;
    QList<QTextLength> widths;
    for (int i = 0; i < count; ++i) {
        const CellDef& def = row.cells[i];
        widths.append(fixed(def.right - previous));
        previous = def.right;
        merges[i] = def.merge;
        // A cell's format is also the character format of its first
        // paragraph, which the reader has set: the cell's properties join it.
        QTextTableCell cell = m_table->cellAt(m_row, i);
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        const double gap = std::max(row.gap, 0) * kPixelsPerTwip;
        format.setLeftPadding(gap);
        format.setRightPadding(gap);
        format.setTopPadding(0);
        format.setBottomPadding(0);
        for (int side = 0; side < 4; ++side) {
            const BorderDef& b = def.borders[side];
            if (b.style != 's')
                continue;
            const double width = std::max(b.width, 1) * kPixelsPerTwip;
            const QColor c = colour(b.colour).isValid() ? colour(b.colour) : QColor(Qt::black);
            switch (side) {
            case 0: format.setTopBorder(width), format.setTopBorderBrush(c), format.setTopBorderStyle(QTextFrameFormat::BorderStyle_Solid); break;
            case 1: format.setLeftBorder(width), format.setLeftBorderBrush(c), format.setLeftBorderStyle(QTextFrameFormat::BorderStyle_Solid); break;
            case 2: format.setBottomBorder(width), format.setBottomBorderBrush(c), format.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid); break;
            case 3: format.setRightBorder(width), format.setRightBorderBrush(c), format.setRightBorderStyle(QTextFrameFormat::BorderStyle_Solid); break;
            }
        }
        if (colour(def.shading).isValid())
            format.setBackground(colour(def.shading));
        if (def.align == 'c')
            format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        else if (def.align == 'b')
            format.setVerticalAlignment(QTextCharFormat::AlignBottom);
        cell.setFormat(format);
    }
    if (m_row >= int(m_merges.size()))
        m_merges.resize(m_row + 1);
    m_merges[m_row] = merges;
    QTextTableFormat format = m_table->format();
    if (!m_widthsSet && count > 0) {
        while (widths.size() < m_table->columns())
            widths.append(widths.back());
        format.setColumnWidthConstraints(widths);
        m_widthsSet = true;
    }
    if (row.header && m_row == format.headerRowCount())
        format.setHeaderRowCount(m_row + 1);
    m_table->setFormat(format);
}

void TableBuilder::close()
{
    if (!m_table)
        return;
    for (int r = 0; r < int(m_merges.size()); ++r) {
        for (int c = 0; c < m_merges[r].size(); ++c) {
            const char m = m_merges[r][c];
            if (m != 'f' && m != 'F')
                continue;
            const int rows = m == 'F' ? span(m_merges, r, c, 'M', true) : 1;
            const int columns = m == 'f' ? span(m_merges, r, c, 'm', false) : 1;
            if (rows > 1 || columns > 1)
                m_table->mergeCells(r, c, rows, columns);
        }
    }
    m_cursor.movePosition(QTextCursor::End);
    m_table = nullptr;
    m_cellDone = m_rowDone = false;
}

} // namespace richtext::detail
