#include "clinical/ReportBlock.h"

#include "clinical/Numbers.h"

#include <map>

namespace clinical {

namespace {

QString bodyText(const Body& body, const Practice& practice)
{
    if (body.fetal())
        return QString::fromUtf8("Idade gestacional %1 semanas").arg(weeksText(*body.weeks));
    if (const std::optional<double> bsa = body.surfaceArea(practice.formula))
        return QString::fromUtf8("Superfície corporal %1 m² (%2)")
            .arg(decimal(*bsa, 2), formulaName(practice.formula));
    return QString::fromUtf8("Superfície corporal: falta o peso ou a altura");
}

// Each reference that gave a z-score, once, with the BSA it used when that is
// not the one of the heading (PHN 2017 always takes Haycock's).
QStringList referencesUsed(const std::vector<Judged>& judged, const Practice& practice)
{
    std::map<Reference, const Normal*> used;
    for (const Judged& j : judged)
        if (j.z)
            used.emplace(j.normal->reference, &*j.normal);
    QStringList names;
    for (const auto& [reference, normal] : used) {
        const bool ownBsa = normal->formula && *normal->formula != practice.formula;
        names << referenceName(reference) + (ownBsa ? " com " + normal->basis() : QString());
    }
    return names;
}

} // namespace

ReportBlock reportBlock(const Values& values, const Body& body, const Practice& practice)
{
    const std::vector<Judged> judged = judgeExam(values, body, practice);
    ReportBlock block;
    block.heading = bodyText(body, practice);
    if (const QStringList references = referencesUsed(judged, practice); !references.isEmpty())
        block.heading += "; z-scores: " + references.join(", ");
    for (const Judged& j : judged) {
        if (!j.value)
            continue;
        QStringList cells{j.site->label(), withUnit(*j.value, *j.site)};
        if (j.z) {
            cells << "z =" << signedDecimal(*j.z);
            if (const QString& outside = j.normal->outside; !outside.isEmpty()) {
                cells << "*";
                if (!block.notes.contains("* " + outside))
                    block.notes << "* " + outside;
            }
        }
        block.lines.push_back(cells);
    }
    return block;
}

} // namespace clinical
