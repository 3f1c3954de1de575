#include "platform/dicom/Sites.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace dicom {

namespace {

// The context groups of DICOM PS3.16 that the echocardiography report
// templates (TID 5200, and TID 5220 for the paediatric, fetal and congenital
// reports) draw their measurements and finding sites from.
const char* const kLvLinear = "PS3.16 CID 12201 Left Ventricle Linear Measurement";
const char* const kRv = "PS3.16 CID 12204 Echocardiography Right Ventricle Measurement";
const char* const kLa = "PS3.16 CID 12205 Echocardiography Left Atrium Measurement";
const char* const kPa = "PS3.16 CID 12210 Echocardiography Pulmonary Artery Measurement";
const char* const kAorta = "PS3.16 CID 12212 Echocardiography Aorta Measurement";
// The generic "Diameter" is CID 12250 Cardiac Ultrasound Common Linear Measurement.
const char* const kAvSite = "Diameter (CID 12250) at PS3.16 CID 12242 Aortic Valve Finding Site";
const char* const kSemilunar = "Diameter (CID 12250) at PS3.16 CID 12289 Cardiac Ultrasound Semilunar Valve, "
                               "Annulus and Sinus Finding Site";
const char* const kAortaSite = "Diameter (CID 12250) at PS3.16 CID 12291 Cardiac Ultrasound Aorta Finding Site";
const char* const kPaSite = "Diameter (CID 12250) at PS3.16 CID 12290 Cardiac Ultrasound Pulmonary Artery "
                            "Finding Site";
const char* const kMvSite = "Diameter (CID 12250) at PS3.16 CID 12235 Mitral Valve Anatomic Site";
const char* const kTvSite = "Diameter (CID 12250) at PS3.16 CID 12241 Tricuspid Valve Finding Site";

bool isDiameter(const Code& c) { return c.is("81827009", "SCT") || c.is("M-02550", "SRT"); }

bool isMean(const Measurement& m)
{
    return m.derivation.is("373098007", "SCT") || m.derivation.is("R-00317", "SRT")
        || m.derivation.meaning.compare("Mean", Qt::CaseInsensitive) == 0 || m.selectionStatus.is("121412", "DCM");
}

// Millimetres per unit, for the UCUM lengths; 0 for any other unit.
double millimetresPer(const Code& unit)
{
    if (unit.scheme != "UCUM")
        return 0;
    static const QHash<QString, double> lengths{{"mm", 1}, {"cm", 10}, {"m", 1000}};
    return lengths.value(unit.value, 0);
}

const SiteRow* rowFor(const Measurement& m)
{
    for (const SiteRow& row : siteTable()) {
        if (row.loinc ? m.conceptName.is(row.loinc, "LN")
                      : isDiameter(m.conceptName)
                            && (m.findingSite.is(row.sct, "SCT") || m.findingSite.is(row.srt, "SRT")))
            return &row;
    }
    return nullptr;
}

bool sameValue(const Measurement& a, const Measurement& b)
{
    bool okA = false, okB = false;
    const double x = a.value.toDouble(&okA), y = b.value.toDouble(&okB);
    return okA && okB ? x == y : a.value == b.value;
}

// The same value written twice: once with a selection status, once without.
bool twins(const Measurement& withStatus, const Measurement& without)
{
    return without.selectionStatus.isEmpty() && withStatus.conceptName == without.conceptName
        && withStatus.findingSite == without.findingSite && withStatus.unit == without.unit
        && withStatus.derivation == without.derivation && sameValue(withStatus, without);
}

// A measurement and the place it takes among the others: the later of the
// two places when the machine wrote it twice.
struct Entry {
    Measurement m;
    int order;
};

std::vector<Entry> distinct(const std::vector<Measurement>& measurements)
{
    std::vector<Entry> entries;
    for (const Measurement& m : measurements)
        entries.push_back({m, m.position});
    std::vector<bool> gone(entries.size(), false), paired(entries.size(), false);
    for (size_t s = 0; s < entries.size(); ++s) {
        if (entries[s].m.selectionStatus.isEmpty())
            continue;
        for (size_t o = 0; o < entries.size(); ++o) {
            if (!gone[o] && !paired[o] && o != s && twins(entries[s].m, entries[o].m)) {
                gone[o] = true;
                paired[s] = true;
                entries[s].order = std::max(entries[s].order, entries[o].order);
                break;
            }
        }
    }
    std::vector<Entry> kept;
    for (size_t i = 0; i < entries.size(); ++i)
        if (!gone[i])
            kept.push_back(entries[i]);
    return kept;
}

// Why a measurement cannot be kept under a site; empty when it can.
QString refusal(const Measurement& m, const SiteRow* row, double* millimetres)
{
    if (!row) {
        if (!isDiameter(m.conceptName))
            return "medição que o Velunor não usa";
        return m.findingSite.isEmpty() ? "diâmetro sem local (Finding Site)"
                                       : "diâmetro de um local que o Velunor não usa: " + m.findingSite.text();
    }
    bool ok = false;
    const double value = m.value.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return "sem valor numérico";
    const double factor = millimetresPer(m.unit);
    if (factor == 0)
        return QString("unidade «%1» que o Velunor não converte em mm").arg(m.unit.value);
    // Rounded to a millionth of a millimetre: "1.15 cm" gives 11.5, not 11.499999999999998.
    *millimetres = std::round(value * factor * 1e6) / 1e6;
    return {};
}

QString noteFor(const Entry& chosen, int count, bool mean)
{
    QStringList parts;
    if (!chosen.m.imageMode.isEmpty())
        parts << chosen.m.imageMode.meaning;
    if (count > 1)
        parts << QString("%1 valores do mesmo local: %2").arg(count).arg(mean ? "escolhida a média" : "escolhido o último");
    else if (!chosen.m.derivation.isEmpty())
        parts << chosen.m.derivation.meaning;
    return parts.join("; ");
}

} // namespace

