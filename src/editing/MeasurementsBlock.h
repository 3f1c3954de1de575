#pragma once

#include "clinical/ReportBlock.h"

#include <QTextDocumentFragment>

// The measurements block as rich text for the report: the heading on a line
// of its own, then one paragraph per site with the value and the z-score on
// tab stops, so that they stand in columns in the editor, on paper and in a
// word processor (the saved report keeps the stops).
QTextDocumentFragment measurementsFragment(const clinical::ReportBlock& block);
