#pragma once

#include "clinical/References.h"

#include <QHash>
#include <optional>
#include <vector>

// An exam's measurements judged together: what the measurements page, the
// admin tool and the report's measurement block show.
namespace clinical {

// Site code -> value in the site's unit.
using Values = QHash<QString, double>;

// Fractional shortening and ejection fraction (Teichholz) from the LV end-
// diastolic and end-systolic dimensions in mm, in %; nothing when either is
// missing or the systolic one is not the smaller.
struct Shortening {
    double fractional;
    double ejection;
};
std::optional<Shortening> shortening(std::optional<double> eddMm, std::optional<double> esdMm);

// The body of an exam: its weight in grams and height in cm as the exam table
// keeps them, its age in months, and the gestational age among its values.
Body examBody(std::optional<double> weightGrams, std::optional<double> heightCm, std::optional<int> ageMonths,
              const Values& values);

// One site of an exam, judged against its reference.
struct Judged {
    const Site* site;
    std::optional<double> value;
    std::optional<Normal> normal; // the reference's values for this body, with or without a value
    QString why;                  // when there is no normal
    std::optional<double> z;      // with a value and a normal

    // |z| above 3 is 2, above 2 is 1, else 0.
    int severity() const;
};

// Every site but the gestational age, in the page's order.
std::vector<Judged> judgeExam(const Values& values, const Body& body, const Practice& practice);

} // namespace clinical
