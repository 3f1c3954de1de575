// The clinical commands: body surface area, one z-score, an exam's
// measurements, one measurement across a patient's exams (as text, CSV or
// the chart of the window "Evolução") and the practice's settings.

#include "Admin.h"

#include "clinical/Exam.h"
#include "clinical/Numbers.h"
#include "course/CourseChart.h"
#include "data/MeasurementStore.h"
#include "data/PatientCourse.h"
#include "data/Received.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"

using clinical::Site;

namespace admin {

namespace {

// A command line's "--name value" options; anything else is a mistake.
class Options {
public:
    Options(const QStringList& args, const QStringList& known, Io io) : m_io(io)
    {
        for (int i = 0; i < args.size(); i += 2) {
            if (!known.contains(args[i]) || i + 1 >= args.size()) {
                m_wrong = QString("argumento inesperado: %1").arg(args[i]);
                return;
            }
            m_values.insert(args[i], args[i + 1]);
        }
    }
    bool has(const QString& name) const { return m_values.contains(name); }
    QString text(const QString& name) const { return m_values.value(name); }
    // A number typed with a comma or a point; an error when it is not one.
    std::optional<double> number(const QString& name)
    {
        if (!has(name))
            return std::nullopt;
        const auto value = clinical::parseNumber(text(name));
        if (!value || *value <= 0)
            fail(QString::fromUtf8("%1 precisa de um número maior do que zero, não «%2».").arg(name, text(name)));
        return value;
    }
    void fail(const QString& why)
    {
        if (m_wrong.isEmpty())
            m_wrong = why;
    }
    // Reports the first mistake; true when there was one.
    bool wrong() const
    {
        if (m_wrong.isEmpty())
            return false;
        m_io.err << "velunor-admin: " << m_wrong << "\n";
        return true;
    }
    std::optional<clinical::BsaFormula> formula()
    {
        if (!has("--formula"))
            return std::nullopt;
        const auto f = clinical::formulaFromKey(text("--formula"));
        if (!f)
            fail(QString::fromUtf8("a fórmula «%1» não existe: haycock, dubois ou mosteller.").arg(text("--formula")));
        return f;
    }

private:
    Io m_io;
    QMap<QString, QString> m_values;
    QString m_wrong;
};

// Exit code 2: what was asked cannot be computed (a site or a body value).
int cannot(const QString& why, Io io)
{
    io.err << "velunor-admin: " << why << "\n";
    return 2;
}

int unknownSite(const QString& code, Io io)
{
    QStringList codes;
    for (const Site& s : clinical::sites())
        codes << s.code;
    return cannot(QString::fromUtf8("o local «%1» não existe; os locais são: %2.").arg(code, codes.join(", ")), io);
}

// One judged value as a line of the z-score command and of the listing.
QString judgement(const clinical::Normal& n, double z, const Site& site)
{
    auto shown = [&](double v) { return clinical::decimal(v, 1) + " " + site.unit(); };
    QString line = QString::fromUtf8("z = %1 (%2; %3; previsto %4; normal %5 a %6)")
                       .arg(clinical::signedDecimal(z), clinical::referenceName(n.reference), n.basis(),
                            shown(n.predicted()), shown(n.valueAt(-2)), shown(n.valueAt(2)));
    if (!n.outside.isEmpty())
        line += " " + n.outside;
    return line;
}

// An exam's values as the store keeps them, and its body.
struct StoredExam {
    measurements::ExamKey key;
    QDate date;
    clinical::Values values;
    clinical::Body body;
};

StoredExam readExam(engine::Database& db, int patient, const QString& examKey)
{
    const QByteArray keyText = examKey.toUtf8();
    const QVariant key = engine::values::fromText(engine::FieldType::DateTime, keyText.constData(), int(keyText.size()));
    if (key.isNull())
        throw engine::EngineError(QString("\"%1\" não é a chave de um exame (AAAA-MM-DD HH:MM:SS.mmm).").arg(examKey));
    QStringList columns{"Peso", "Altura", "Idade", "DataExame"};
    std::vector<const Site*> inColumns;
    for (const Site& s : clinical::sites())
        if (s.examColumn) {
            columns << s.examColumn;
            inColumns.push_back(&s);
        }
    const auto rows = db.query("select " + columns.join(", ")
                                   + " from eco where CodigoPaciente = :p and CodigoExame = :e",
                               {double(patient), key})
                          .rows;
    if (rows.empty())
        throw engine::EngineError(QString("O paciente %1 não tem o exame %2.").arg(patient).arg(examKey));
    const engine::Row& row = rows.front();
    StoredExam exam{{double(patient), key}, row[3].toDate(), {}, {}};
    if (measurements::available(db))
        exam.values = measurements::read(db, exam.key);
    for (size_t i = 0; i < inColumns.size(); ++i)
        if (const QVariant& v = row[4 + int(i)]; !v.isNull())
            exam.values.insert(inColumns[i]->code, v.toDouble());
    auto number = [](const QVariant& v) { return v.isNull() ? std::nullopt : std::optional(v.toDouble()); };
    exam.body = clinical::examBody(number(row[0]), number(row[1]),
                                   row[2].isNull() ? std::nullopt : std::optional(row[2].toInt()), exam.values);
    return exam;
}

void listCourse(const course::PatientHistory& history, const course::Course& course, Io io)
{
    io.out << QString::fromUtf8("%1 (%2) do paciente %3 (%4), nascido em %5:\n")
                  .arg(course.site->label(), course.site->code, history.name, history.patient.toString(),
                       history.birth.isValid() ? history.birth.toString("yyyy-MM-dd")
                                               : QString::fromUtf8("data desconhecida"));
    if (course.points.empty())
        io.out << QString::fromUtf8("  nenhum exame deste paciente tem esta medição.\n");
    for (const course::CoursePoint& p : course.points) {
        const QString age = p.weeks ? "IG " + clinical::weeksText(*p.weeks)
            : p.ageMonths           ? course::ageText(*p.ageMonths)
                                    : QString();
        io.out << "  " << p.date.toString("yyyy-MM-dd") << "  " << age.leftJustified(18) << "  "
               << (p.bsa ? QString::fromUtf8("SC %1 m²").arg(clinical::decimal(*p.bsa, 2)) : QString("SC -"))
                      .leftJustified(12)
               << "  " << clinical::withUnit(p.value, *course.site).rightJustified(9) << "  ";
        if (p.z)
            io.out << "z " << clinical::signedDecimal(*p.z) << " (" << clinical::referenceName(p.normal->reference)
                   << ")" << (p.normal->outside.isEmpty() ? "" : " " + p.normal->outside);
        else
            io.out << "sem z-score: " << p.why;
        io.out << "\n";
    }
}

} // namespace

int bsaCommand(const QStringList& args, Io io)
{
    Options o(args, {"--height", "--weight", "--formula"}, io);
    const auto height = o.number("--height"), weight = o.number("--weight");
    const auto formula = o.formula().value_or(clinical::BsaFormula::Haycock);
    if (!height || !weight)
        o.fail("o comando bsa precisa de --height CM e --weight KG.");
    if (o.wrong())
        return 2;
    const double bsa = clinical::bodySurfaceArea(formula, *height, *weight);
    clinical::Body body;
    body.heightCm = height;
    body.weightKg = weight;
    if (const QString impossible = clinical::impossibleBody(body, bsa); !impossible.isEmpty())
        return cannot(impossible, io);
    io.out << QString::fromUtf8("SC = %1 m² (%2)\n").arg(clinical::decimal(bsa, 2), clinical::formulaName(formula));
    return 0;
}

int zscoreCommand(const QStringList& args, Io io)
{
    if (args.size() < 2)
        return cannot("use zscore LOCAL VALOR [--bsa M2 | --height CM --weight KG | --weeks S[+D]] "
                      "[--reference phn2017|detroit2008|schneider2005] [--formula haycock|dubois|mosteller].",
                      io);
    const Site* site = clinical::findSite(args[0]);
    if (!site || site->quantity == clinical::Quantity::Weeks)
        return unknownSite(args[0], io);
    Options o(args.mid(2), {"--bsa", "--height", "--weight", "--weeks", "--reference", "--formula"}, io);
    const auto value = clinical::parseNumber(args[1]);
    if (!value)
        o.fail(QString::fromUtf8("«%1» não é um número.").arg(args[1]));
    else if (const auto why = clinical::refusal(*site, *value))
        o.fail(*why);
    clinical::Body body;
    body.bsa = o.number("--bsa");
    body.heightCm = o.number("--height");
    body.weightKg = o.number("--weight");
    if (o.has("--weeks") && !(body.weeks = clinical::parseWeeks(o.text("--weeks"))))
        o.fail(QString::fromUtf8("--weeks escreve-se em semanas+dias (36+6) ou semanas (36,5), não «%1».")
                   .arg(o.text("--weeks")));
    clinical::Practice practice;
    practice.formula = o.formula().value_or(practice.formula);
    std::optional<clinical::Reference> reference;
    if (o.has("--reference") && !(reference = clinical::referenceFromKey(o.text("--reference"))))
        o.fail(QString::fromUtf8("a referência «%1» não existe: phn2017, detroit2008 ou schneider2005.")
                   .arg(o.text("--reference")));
    if (o.wrong())
        return 2;
    const clinical::NormalOrWhy n =
        reference ? clinical::normalFor(*reference, *site, body, practice) : clinical::normalFor(*site, body, practice);
    if (!n.normal)
        return cannot(n.why, io);
    io.out << judgement(*n.normal, n.normal->zOf(*value), *site) << "\n";
    return 0;
}

// Values judged together, and where they come from: the exam itself, or a
// report received from the echo machine and not yet applied to it.
struct Source {
    const char* origin; // "exame", "ecografo"
    QString title;
    std::vector<clinical::Judged> judged;
};

std::vector<Source> sourcesOf(engine::Database& db, const StoredExam& exam, int patient, const QString& examKey)
{
    const clinical::Practice practice = measurements::practice(db);
    std::vector<Source> sources{{"exame", QString::fromUtf8("Medições do exame %1 do paciente %2:").arg(examKey).arg(patient),
                                 clinical::judgeExam(exam.values, exam.body, practice)}};
    if (!received::available(db))
        return sources;
    for (const received::Document& d : received::forExam(db, exam.key, exam.date))
        sources.push_back({"ecografo", QString::fromUtf8("Recebidas do ecógrafo, por aplicar (%1):").arg(d.label()),
                           clinical::judgeExam(d.siteValues(), exam.body, practice)});
    return sources;
}

int measurementsCommand(const QString& alias, int patient, const QString& examKey, bool csv, Io io)
{
    auto db = engine::Database::connect(alias, "ADMIN");
    const StoredExam exam = readExam(*db, patient, examKey);
    const std::vector<Source> sources = sourcesOf(*db, exam, patient, examKey);
    if (csv) {
        io.out << "codigo;valor;unidade;origem;referencia;z\n";
        if (exam.body.weeks)
            io.out << clinical::kGestationalAge << ";" << QString::number(*exam.body.weeks) << ";semanas;exame;;\n";
        for (const Source& source : sources)
            for (const clinical::Judged& j : source.judged)
                if (j.value)
                    io.out << j.site->code << ";" << QString::number(*j.value) << ";" << j.site->unit() << ";"
                           << source.origin << ";"
                           << (j.normal ? clinical::referenceKey(j.normal->reference) : QString()) << ";"
                           << (j.z ? QString::number(*j.z, 'f', 2) : QString()) << "\n";
        return 0;
    }
    for (const Source& source : sources) {
        io.out << source.title << "\n";
        int count = 0;
        for (const clinical::Judged& j : source.judged) {
            if (!j.value)
                continue;
            ++count;
            io.out << "  " << j.site->label() << " (" << j.site->code << "): " << clinical::withUnit(*j.value, *j.site);
            if (j.z)
                io.out << "   " << judgement(*j.normal, *j.z, *j.site);
            io.out << "\n";
        }
        if (count == 0)
            io.out << QString::fromUtf8("  nenhuma medição.\n");
    }
    return 0;
}

int trendCommand(const QString& alias, int patient, const QString& siteCode, bool csv, const QString& png, Io io)
{
    const clinical::Site* site = clinical::findSite(siteCode);
    if (!site || site->quantity == clinical::Quantity::Weeks)
        return unknownSite(siteCode, io);
    auto db = engine::Database::connect(alias, "ADMIN");
    const course::PatientHistory history = course::readHistory(*db, patient);
    const course::Course course = course::courseOf(history, *site);
    if (!png.isEmpty() && !CourseChart::picture(course).save(png, "PNG"))
        throw engine::EngineError(QString::fromUtf8("Não foi possível gravar a imagem \"%1\".").arg(png));
    if (csv) {
        io.out << course::csv(course);
        return 0;
    }
    listCourse(history, course, io);
    if (!png.isEmpty())
        io.out << QString::fromUtf8("Gráfico gravado em %1 (1600 x 1000).\n").arg(png);
    return 0;
}

int settingsCommand(const QString& alias, const QStringList& args, Io io)
{
    Options o(args, {"--formula", "--reference"}, io);
    auto db = engine::Database::connect(alias, "ADMIN");
    clinical::Practice practice = measurements::practice(*db);
    practice.formula = o.formula().value_or(practice.formula);
    if (o.has("--reference")) {
        const auto r = clinical::referenceFromKey(o.text("--reference"));
        if (!r || *r == clinical::Reference::Schneider2005)
            o.fail(QString::fromUtf8("a referência preferida é phn2017 ou detroit2008, não «%1».")
                       .arg(o.text("--reference")));
        else
            practice.preferred = *r;
    }
    if (o.wrong())
        return 2;
    if (!args.isEmpty()) {
        if (!db->describe("definicao.DB"))
            throw engine::EngineError(QString::fromUtf8("A base de dados ainda não tem a tabela definicao: abra-a "
                                                        "uma vez com o Velunor, ou use create numa nova."));
        measurements::setPractice(*db, practice);
    }
    io.out << QString::fromUtf8("Superfície corporal: %1\nReferência preferida: %2 (o modo M usa sempre o "
                                "Detroit 2008; os exames fetais, o Schneider 2005)\n")
                  .arg(clinical::formulaName(practice.formula), clinical::referenceName(practice.preferred));
    return 0;
}

} // namespace admin
