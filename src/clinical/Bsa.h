#pragma once

#include <QString>
#include <optional>

// Body surface area from height and weight, by the three formulas a practice
// may choose.
namespace clinical {

enum class BsaFormula { Haycock, DuBois, Mosteller };

// Height in cm, weight in kg, result in m².
double bodySurfaceArea(BsaFormula formula, double heightCm, double weightKg);

// "Haycock", "DuBois", "Mosteller": how the formula is named beside a value.
QString formulaName(BsaFormula formula);
// "haycock", "dubois", "mosteller": how the store and the admin tool spell it.
QString formulaKey(BsaFormula formula);
std::optional<BsaFormula> formulaFromKey(const QString& key);

} // namespace clinical
