#pragma once

#include "clinical/Bsa.h"
#include "clinical/Sites.h"

#include <QString>
#include <optional>

// The published references a measurement is judged against, as z-scores:
// how many standard deviations it lies from the mean of healthy children of
// the same size (or fetuses of the same gestational age).
namespace clinical {

enum class Reference {
    Phn2017,       // Lopez et al. 2017 (Pediatric Heart Network), by BSA
    Detroit2008,   // Pettersen et al. 2008, by BSA, measured by M-mode where it applies
    Schneider2005, // Schneider et al. 2005, fetal, by gestational age
};

QString referenceName(Reference reference); // "PHN 2017"
QString referenceKey(Reference reference);  // "phn2017", for the store and the admin tool
std::optional<Reference> referenceFromKey(const QString& key);

// What the practice chose once, kept in the store so that every workstation
// computes the same.
struct Practice {
    BsaFormula formula = BsaFormula::Haycock;
    // Judges the sites that both paediatric references cover (the M-mode
    // columns excepted, which Detroit 2008 judges).
    Reference preferred = Reference::Phn2017;
};

// The body a measurement is judged against.
struct Body {
    std::optional<double> heightCm;
    std::optional<double> weightKg;
    std::optional<double> bsa;   // given as such, instead of from height and weight
    std::optional<double> weeks; // the gestational age: present in a fetal exam
    std::optional<int> ageMonths;

    bool fetal() const { return weeks.has_value(); }
    // By `formula`: the given BSA, else from height and weight, else nothing.
    std::optional<double> surfaceArea(BsaFormula formula) const;
};

// Whether `reference` has values for the site `code`.
bool covers(Reference reference, const QString& code);

// The reference that judges `site` in an exam: in a fetal exam Schneider 2005
// where it has the site (no other reference measured fetuses); otherwise the
// M-mode columns by Detroit 2008, which measured them by M-mode, and every
// other site by the practice's preferred reference, else by the one that has it.
std::optional<Reference> referenceFor(const Site& site, bool fetal, const Practice& practice);

// The distribution of one site's healthy values for one body under one
// reference, in the site's unit.
struct Normal {
    Reference reference;
    double size = 0;                   // the BSA (m²) or the gestational age (weeks) used
    std::optional<BsaFormula> formula; // how that BSA was had (none when given, or fetal)
    QString outside;                   // why the body lies outside the reference's population; empty inside

    // The value at z standard deviations from the mean, and the z of a value.
    double valueAt(double z) const;
    double zOf(double value) const;
    double predicted() const { return valueAt(0); }
    // What the z-score was computed from: "SC 0,52 m² (Haycock)", "IG 36+6".
    QString basis() const;

    // Either value = (centre + z * spread) / perUnit, or, on a log scale,
    // value = exp(centre + z * spread) / perUnit (perUnit: the model's units
    // in one of the site's, 0.1 for a model in cm and a site in mm).
    bool logScale = false;
    double centre = 0, spread = 1, perUnit = 1;
};

struct NormalOrWhy {
    std::optional<Normal> normal;
    QString why; // in Portuguese, when there is no normal
};

// Why `body`, whose surface area is `bsa`, is no person's (a weight typed in
// kilograms where grams go, a digit too many or too few), or nothing. No normal is
// worked out for such a body: the equations would give any figure at all.
QString impossibleBody(const Body& body, double bsa);

// The normal of `site` for `body` under `reference`; or why there is none:
// the reference lacks the site, the BSA or the gestational age is missing,
// the body is impossible.
// BSA for PHN 2017 is Haycock's, as the paper computed it; for Detroit 2008 the
// practice's formula, the paper's own being uncertain.
NormalOrWhy normalFor(Reference reference, const Site& site, const Body& body, const Practice& practice);
// The same under the reference that judges the site in the exam (referenceFor).
NormalOrWhy normalFor(const Site& site, const Body& body, const Practice& practice);

// Above this BSA the Detroit 2008 curves stop describing children: see References.cpp.
inline constexpr double kDetroitMostBsa = 1.5;

} // namespace clinical
