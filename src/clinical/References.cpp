#include "clinical/References.h"

#include "clinical/Numbers.h"

#include <cmath>

namespace clinical {

namespace {

// --- PHN 2017 -----------------------------------------------------------------
// Lopez L et al., Circ Cardiovasc Imaging 2017;10:e006979, Table 2.
// z = (X / BSA^alpha - mean) / sd, BSA by Haycock; X in cm, except the
// coronary arteries (mm), the LV volume (mL) and the LV mass (g).
struct PhnRow {
    const char* code;
    double alpha, mean, sd;
    double perUnit; // the model's units in one of the site's
};
constexpr double kCm = 0.1, kSame = 1.0;
const PhnRow kPhn2017[] = {
    {"anel_m_ap", 0.5, 2.31, 0.24, kCm},  // mitral valve, antero-posterior (parasternal long axis)
    {"anel_m", 0.5, 2.23, 0.22, kCm},     // mitral valve, lateral (4-chamber)
    {"anel_t_ap", 0.5, 2.36, 0.28, kCm},  // tricuspid valve, antero-posterior
    {"anel_t", 0.5, 2.36, 0.29, kCm},     // tricuspid valve, lateral (4-chamber)
    {"anel_ao", 0.5, 1.48, 0.14, kCm},    // aortic valve annulus
    {"ao", 0.5, 2.06, 0.18, kCm},         // aortic root (sinuses)
    {"jst", 0.5, 1.69, 0.16, kCm},        // sinotubular junction
    {"ao_asc", 0.5, 1.79, 0.18, kCm},     // ascending aorta
    {"arco_prox", 0.5, 1.53, 0.23, kCm},  // proximal transverse arch
    {"arco_dist", 0.5, 1.36, 0.19, kCm},  // distal transverse arch
    {"istmo", 0.5, 1.25, 0.18, kCm},      // isthmus
    {"anel_p", 0.5, 1.91, 0.24, kCm},     // pulmonary valve, short axis
    {"anel_p_el", 0.5, 2.01, 0.28, kCm},  // pulmonary valve, long axis
    {"tp", 0.5, 1.82, 0.24, kCm},         // main pulmonary artery
    {"apd", 0.5, 1.07, 0.18, kCm},        // right pulmonary artery
    {"ape", 0.5, 1.10, 0.18, kCm},        // left pulmonary artery
    {"tce", 0.45, 2.95, 0.57, kSame},     // left main coronary artery, mm
    {"da", 0.45, 1.90, 0.34, kSame},      // left anterior descending, mm
    {"cd", 0.45, 2.32, 0.55, kSame},      // right coronary artery, mm
    {"ved", 0.45, 3.89, 0.33, kCm},       // LV end-diastolic dimension (short axis)
    {"pp", 0.40, 0.57, 0.09, kCm},        // LV posterior wall, diastole (short axis)
    {"siv", 0.40, 0.58, 0.09, kCm},       // LV septum, diastole (short axis)
    {"vdf_ve", 1.30, 62.02, 11.94, kSame}, // LV end-diastolic volume, endocardial, mL
    {"massa_ve", 1.25, 53.02, 9.06, kSame}, // LV mass, 2D, g
};
// The paper's population: height 43-207 cm, weight 2.0-123 kg, up to 18 years.
constexpr double kPhnHeight[2] = {43, 207}, kPhnWeight[2] = {2.0, 123};
constexpr int kPhnMostMonths = 18 * 12;

// --- Detroit 2008 -------------------------------------------------------------
// Pettersen MD et al., J Am Soc Echocardiogr 2008;21:922-934.
// ln(y) = a + b1 BSA + b2 BSA² + b3 BSA³, y in cm; z = (ln X - ln y) / sqrt(MSE).
struct DetroitRow {
    const char* code;
    double a, b1, b2, b3, mse;
};
const DetroitRow kDetroit2008[] = {
    {"vd", -0.317, 1.850, -1.274, 0.335, 0.058},        // RV end-diastolic dimension (M-mode)
    {"siv", -1.242, 1.272, -0.762, 0.208, 0.046},       // IVS, diastole
    {"sivs", -1.048, 1.751, -1.177, 0.318, 0.034},      // IVS, systole
    {"ved", 0.105, 2.859, -2.119, 0.552, 0.010},        // LV end-diastolic dimension
    {"ves", -0.371, 2.833, -2.081, 0.538, 0.016},       // LV end-systolic dimension
    {"pp", -1.586, 1.849, -1.188, 0.313, 0.037},        // LV posterior wall, diastole
    {"pps", -0.947, 1.907, -1.259, 0.330, 0.023},       // LV posterior wall, systole
    {"anel_ao", -0.874, 2.708, -1.841, 0.452, 0.010},   // aortic valve annulus
    {"ao", -0.500, 2.537, -1.707, 0.420, 0.012},        // sinuses of Valsalva
    {"jst", -0.759, 2.643, -1.797, 0.442, 0.018},       // sinotubular junction
    {"arco_prox", -0.790, 3.020, -2.484, 0.712, 0.023}, // transverse (proximal) arch
    {"istmo", -1.072, 2.539, -1.627, 0.368, 0.027},     // isthmus
    {"arco_dist", -0.976, 2.469, -1.746, 0.445, 0.026}, // distal arch
    {"ao_abd", -0.922, 2.100, -1.411, 0.371, 0.018},    // abdominal aorta, at the diaphragm
    {"anel_p", -0.761, 2.774, -1.808, 0.436, 0.023},    // pulmonary valve annulus
    {"tp", -0.707, 2.746, -1.807, 0.424, 0.024},        // main pulmonary artery
    {"apd", -1.360, 3.394, -2.508, 0.660, 0.027},       // right pulmonary artery
    {"ape", -1.348, 2.884, -1.954, 0.466, 0.028},       // left pulmonary artery
    {"anel_m", -0.271, 2.446, -1.700, 0.425, 0.022},    // mitral valve annulus
    {"anel_t", -0.164, 2.341, -1.596, 0.387, 0.036},    // tricuspid valve annulus
    {"ae", -0.208, 2.164, -1.597, 0.429, 0.020},        // left atrium (one copy of the table has MSE 0.023)
};
// kDetroitMostBsa: every one of these cubics turns upward again between 1.16
// and 1.47 m² (where its slope is least) and from there grows faster than
// children's hearts do: the LV end-diastolic dimension predicted at 2.0 m² is
// 58 mm, a dilated adult ventricle. Beyond 1.5 m², just past the last of those
// turns, a z-score is marked as outside the population.

// --- Schneider 2005 -----------------------------------------------------------
// Schneider C et al., Ultrasound Obstet Gynecol 2005;26:599-605, by
// gestational age. ln(y) = a + b ln(weeks), y in cm; z = (ln X - ln y) / RMSE.
struct SchneiderRow {
    const char* code;
    double a, b, rmse;
};
const SchneiderRow kSchneider2005[] = {
    {"anel_ao", -5.019, 1.263, 0.1282}, // aortic valve
    {"anel_p", -5.114, 1.352, 0.1208},  // pulmonary valve
    {"anel_m", -4.084, 1.173, 0.1315},  // mitral valve
    {"anel_t", -4.766, 1.395, 0.1394},  // tricuspid valve
    {"ao_asc", -4.886, 1.261, 0.1330},  // ascending aorta
    {"ao_desc", -5.365, 1.360, 0.1216}, // descending aorta
    {"tp", -5.025, 1.347, 0.1570},      // main pulmonary artery
    {"apd", -5.307, 1.230, 0.1802},     // right pulmonary artery
    {"ape", -5.390, 1.231, 0.1966},     // left pulmonary artery
    {"ved", -4.292, 1.298, 0.1560},     // LV end-diastolic dimension
    {"vd", -4.455, 1.363, 0.1442},      // RV end-diastolic dimension
    {"comp_ve", -3.231, 1.193, 0.1376}, // LV length
    {"comp_vd", -3.566, 1.277, 0.1658}, // RV length
    {"canal", -4.440, 1.013, 0.1913},   // ductus arteriosus (sagittal)
};

template <typename Row, size_t N>
const Row* rowOf(const Row (&table)[N], const QString& code)
{
    for (const Row& row : table)
        if (code == QLatin1String(row.code))
            return &row;
    return nullptr;
}

QString range(const double (&bounds)[2], const char* unit)
{
    return QString("%1-%2 %3").arg(shortDecimal(bounds[0]), shortDecimal(bounds[1]), unit);
}

// Why a body lies outside the PHN 2017 population, or nothing.
QString outsidePhn(const Body& body)
{
    QStringList why;
    if (body.heightCm && (*body.heightCm < kPhnHeight[0] || *body.heightCm > kPhnHeight[1]))
        why << QString("altura %1 cm fora de %2").arg(shortDecimal(*body.heightCm), range(kPhnHeight, "cm"));
    if (body.weightKg && (*body.weightKg < kPhnWeight[0] || *body.weightKg > kPhnWeight[1]))
        why << QString("peso %1 kg fora de %2").arg(shortDecimal(*body.weightKg), range(kPhnWeight, "kg"));
    if (body.ageMonths && *body.ageMonths > kPhnMostMonths)
        why << QString::fromUtf8("idade acima dos 18 anos");
    if (why.isEmpty())
        return {};
    return QString::fromUtf8("Fora da população do PHN 2017: ") + why.join("; ") + ".";
}

QString missingBsa()
{
    return QString::fromUtf8("Sem peso e altura (ou a superfície corporal) não há valor de referência.");
}

} // namespace

QString impossibleBody(const Body& body, double bsa)
{
    // Far beyond the tallest and heaviest people measured, and below the
    // smallest babies born alive (some 300 g and 25 cm at 22 weeks).
    constexpr double kHeightCm[] = {15, 250}, kWeightKg[] = {0.2, 300}, kMostBsa = 3.5;
    QStringList what;
    if (body.heightCm && (*body.heightCm < kHeightCm[0] || *body.heightCm > kHeightCm[1]))
        what << QString("altura %1 cm").arg(shortDecimal(*body.heightCm));
    if (body.weightKg && (*body.weightKg < kWeightKg[0] || *body.weightKg > kWeightKg[1]))
        what << QString("peso %1 kg").arg(shortDecimal(*body.weightKg));
    if (what.isEmpty() && bsa > kMostBsa)
        what << QString::fromUtf8("SC %1 m²").arg(decimal(bsa, 2));
    if (what.isEmpty())
        return {};
    return QString::fromUtf8("Peso e altura impossíveis (%1): confirme-os.").arg(what.join(", "));
}

QString referenceName(Reference reference)
{
    switch (reference) {
    case Reference::Phn2017: return "PHN 2017";
    case Reference::Detroit2008: return "Detroit 2008";
    case Reference::Schneider2005: return "Schneider 2005";
    }
    return {};
}

QString referenceKey(Reference reference) { return referenceName(reference).remove(' ').toLower(); }

std::optional<Reference> referenceFromKey(const QString& key)
{
    for (Reference r : {Reference::Phn2017, Reference::Detroit2008, Reference::Schneider2005})
        if (key.compare(referenceKey(r), Qt::CaseInsensitive) == 0)
            return r;
    return std::nullopt;
}

std::optional<double> Body::surfaceArea(BsaFormula formula) const
{
    if (bsa)
        return bsa;
    if (heightCm && weightKg)
        return bodySurfaceArea(formula, *heightCm, *weightKg);
    return std::nullopt;
}

bool covers(Reference reference, const QString& code)
{
    switch (reference) {
    case Reference::Phn2017: return rowOf(kPhn2017, code);
    case Reference::Detroit2008: return rowOf(kDetroit2008, code);
    case Reference::Schneider2005: return rowOf(kSchneider2005, code);
    }
    return false;
}

std::optional<Reference> referenceFor(const Site& site, bool fetal, const Practice& practice)
{
    const QString code = QString::fromLatin1(site.code);
    if (fetal)
        return covers(Reference::Schneider2005, code) ? std::optional(Reference::Schneider2005) : std::nullopt;
    if (site.mMode() && covers(Reference::Detroit2008, code))
        return Reference::Detroit2008;
    const Reference other =
        practice.preferred == Reference::Phn2017 ? Reference::Detroit2008 : Reference::Phn2017;
    for (Reference r : {practice.preferred, other})
        if (covers(r, code))
            return r;
    return std::nullopt;
}

double Normal::valueAt(double z) const
{
    const double model = centre + z * spread;
    return (logScale ? std::exp(model) : model) / perUnit;
}

double Normal::zOf(double value) const
{
    const double model = value * perUnit;
    return ((logScale ? std::log(model) : model) - centre) / spread;
}

QString Normal::basis() const
{
    if (reference == Reference::Schneider2005)
        return "IG " + weeksText(size);
    return QString::fromUtf8("SC %1 m²").arg(decimal(size, 2))
        + (formula ? " (" + formulaName(*formula) + ")" : QString());
}

NormalOrWhy normalFor(Reference reference, const Site& site, const Body& body, const Practice& practice)
{
    const QString code = QString::fromLatin1(site.code);
    if (!covers(reference, code))
        return {std::nullopt, QString::fromUtf8("O %1 não tem valores para «%2» (%3).")
                                  .arg(referenceName(reference), site.label(), code)};
    Normal normal;
    normal.reference = reference;
    if (reference == Reference::Schneider2005) {
        if (!body.weeks)
            return {std::nullopt, QString::fromUtf8("Sem idade gestacional não há valor de referência fetal.")};
        const SchneiderRow& row = *rowOf(kSchneider2005, code);
        normal.size = *body.weeks;
        normal.logScale = true;
        normal.centre = row.a + row.b * std::log(*body.weeks);
        normal.spread = row.rmse;
        normal.perUnit = kCm;
        return {normal, {}};
    }
    // The paper's own formula for PHN 2017; the practice's for Detroit 2008.
    const BsaFormula formula = reference == Reference::Phn2017 ? BsaFormula::Haycock : practice.formula;
    const std::optional<double> bsa = body.surfaceArea(formula);
    if (!bsa || !(*bsa > 0))
        return {std::nullopt, missingBsa()};
    if (const QString impossible = impossibleBody(body, *bsa); !impossible.isEmpty())
        return {std::nullopt, impossible};
    normal.size = *bsa;
    if (!body.bsa)
        normal.formula = formula;
    if (reference == Reference::Phn2017) {
        const PhnRow& row = *rowOf(kPhn2017, code);
        const double scale = std::pow(*bsa, row.alpha);
        normal.centre = row.mean * scale;
        normal.spread = row.sd * scale;
        normal.perUnit = row.perUnit;
        normal.outside = outsidePhn(body);
    } else {
        const DetroitRow& row = *rowOf(kDetroit2008, code);
        const double b = *bsa;
        normal.logScale = true;
        normal.centre = row.a + row.b1 * b + row.b2 * b * b + row.b3 * b * b * b;
        normal.spread = std::sqrt(row.mse);
        normal.perUnit = kCm;
        if (b > kDetroitMostBsa)
            normal.outside = QString::fromUtf8("Fora da população do Detroit 2008: SC %1 m² acima de %2 m², "
                                               "onde as equações deixam de descrever crianças.")
                                 .arg(decimal(b, 2), decimal(kDetroitMostBsa, 1));
    }
    return {normal, {}};
}

NormalOrWhy normalFor(const Site& site, const Body& body, const Practice& practice)
{
    if (const std::optional<Reference> reference = referenceFor(site, body.fetal(), practice))
        return normalFor(*reference, site, body, practice);
    if (body.fetal())
        return {std::nullopt, QString::fromUtf8("Não há valores de referência fetais para este local.")};
    bool fetalOnly = covers(Reference::Schneider2005, QString::fromLatin1(site.code));
    return {std::nullopt, fetalOnly ? QString::fromUtf8("Só há valores de referência fetais para este local.")
                                    : QString::fromUtf8("Não há valores de referência para este local.")};
}

} // namespace clinical