const std::vector<SiteRow>& siteTable()
{
    static const std::vector<SiteRow> table{
        {"29436-3", nullptr, nullptr, "Left Ventricle Internal End Diastolic Dimension", "ved", kLvLinear},
        {"29438-9", nullptr, nullptr, "Left Ventricle Internal Systolic Dimension", "ves", kLvLinear},
        {"18154-5", nullptr, nullptr, "Interventricular Septum Diastolic Thickness", "siv", kLvLinear},
        {"18158-6", nullptr, nullptr, "Interventricular Septum Systolic Thickness", "sivs", kLvLinear},
        {"18152-9", nullptr, nullptr, "Left Ventricle Posterior Wall Diastolic Thickness", "pp", kLvLinear},
        {"18156-0", nullptr, nullptr, "Left Ventricle Posterior Wall Systolic Thickness", "pps", kLvLinear},
        {"20304-2", nullptr, nullptr, "Right Ventricular Internal Diastolic Dimension", "vd", kRv},
        {"29469-4", nullptr, nullptr, "Left Atrium Antero-posterior Systolic Dimension", "ae", kLa},
        {"18015-8", nullptr, nullptr, "Aortic Root Diameter", "ao", kAorta},
        {"18012-5", nullptr, nullptr, "Ascending Aortic Diameter", "ao_asc", kAorta},
        {"18014-1", nullptr, nullptr, "Aortic Isthmus Diameter", "istmo", kAorta},
        {"18013-3", nullptr, nullptr, "Descending Aortic Diameter", "ao_desc", kAorta},
        {"18020-8", nullptr, nullptr, "Main Pulmonary Artery Diameter", "tp", kPa},
        {"18021-6", nullptr, nullptr, "Right Pulmonary Artery Diameter", "apd", kPa},
        {"18019-0", nullptr, nullptr, "Left Pulmonary Artery Diameter", "ape", kPa},
        {nullptr, "77583004", "T-35410", "Aortic Valve Ring", "anel_ao", kAvSite},
        {nullptr, "34202007", "T-35400", "Aortic Valve", "anel_ao", kSemilunar},
        {nullptr, "8128003", "T-42110", "Root of Aorta", "ao", kSemilunar},
        {nullptr, "81128002", "T-42200", "Sinus of Valsalva", "ao", kAortaSite},
        {nullptr, "443167003", "T-42102", "Aortic Sinotubular Junction", "jst", kAortaSite},
        {nullptr, "54247002", "T-42100", "Ascending Aorta", "ao_asc", kAortaSite},
        {nullptr, "88593004", "T-42310", "Aortic Isthmus", "istmo", kAortaSite},
        {nullptr, "281130003", "T-D0765", "Descending Aorta", "ao_desc", kAortaSite},
        {nullptr, "7832008", "T-42500", "Abdominal Aorta", "ao_abd", kAortaSite},
        {nullptr, "39057004", "T-35200", "Pulmonic Valve", "anel_p", kSemilunar},
        {nullptr, "45341000", "T-44100", "Pulmonary Trunk", "tp", kPaSite},
        {nullptr, "78480002", "T-44200", "Right pulmonary artery", "apd", kPaSite},
        {nullptr, "50408007", "T-44400", "Left pulmonary artery", "ape", kPaSite},
        {nullptr, "4432005", "T-F6845", "Ductus arteriosus", "canal", kPaSite},
        {nullptr, "65197004", "T-35310", "Mitral Annulus", "anel_m", kMvSite},
        {nullptr, "113259005", "T-35110", "Tricuspid Annulus", "anel_t", kTvSite},
    };
    return table;
}

Selection select(const std::vector<Measurement>& measurements)
{
    struct Site {
        QString code;
        std::vector<std::pair<Entry, double>> values;
    };
    std::vector<Site> sites;
    Selection selection;
    for (const Entry& e : distinct(measurements)) {
        const SiteRow* row = rowFor(e.m);
        double millimetres = 0;
        if (const QString why = refusal(e.m, row, &millimetres); !why.isEmpty()) {
            selection.unused.push_back({e.m, why});
            continue;
        }
        auto site = std::find_if(sites.begin(), sites.end(), [&](const Site& s) { return s.code == row->code; });
        if (site == sites.end())
            site = sites.insert(sites.end(), Site{row->code, {}});
        site->values.push_back({e, millimetres});
    }
    for (const Site& site : sites) {
        const auto later = [](const auto& a, const auto& b) { return a.first.order < b.first.order; };
        auto chosen = site.values.end();
        for (auto v = site.values.begin(); v != site.values.end(); ++v)
            if (isMean(v->first.m) && (chosen == site.values.end() || later(*chosen, *v)))
                chosen = v;
        const bool mean = chosen != site.values.end();
        if (!mean)
            chosen = std::max_element(site.values.begin(), site.values.end(), later);
        selection.values.push_back(
            {site.code, chosen->second, noteFor(chosen->first, int(site.values.size()), mean), chosen->first.m});
    }
    return selection;
}

} // namespace dicom
