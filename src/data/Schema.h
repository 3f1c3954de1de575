#pragma once

#include "platform/engine/Types.h"

#include <optional>

namespace engine {
class Database;
}

// The stored tables of the practice's database and the way each record set of
// the data module opens them. One description serves the data module, which
// opens the tables, and the admin tool, which creates and checks them.
namespace schema {

// How each record set opens its stored table: its fields in order, its index,
// read-only and filter.
engine::TableSpec tablePac();     // "Bddid.DB" in BDDIDEX_NO order
engine::TableSpec tableEco();     // "eco.DB" on CodigoPaciente
engine::TableSpec tableFrase();   // "Frase.db" on CodFrase
engine::TableSpec tableMed();     // "Medico.DB", read-only, active doctors only
engine::TableSpec tableSS();      // "convencao.DB"
engine::TableSpec tableTipoEx();  // "TipoExame.db"
engine::TableSpec tableConc();    // "Conclusao.DB", the standard conclusions
engine::TableSpec tablePesq();    // "Bddid.DB" read-only, for the search window

// Every stored table with all its columns and indexes, for creating a store.
std::vector<engine::TableDef> storedTables();
// The patients' index BDDIDEX_NO: by name, in the Portuguese order.
engine::IndexDef patientNameIndex();

// Tables the program adds to a store that lacks them: created by the admin
// tool with the others and, in an older store, at start-up.
engine::TableSpec tableMedida();       // "medida.DB": an exam's measurements beyond its own columns
engine::TableSpec tableDefinicao();    // "definicao.DB": the practice's settings, one value a key
engine::TableSpec tableDocRecebido();  // "DocRecebido.DB": the reports received from the echo machine
engine::TableSpec tableMedRecebida();  // "MedRecebida.DB": their values, waiting for the doctor
std::vector<engine::TableDef> addedTables();
// storedTables(), then addedTables(): everything a new store gets.
std::vector<engine::TableDef> allTables();
// Whether the stored table `fileName` is one of addedTables().
bool addedAtStartUp(const QString& fileName);
// What a store lacks of addedTables(): a whole table, or a column added to
// one of them since it was first made.
struct Change {
    engine::TableDef table;
    std::optional<engine::FieldDef> column; // none: the table itself
};
std::vector<Change> missingChanges(engine::Database& db);
void make(engine::Database& db, const Change& change);
// Makes every change of missingChanges().
void createMissingTables(engine::Database& db);

// How the exam's weight and height show, on screen and on paper: thousands
// grouped with the locale's separator, no decimals.
inline constexpr const char* measureFormat = "###,###";

// The columns of the patient table that the advanced search reads, in order.
QStringList patientSearchColumns();

} // namespace schema
