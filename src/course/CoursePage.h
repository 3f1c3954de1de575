#pragma once

#include "data/PatientCourse.h"
#include "platform/reporting/Page.h"

// The course printed on one A4 page: the measurement, the patient's name and
// birth date, the figure, and what the z-scores were computed with.
namespace coursepage {

std::vector<reporting::Page> compose(const course::PatientHistory& history, const course::Course& course);
// "Evolução: Raiz da aorta (seios de Valsalva) — ANA SILVA": names the print job and the PDF.
QString title(const course::PatientHistory& history, const course::Course& course);

} // namespace coursepage
