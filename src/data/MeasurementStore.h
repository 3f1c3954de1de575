#pragma once

#include "clinical/Exam.h"

#include <QVariant>

namespace engine {
class Database;
}

// The exam measurements kept in `medida` and the practice's settings kept in
// `definicao`, read and written straight on a store: the measurements page's
// data layer and the admin tool share them.
namespace measurements {

// An exam by its key in the exam table.
struct ExamKey {
    QVariant patient; // CodigoPaciente
    QVariant exam;    // CodigoExame
    bool valid() const { return !patient.isNull() && !exam.isNull(); }
};

// Whether the store has the measurement table (an older store gets it at start-up).
bool available(engine::Database& db);

// The exam's rows of `medida`: site code -> value.
clinical::Values read(engine::Database& db, const ExamKey& key);
// Puts `wanted` in place of `expected`, the rows as they were read, changing
// only what differs. Runs inside the caller's transaction; when the store no
// longer holds `expected` (another workstation saved this exam's measurements
// since) it writes nothing and throws RecordConflict.
void write(engine::Database& db, const ExamKey& key, const clinical::Values& expected,
           const clinical::Values& wanted);
// Deletes the exam's rows.
void remove(engine::Database& db, const ExamKey& key);

// The practice's BSA formula and preferred reference; the defaults where the
// store has none (or no settings table yet).
clinical::Practice practice(engine::Database& db);
void setPractice(engine::Database& db, const clinical::Practice& practice);

} // namespace measurements
