#include "data/MeasurementStore.h"

#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"

namespace measurements {

namespace {

const char* const kFormulaKey = "sc_formula";
const char* const kReferenceKey = "referencia";

const QString kExam = "where codigopaciente = :p and codigoexame = :e";

QVariantList keyParams(const ExamKey& key) { return {key.patient, key.exam}; }

} // namespace

bool available(engine::Database& db) { return db.describe(schema::tableMedida().fileName).has_value(); }

clinical::Values read(engine::Database& db, const ExamKey& key)
{
    clinical::Values values;
    if (!key.valid())
        return values;
    for (const engine::Row& row : db.query("select codigo, valor from medida " + kExam, keyParams(key)).rows)
        if (!row[1].isNull())
            values.insert(row[0].toString(), row[1].toDouble());
    return values;
}

void write(engine::Database& db, const ExamKey& key, const clinical::Values& expected, const clinical::Values& wanted)
{
    // On PostgreSQL the exam's row is locked first, so that two workstations
    // saving the same exam follow each other; SQLite's write transaction
    // already holds the whole store.
    if (db.driver().kind() == "postgres")
        db.query("select codigopaciente from eco " + kExam + " for update", keyParams(key));
    if (read(db, key) != expected)
        throw engine::RecordConflict(
            QString::fromUtf8("As medições deste exame foram alteradas por outro utilizador. As suas alterações não "
                              "foram gravadas; cancele-as para ver a versão actual."));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        if (!wanted.contains(it.key()))
            db.execute("delete from medida " + kExam + " and codigo = :c", {key.patient, key.exam, it.key()});
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QVariantList params{it.value(), key.patient, key.exam, it.key()};
        if (!expected.contains(it.key()))
            db.execute("insert into medida (valor, codigopaciente, codigoexame, codigo) values (:v, :p, :e, :c)",
                       params);
        else if (expected.value(it.key()) != it.value())
            db.execute("update medida set valor = :v " + kExam + " and codigo = :c", params);
    }
}

void remove(engine::Database& db, const ExamKey& key) { db.execute("delete from medida " + kExam, keyParams(key)); }

clinical::Practice practice(engine::Database& db)
{
    clinical::Practice chosen;
    if (!db.describe(schema::tableDefinicao().fileName))
        return chosen;
    for (const engine::Row& row : db.query("select chave, valor from definicao").rows) {
        const QString value = row[1].toString();
        if (row[0].toString() == kFormulaKey)
            chosen.formula = clinical::formulaFromKey(value).value_or(chosen.formula);
        else if (row[0].toString() == kReferenceKey)
            chosen.preferred = clinical::referenceFromKey(value).value_or(chosen.preferred);
    }
    return chosen;
}

void setPractice(engine::Database& db, const clinical::Practice& practice)
{
    const std::pair<const char*, QString> settings[] = {{kFormulaKey, clinical::formulaKey(practice.formula)},
                                                        {kReferenceKey, clinical::referenceKey(practice.preferred)}};
    db.driver().begin();
    try {
        for (const auto& [key, value] : settings) {
            db.execute("delete from definicao where chave = :k", {QString(key)});
            db.execute("insert into definicao (chave, valor) values (:k, :v)", {QString(key), value});
        }
        db.driver().commit();
    } catch (...) {
        db.driver().rollback();
        throw;
    }
}

} // namespace measurements
