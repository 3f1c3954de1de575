#include "data/PatientCourse.h"

#include "data/MeasurementStore.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"

#include <QHash>
#include <algorithm>

using clinical::Site;

namespace course {

namespace {

// The program's month, as the exam's age in months counts it.
constexpr double kDaysPerMonth = 30.4375;

std::optional<double> number(const QVariant& v) { return v.isNull() ? std::nullopt : std::optional(v.toDouble()); }

// The patient's rows of medida, by exam.
QHash<QDateTime, clinical::Values> readMedida(engine::Database& db, const QVariant& nf)
{
    QHash<QDateTime, clinical::Values> byExam;
    if (measurements::available(db))
        for (const engine::Row& row :
             db.query("select CodigoExame, codigo, valor from medida where CodigoPaciente = :p", {nf}).rows)
            if (!row[2].isNull())
                byExam[row[0].toDateTime()].insert(row[1].toString(), row[2].toDouble());
    return byExam;
}

// The patient's exams, each with the values of the exam table's own columns
// and of medida.
std::vector<PatientExam> readExams(engine::Database& db, const QVariant& nf)
{
    QStringList columns{"CodigoExame", "DataExame", "Peso", "Altura", "Idade"};
    const int firstValue = int(columns.size());
    std::vector<const Site*> inColumns;
    for (const Site& s : clinical::sites())
        if (s.examColumn) {
            columns << s.examColumn;
            inColumns.push_back(&s);
        }
    const QHash<QDateTime, clinical::Values> medida = readMedida(db, nf);
    std::vector<PatientExam> exams;
    for (const engine::Row& row :
         db.query("select " + columns.join(", ") + " from eco where CodigoPaciente = :p", {nf}).rows) {
        PatientExam exam;
        exam.key = row[0];
        exam.date = row[1].isNull() ? row[0].toDateTime().date() : row[1].toDate();
        exam.values = medida.value(row[0].toDateTime());
        for (size_t i = 0; i < inColumns.size(); ++i)
            if (const auto v = number(row[firstValue + int(i)]))
                exam.values.insert(inColumns[i]->code, *v);
        exam.body = clinical::examBody(number(row[2]), number(row[3]),
                                       row[4].isNull() ? std::nullopt : std::optional(row[4].toInt()), exam.values);
        exams.push_back(std::move(exam));
    }
    std::sort(exams.begin(), exams.end(), [](const PatientExam& a, const PatientExam& b) {
        return a.date != b.date ? a.date < b.date : a.key.toDateTime() < b.key.toDateTime();
    });
    return exams;
}

} // namespace

PatientHistory readHistory(engine::Database& db, const QVariant& nf)
{
    const auto patient = db.query("select NOME, DNASC from bddid where NF = :p", {nf}).rows;
    if (patient.empty())
        throw engine::EngineError(QString::fromUtf8("Não existe o paciente %1.").arg(nf.toString()));
    PatientHistory history;
    history.patient = nf;
    history.name = patient.front()[0].toString();
    history.birth = patient.front()[1].toDateTime().date();
    history.practice = measurements::practice(db);
    history.exams = readExams(db, nf);
    return history;
}

std::vector<const Site*> measuredSites(const PatientHistory& history)
{
    std::vector<const Site*> out;
    for (const Site& site : clinical::sites())
        if (site.quantity != clinical::Quantity::Weeks
            && std::any_of(history.exams.begin(), history.exams.end(),
                           [&](const PatientExam& e) { return e.values.contains(site.code); }))
            out.push_back(&site);
    return out;
}

Course courseOf(const PatientHistory& history, const Site& site)
{
    Course course;
    course.site = &site;
    course.byAge = history.birth.isValid();
    for (const PatientExam& exam : history.exams) {
        const auto value = exam.values.find(site.code);
        if (value == exam.values.end())
            continue;
        CoursePoint p;
        p.exam = exam.key;
        p.date = exam.date;
        if (course.byAge)
            p.ageMonths = history.birth.daysTo(exam.date) / kDaysPerMonth;
        p.weeks = exam.body.weeks;
        p.bsa = exam.body.surfaceArea(history.practice.formula);
        p.value = *value;
        clinical::NormalOrWhy n = clinical::normalFor(site, exam.body, history.practice);
        p.normal = std::move(n.normal);
        p.why = std::move(n.why);
        if (p.normal)
            p.z = p.normal->zOf(p.value);
        course.points.push_back(std::move(p));
    }
    return course;
}

QString ageText(double months)
{
    if (months < 0)
        return QString::fromUtf8("antes do nascimento");
    if (months < 1) {
        const int days = int(months * kDaysPerMonth);
        return days == 1 ? QString("1 dia") : QString("%1 dias").arg(days);
    }
    const int whole = int(months);
    auto monthsText = [](int m) { return m == 1 ? QString::fromUtf8("1 mês") : QString("%1 meses").arg(m); };
    if (whole < 24)
        return monthsText(whole);
    const QString years = QString("%1 anos").arg(whole / 12);
    return whole % 12 == 0 ? years : years + " e " + monthsText(whole % 12);
}

QString csv(const Course& course)
{
    QString out = "data;idade_meses;valor;unidade;sc;referencia;z\n";
    auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    for (const CoursePoint& p : course.points)
        out += QStringList{p.date.toString("yyyy-MM-dd"),
                           optional(p.ageMonths, 1),
                           QString::number(p.value),
                           course.site->unit(),
                           optional(p.bsa, 2),
                           p.normal ? clinical::referenceKey(p.normal->reference) : QString(),
                           optional(p.z, 2)}
                   .join(';')
            + "\n";
    return out;
}

} // namespace course
