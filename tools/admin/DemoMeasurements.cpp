// The demo store's measurements: plausible values for each exam, drawn
// around the normal of the child's size (or the fetus's gestational age),
// each child keeping its own place in the range from one visit to the next.

#include "Admin.h"
#include "BulkInsert.h"

#include "clinical/Exam.h"
#include "data/Schema.h"
#include "platform/engine/Database.h"

#include <QHash>
#include <cmath>
#include <random>

using clinical::Site;

namespace admin {

namespace {

// Only the first patients get measurements, as only they get reports: a
// store of a hundred thousand patients for the benchmarks stays quick to make.
constexpr int kMeasuredPatients = 1000;
constexpr int kFetalTypes[] = {2, 3}; // the demo's fetal exam types

const char* const kAfterBirth[] = {"vd", "siv", "ved", "ves", "pp", "ae", "ao", "anel_ao", "jst", "ao_asc",
                                   "arco_prox", "istmo", "anel_p", "tp", "apd", "ape", "anel_m", "anel_t",
                                   "tce", "da", "cd"};
const char* const kFetal[] = {"vd", "ved", "anel_ao", "anel_p", "anel_m", "anel_t", "ao_asc", "tp", "canal"};

struct Exam {
    double patient;
    QVariant key;
    std::optional<double> grams, cm;
    bool fetal;
};

class Generator {
public:
    // A value of `site` for `body`: at the child's own z-score for the site
    // (drawn at its first exam), or at `z` when given, give or take a little.
    std::optional<double> value(const Site& site, const clinical::Body& body, double patient,
                                std::optional<double> z = std::nullopt)
    {
        const clinical::NormalOrWhy n = clinical::normalFor(site, body, {});
        if (!n.normal)
            return std::nullopt;
        const QString key = QString("%1/%2").arg(patient).arg(site.code);
        if (!z) {
            if (!m_ownZ.contains(key))
                m_ownZ.insert(key, std::normal_distribution<double>(0, 0.8)(m_rng));
            z = m_ownZ.value(key);
        }
        const double at = *z + std::normal_distribution<double>(0, 0.25)(m_rng);
        return std::round(n.normal->valueAt(at) * 10) / 10;
    }
    double uniform(double from, double to) { return std::uniform_real_distribution<double>(from, to)(m_rng); }

private:
    std::mt19937 m_rng{20260320};
    QHash<QString, double> m_ownZ;
};

std::vector<Exam> measuredExams(engine::Database& db)
{
    std::vector<Exam> exams;
    const auto rows = db.query("select codigopaciente, codigoexame, peso, altura, modod from eco "
                               "where codigopaciente <= :n order by codigopaciente, codigoexame",
                               {kMeasuredPatients});
    for (const engine::Row& r : rows.rows) {
        const int type = r[4].toInt();
        const bool fetal = r[2].isNull() && std::find(std::begin(kFetalTypes), std::end(kFetalTypes), type)
            != std::end(kFetalTypes);
        if (r[2].isNull() && !fetal)
            continue; // no size to go by
        exams.push_back({r[0].toDouble(), r[1], r[2].isNull() ? std::nullopt : std::optional(r[2].toDouble()),
                         r[3].isNull() ? std::nullopt : std::optional(r[3].toDouble()), fetal});
    }
    return exams;
}

// The first child with at least four visits: its aortic root widens from a
// z-score of +1 to about +4, as in a connective-tissue disorder.
double wideningPatient(const std::vector<Exam>& exams)
{
    QHash<double, int> visits;
    for (const Exam& e : exams)
        if (!e.fetal && ++visits[e.patient] == 4)
            return e.patient;
    return -1;
}

} // namespace

void fillDemoMeasurements(engine::Database& db, Io io)
{
    const std::vector<Exam> exams = measuredExams(db);
    const double widening = wideningPatient(exams);
    int widenVisits = 0;
    for (const Exam& e : exams)
        widenVisits += e.patient == widening;

    Generator gen;
    BulkInsert rows(db, schema::tableMedida().fileName, {"CodigoPaciente", "CodigoExame", "Codigo", "Valor"});
    int visit = 0, rowCount = 0;
    for (const Exam& e : exams) {
        clinical::Values values;
        if (e.fetal)
            values.insert(clinical::kGestationalAge, std::round(gen.uniform(18, 38) * 7) / 7);
        const clinical::Body body = clinical::examBody(e.grams, e.cm, std::nullopt, values);
        const std::span<const char* const> codes = e.fetal ? std::span<const char* const>(kFetal) : kAfterBirth;
        for (const char* code : codes) {
            const Site& site = *clinical::findSite(code);
            std::optional<double> z;
            if (e.patient == widening && site.code == QLatin1String("ao"))
                z = 1 + 3.0 * visit / std::max(1, widenVisits - 1);
            if (const auto v = gen.value(site, body, e.patient, z))
                values.insert(code, *v);
        }
        // The ventricle contracts as a healthy one does: a shortening of 30 to 40 %.
        if (values.contains("ved"))
            values.insert("ves", std::round(values.value("ved") * (1 - gen.uniform(0.30, 0.40)) * 10) / 10);
        if (const auto s = clinical::shortening(values.value("ved"), values.value("ves"))) {
            values.insert("fenc", std::round(s->fractional));
            values.insert("fe", std::round(s->ejection));
        }
        QStringList sets;
        QVariantList params;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            const Site& site = *clinical::findSite(it.key());
            if (site.examColumn) {
                sets << QString("%1 = :v%2").arg(site.examColumn).arg(params.size());
                params << it.value();
            } else {
                rows.add({e.patient, e.key, it.key(), it.value()});
                ++rowCount;
            }
        }
        if (!sets.isEmpty())
            db.execute("update eco set " + sets.join(", ") + " where codigopaciente = :p and codigoexame = :e",
                       params << e.patient << e.key);
        visit = e.patient == widening ? visit + 1 : visit;
    }
    rows.flush();
    io.out << QString::fromUtf8("Medições de demonstração: %1 exames, %2 valores em medida")
                  .arg(exams.size())
                  .arg(rowCount);
    if (widening > 0)
        io.out << QString::fromUtf8("; a raiz da aorta do paciente %1 dilata-se de exame para exame").arg(widening);
    io.out << ".\n";
}

} // namespace admin
