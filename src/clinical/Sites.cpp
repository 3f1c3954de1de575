#include "clinical/Sites.h"

#include "clinical/Numbers.h"

#include <array>

namespace clinical {

namespace {

using Q = Quantity;

const Site kSites[] = {
    // M-mode, in the exam table's own columns
    {"vd", "Ventrículo direito (diástole)", Q::Length, "Vd"},
    {"siv", "Septo interventricular (diástole)", Q::Length, "Siv"},
    {"sivs", "Septo interventricular (sístole)", Q::Length, nullptr},
    {"ved", "Ventrículo esquerdo, diástole", Q::Length, "Ved"},
    {"ves", "Ventrículo esquerdo, sístole", Q::Length, "Ves"},
    {"pp", "Parede posterior do VE (diástole)", Q::Length, "Pp"},
    {"pps", "Parede posterior do VE (sístole)", Q::Length, nullptr},
    {"ae", "Aurícula esquerda", Q::Length, "Ae"},
    {"ao", "Raiz da aorta (seios de Valsalva)", Q::Length, "Ao"},
    {"fenc", "Fracção de encurtamento", Q::Percent, "Fenc"},
    {"fe", "Fracção de ejecção (Teichholz)", Q::Percent, "Fe"},
    // aorta
    {"anel_ao", "Anel aórtico", Q::Length, nullptr},
    {"jst", "Junção sinotubular", Q::Length, nullptr},
    {"ao_asc", "Aorta ascendente", Q::Length, nullptr},
    {"arco_prox", "Arco transverso proximal", Q::Length, nullptr},
    {"arco_dist", "Arco transverso distal", Q::Length, nullptr},
    {"istmo", "Istmo aórtico", Q::Length, nullptr},
    {"ao_abd", "Aorta abdominal", Q::Length, nullptr},
    {"ao_desc", "Aorta descendente (fetal)", Q::Length, nullptr},
    // pulmonary arteries
    {"anel_p", "Anel pulmonar (eixo curto)", Q::Length, nullptr},
    {"anel_p_el", "Anel pulmonar (eixo longo)", Q::Length, nullptr},
    {"tp", "Tronco da artéria pulmonar", Q::Length, nullptr},
    {"apd", "Artéria pulmonar direita", Q::Length, nullptr},
    {"ape", "Artéria pulmonar esquerda", Q::Length, nullptr},
    {"canal", "Canal arterial (fetal)", Q::Length, nullptr},
    // atrioventricular valves
    {"anel_m", "Anel mitral (4 câmaras)", Q::Length, nullptr},
    {"anel_m_ap", "Anel mitral (ântero-posterior)", Q::Length, nullptr},
    {"anel_t", "Anel tricúspide (4 câmaras)", Q::Length, nullptr},
    {"anel_t_ap", "Anel tricúspide (ântero-posterior)", Q::Length, nullptr},
    // coronary arteries
    {"tce", "Tronco comum da coronária esquerda", Q::Length, nullptr},
    {"da", "Artéria descendente anterior", Q::Length, nullptr},
    {"cd", "Artéria coronária direita", Q::Length, nullptr},
    // left ventricle, fetal lengths
    {"massa_ve", "Massa do VE", Q::Mass, nullptr},
    {"vdf_ve", "Volume telediastólico do VE", Q::Volume, nullptr},
    {"comp_ve", "Comprimento do VE (fetal)", Q::Length, nullptr},
    {"comp_vd", "Comprimento do VD (fetal)", Q::Length, nullptr},
    // Doppler, in the exam table's own columns
    {"grad_vea_max", "Gradiente VE-aorta máximo", Q::Pressure, "Gradveaomax"},
    {"grad_vea_med", "Gradiente VE-aorta médio", Q::Pressure, "Gradveaomin"},
    {"grad_vm_max", "Válvula mitral, gradiente máximo", Q::Pressure, "VMGradMx"},
    {"grad_vm_med", "Válvula mitral, gradiente médio", Q::Pressure, "VMGradMd"},
    {"area_vm", "Válvula mitral, área", Q::Area, "Areavm"},
    {"tac", "Válvula pulmonar, tempo de aceleração", Q::Time, "Vptac"},
    {"tac_tevd", "Tac / TEVD", Q::Ratio, "Vptactevd"},
    // the body of a fetus
    {kGestationalAge, "Idade gestacional", Q::Weeks, nullptr},
};

struct Bound {
    double most;
    const char* what;
};

// The largest value each kind of measurement can possibly take: a bound on
// typing errors (a value in cm typed as mm, a comma lost), not on disease.
Bound boundOf(Quantity q)
{
    switch (q) {
    case Q::Length: return {100, "um diâmetro ou comprimento"}; // an adult's aortic root is about 35 mm
    case Q::Percent: return {100, "uma fracção"};
    case Q::Pressure: return {300, "um gradiente"};               // above any systemic pressure
    case Q::Area: return {20, "uma área valvular"};               // an adult mitral valve has 4-6 cm²
    case Q::Time: return {1000, "um tempo de aceleração"};        // a whole beat at 60 per minute
    case Q::Ratio: return {1, "a razão Tac / TEVD"};              // acceleration is part of ejection
    case Q::Mass: return {1000, "a massa do VE"};
    case Q::Volume: return {1000, "um volume do VE"};
    case Q::Weeks: return {45, "a idade gestacional"};
    }
    return {0, ""};
}

} // namespace

QString Site::unit() const
{
    switch (quantity) {
    case Q::Length: return "mm";
    case Q::Percent: return "%";
    case Q::Pressure: return "mmHg";
    case Q::Area: return QString::fromUtf8("cm²");
    case Q::Time: return "ms";
    case Q::Ratio: return {};
    case Q::Mass: return "g";
    case Q::Volume: return "mL";
    case Q::Weeks: return "semanas";
    }
    return {};
}

bool Site::mMode() const { return examColumn && quantity == Q::Length; }

std::span<const Site> sites() { return kSites; }

const Site* findSite(const QString& code)
{
    for (const Site& s : kSites)
        if (code == QLatin1String(s.code))
            return &s;
    return nullptr;
}

std::optional<QString> refusal(const Site& site, double value)
{
    const QString shown = site.label() + ": " + withUnit(value, site);
    if (!(value > 0)) // NaN too
        return shown + QString::fromUtf8(" não é possível: o valor tem de ser maior do que zero. Nada foi gravado.");
    const Bound bound = boundOf(site.quantity);
    if (value > bound.most)
        return shown + QString::fromUtf8(" não é possível: %1 não passa de %2. Nada foi gravado.")
                           .arg(QString::fromUtf8(bound.what), withUnit(bound.most, site));
    return std::nullopt;
}

} // namespace clinical
