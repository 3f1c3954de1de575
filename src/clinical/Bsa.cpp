#include "clinical/Bsa.h"

#include <cmath>

namespace clinical {

double bodySurfaceArea(BsaFormula formula, double heightCm, double weightKg)
{
    switch (formula) {
    case BsaFormula::Haycock: // Haycock et al., J Pediatr 1978
        return 0.024265 * std::pow(heightCm, 0.3964) * std::pow(weightKg, 0.5378);
    case BsaFormula::DuBois: // DuBois and DuBois, Arch Intern Med 1916
        return 0.007184 * std::pow(heightCm, 0.725) * std::pow(weightKg, 0.425);
    case BsaFormula::Mosteller: // Mosteller, N Engl J Med 1987
        return std::sqrt(heightCm * weightKg / 3600.0);
    }
    return 0;
}

QString formulaName(BsaFormula formula)
{
    switch (formula) {
    case BsaFormula::Haycock: return "Haycock";
    case BsaFormula::DuBois: return "DuBois";
    case BsaFormula::Mosteller: return "Mosteller";
    }
    return {};
}

QString formulaKey(BsaFormula formula) { return formulaName(formula).toLower(); }

std::optional<BsaFormula> formulaFromKey(const QString& key)
{
    for (BsaFormula f : {BsaFormula::Haycock, BsaFormula::DuBois, BsaFormula::Mosteller})
        if (key.compare(formulaKey(f), Qt::CaseInsensitive) == 0)
            return f;
    return std::nullopt;
}

} // namespace clinical
