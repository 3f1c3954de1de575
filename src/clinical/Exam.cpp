#include "clinical/Exam.h"

#include <cmath>

namespace clinical {

namespace {

// Teichholz's LV volume in mL from a dimension in cm.
double teichholzVolume(double cm) { return 7.0 / (2.4 + cm) * cm * cm * cm; }

} // namespace

std::optional<Shortening> shortening(std::optional<double> eddMm, std::optional<double> esdMm)
{
    if (!eddMm || !esdMm || !(*esdMm > 0) || !(*esdMm < *eddMm))
        return std::nullopt;
    const double diastole = teichholzVolume(*eddMm / 10), systole = teichholzVolume(*esdMm / 10);
    return Shortening{(*eddMm - *esdMm) / *eddMm * 100, (diastole - systole) / diastole * 100};
}

Body examBody(std::optional<double> weightGrams, std::optional<double> heightCm, std::optional<int> ageMonths,
              const Values& values)
{
    Body body;
    if (weightGrams && *weightGrams > 0)
        body.weightKg = *weightGrams / 1000;
    if (heightCm && *heightCm > 0)
        body.heightCm = heightCm;
    body.ageMonths = ageMonths;
    if (const auto weeks = values.find(kGestationalAge); weeks != values.end())
        body.weeks = *weeks;
    return body;
}

int Judged::severity() const
{
    if (!z)
        return 0;
    return std::abs(*z) > 3 ? 2 : std::abs(*z) > 2 ? 1 : 0;
}

std::vector<Judged> judgeExam(const Values& values, const Body& body, const Practice& practice)
{
    std::vector<Judged> out;
    out.reserve(sites().size());
    for (const Site& site : sites()) {
        if (site.quantity == Quantity::Weeks)
            continue;
        Judged j{&site, std::nullopt, std::nullopt, {}, std::nullopt};
        if (const auto v = values.find(QLatin1String(site.code)); v != values.end())
            j.value = *v;
        NormalOrWhy n = normalFor(site, body, practice);
        j.normal = std::move(n.normal);
        j.why = std::move(n.why);
        if (j.value && j.normal)
            j.z = j.normal->zOf(*j.value);
        out.push_back(std::move(j));
    }
    return out;
}

} // namespace clinical
