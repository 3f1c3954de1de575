#pragma once

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

} // namespace received
