#pragma once

#include <QString>
#include <QVariant>

namespace engine {
class Database;
}

// What the exam report prints, read once when a print or preview starts, so
// that nothing done in the windows meanwhile changes a composition. The
// doctor and the exam type are those the exam names by its own keys
// (Executor, ModoD), whether or not the doctor is still active; a key that
// names no row prints nothing.
struct ExamSnapshot {
    // Display texts, as the fields show them; empty for a null value.
    QString name;
    QString birthDate;
    QString age;
    QString weight;
    QString height;
    QString examDate;
    QString body; // the stored report text, RTF or plain
    QString doctor;
    QString examType;

    // The patient's name and the exam's date, for a document's title.
    QString title() const;

    // The current patient and exam of the data module, as they stand now,
    // edits not yet saved included.
    static ExamSnapshot current();

    // Patient `patient` and its exam `examKey` ("YYYY-MM-DD HH:MM:SS.zzz", its
    // CodigoExame; "-" for none) read from the store. Throws an EngineError
    // naming what is missing.
    static ExamSnapshot fromStore(engine::Database& db, int patient, const QString& examKey);

private:
    // The stored values the report reads.
    struct Values {
        QVariant nome, dnasc;                                           // the patient
        QVariant idade, peso, altura, dataExame, eco1, executor, modoD; // the exam
    };
    static ExamSnapshot fromValues(const Values& values, engine::Database& db);
};
