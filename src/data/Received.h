#pragma once

#include "data/MeasurementStore.h"
#include "platform/dicom/Sites.h"

#include <QDateTime>
#include <optional>

namespace engine {
class Database;
}

// Reports received from the echo machine, kept in the store until the doctor
// applies their values to an exam: one row per document ("DocRecebido.DB"),
// one per value ("MedRecebida.DB"). Nothing is ever written into an exam here.
namespace received {

// Whom a document belongs to: the patient whose NF is the document's patient
// ID, or else the one patient with its name (words in any order, without
// regard to accents or case) and birth date; then the exam of that patient on
// the study date.
struct Match {
    std::optional<int> patient; // NF
    QDateTime exam;             // CodigoExame; invalid without an exam
    QString note;               // Portuguese: how it matched, or why it did not
};

struct Stored {
    bool duplicate = false;     // the store held the document already: nothing was written
    QDateTime received;         // when the store first received it
    Match match;
    dicom::Selection selection;
};

Match match(engine::Database& db, const dicom::Document& document);

// The values of `document` kept for the doctor, one per site, and those not
// used with the reason; a value the measurements page would refuse is not used.
dicom::Selection selection(const dicom::Document& document);

// Keeps `document`, received from `origin` (a file name, or the sender's AE
// title), and its values in one transaction.
Stored store(engine::Database& db, const dicom::Document& document, const QString& origin);

// The words of a name, for comparing names: "Teste^Ána" and "ANA TESTE" give
// the same key.
QString nameKey(const QString& name);

// Whether the store has the tables of received reports as this version keeps
// them (an older store gets them at start-up): one that lacks them has
// received nothing.
bool available(engine::Database& db);

// A kept value: under a site code in millimetres, or not used, in the
// document's own unit, with the reason in its note.
struct Value {
    QString code;                // empty for a value not used
    std::optional<double> value;
    QString unit;
    QString meaning;             // the document's concept and finding site
    QString note;                // how it was chosen, or why it is not used
};

// A kept document with its values, as the program shows it.
struct Document {
    QString sopUid;
    QDateTime received;
    QString origin;               // file name or "AE <title>"
    QString patientId;            // who and when, as the document says
    QString patientName;
    QDate birthDate;
    QDate studyDate;
    QString studyTime;
    std::optional<int> patient;   // the NF it belongs to
    QDateTime exam;               // the CodigoExame it belongs to; invalid while waiting
    QString note;                 // how it was matched, or why not
    std::vector<Value> values;

    // The document for the doctor: "estudo de 10/03/2026 10:15:00, AE ECOGRAFO".
    QString label() const;
    // Site code -> millimetres.
    clinical::Values siteValues() const;
};

// The documents not yet applied whose values are for the exam `key`, dated
// `examDate`: those matched or assigned to it, and those of its patient
// waiting for an exam whose study date is the exam's when the patient has no
// other exam that day (a new exam included). Oldest study first.
std::vector<Document> forExam(engine::Database& db, const measurements::ExamKey& key, const QDate& examDate);

// The documents not applied that wait for a patient or an exam (or whose exam
// no longer exists), oldest received first.
std::vector<Document> waiting(engine::Database& db);
int countWaiting(engine::Database& db);

// Inside the save of the exam `key`: its values are the exam's now, so the
// documents `sopUids` count as applied to it from `when` on. Throws
// RecordConflict, writing nothing, when one of them has meanwhile been
// applied, discarded or given to another exam.
void markApplied(engine::Database& db, const measurements::ExamKey& key, const QStringList& sopUids,
                 const QDateTime& when);

// Gives a document that waits to the stored exam `key`, by the doctor's
// choice. Throws when it no longer waits or the exam is gone.
void assign(engine::Database& db, const QString& sopUid, const measurements::ExamKey& key);
// Drops a document that waits, and its values.
void discard(engine::Database& db, const QString& sopUid);
// Takes a document not yet applied from the patient and exam it was matched
// or given to, back to those that wait: it was not theirs. Throws when it
// has been applied or is gone meanwhile.
void release(engine::Database& db, const QString& sopUid);

// The stored exams of a patient, to give a document to: CodigoExame and
// DataExame, newest first.
struct Exam {
    QDateTime key;
    QDate date;
};
std::vector<Exam> examsOf(engine::Database& db, int patient);

} // namespace received
