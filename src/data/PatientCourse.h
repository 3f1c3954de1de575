#pragma once

#include "clinical/Exam.h"

#include <QDate>
#include <QVariant>
#include <vector>

namespace engine {
class Database;
}

// A child's course across visits: the patient's exams with their stored
// measurements, oldest first, and one measurement followed across them with
// its normal and z-score at each exam. The window "Evolução", the admin
// tool's trend command and the tests read the same.
namespace course {

struct PatientExam {
    QVariant key; // CodigoExame
    QDate date;   // DataExame; the day the exam was made when it has none
    clinical::Values values;
    clinical::Body body;
};

struct PatientHistory {
    QVariant patient; // NF
    QString name;
    QDate birth; // null when the record has none
    clinical::Practice practice;
    std::vector<PatientExam> exams; // by date, then by CodigoExame
};

// Patient `nf` with every exam and measurement the store holds, and the
// practice's settings; throws EngineError when there is no such patient.
PatientHistory readHistory(engine::Database& db, const QVariant& nf);

// The sites that some exam of the patient holds, in the measurements page's
// order (the gestational age left out).
std::vector<const clinical::Site*> measuredSites(const PatientHistory& history);

// One exam that holds the measurement.
struct CoursePoint {
    QVariant exam; // CodigoExame
    QDate date;
    std::optional<double> ageMonths; // from the birth date: none without one, negative before birth
    std::optional<double> weeks;     // a fetal exam's gestational age
    std::optional<double> bsa;       // by the practice's formula
    double value = 0;
    std::optional<clinical::Normal> normal;
    std::optional<double> z;
    QString why; // why there is no z-score
};

struct Course {
    const clinical::Site* site = nullptr;
    // With the birth date the course runs on the child's age, else on the
    // exams' dates.
    bool byAge = false;
    std::vector<CoursePoint> points; // oldest first
};

Course courseOf(const PatientHistory& history, const clinical::Site& site);

// Completed months as the table shows an age: "12 dias", "7 meses",
// "3 anos e 2 meses".
QString ageText(double months);

// The course as CSV: data;idade_meses;valor;unidade;sc;referencia;z, one
// line per point, with decimal points and dates as yyyy-mm-dd.
QString csv(const Course& course);

} // namespace course
