#pragma once

#include "editing/MeasurementsPage.h"

#include <QAbstractItemModel>
#include <QTableView>

// The row of the page "Medições" that shows the site `code`, and the text of
// one of its cells as the grid shows it.
inline int gridRow(const MeasurementsPage* page, const char* code)
{
    const auto& rows = page->judged();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].site->code == QLatin1String(code))
            return int(i);
    qFatal("no row %s", code);
}

inline QString gridCell(const MeasurementsPage* page, const char* code, int column)
{
    return page->GridMedicoes->model()->index(gridRow(page, code), column).data().toString();
}
