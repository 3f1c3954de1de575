#pragma once

#include "clinical/Exam.h"

#include <QStringList>
#include <vector>

// An exam's measurements as the report writes them: a heading with what the
// z-scores were computed from, then one line per measured site. The text
// only; the editor sets each line's cells on tab stops.
namespace clinical {

struct ReportBlock {
    // "Superfície corporal 0,78 m² (Haycock); z-scores: PHN 2017, Detroit 2008",
    // or "Idade gestacional 36+6 semanas; z-scores: Schneider 2005".
    QString heading;
    // The measured sites in the page's order, each as its cells: the name and
    // the value with its unit ("Anel aórtico", "14,5 mm"), then, where the site
    // has a normal, "z =" and the signed z-score ("+1,13"), and "*" when the
    // body lies outside the reference's population.
    std::vector<QStringList> lines;
    QStringList notes; // why the marked z-scores lie outside, each once
};

// Nothing but a heading when no site is measured.
ReportBlock reportBlock(const Values& values, const Body& body, const Practice& practice);

} // namespace clinical
