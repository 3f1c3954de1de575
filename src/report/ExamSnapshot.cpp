#include "report/ExamSnapshot.h"

#include "data/DM.h"
#include "data/Field.h"
#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"

#include <cmath>

using engine::FieldType;

namespace {

// The one value `select` finds for `key`; empty when it finds no row.
QString nameByKey(engine::Database& db, const QString& select, const QVariant& key)
{
    const engine::Snapshot found = db.query(select, {key});
    return found.rows.empty() ? QString() : found.rows.front().value(0).toString();
}

// The keys are autoincrement numbers: anything else names no row.
QVariant wholeNumber(const QVariant& value)
{
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    if (!ok || d < 1 || d > 2147483647 || d != std::floor(d))
        return {};
    return int(d);
}

} // namespace

QString ExamSnapshot::title() const { return examDate.isEmpty() ? name : name + " - " + examDate; }

ExamSnapshot ExamSnapshot::fromValues(const Values& v, engine::Database& db)
{
    ExamSnapshot s;
    s.name = formatFieldValue(FieldType::String, v.nome);
    s.birthDate = formatFieldValue(FieldType::DateTime, engine::values::coerce(FieldType::DateTime, v.dnasc));
    s.age = formatFieldValue(FieldType::SmallInt, engine::values::coerce(FieldType::SmallInt, v.idade));
    s.weight = formatFieldValue(FieldType::Integer, engine::values::coerce(FieldType::Integer, v.peso),
                                schema::measureFormat);
    s.height = formatFieldValue(FieldType::SmallInt, engine::values::coerce(FieldType::SmallInt, v.altura),
                                schema::measureFormat);
    s.examDate = formatFieldValue(FieldType::Date, engine::values::coerce(FieldType::Date, v.dataExame));
    s.body = v.eco1.toString();
    if (const QVariant doctor = wholeNumber(v.executor); !doctor.isNull())
        s.doctor = nameByKey(db, "select NOME from medico where CODIGO = :c", doctor);
    if (const QVariant type = wholeNumber(v.modoD); !type.isNull())
        s.examType = nameByKey(db, "select Tipo from tipoexame where Id = :i", type);
    return s;
}

ExamSnapshot ExamSnapshot::current()
{
    if (!DataModule1)
        throw engine::EngineError("O módulo de dados ainda não existe.");
    const TDataModule1& dm = *DataModule1;
    Values v;
    v.nome = dm.TablePacNOME->value();
    v.dnasc = dm.TablePacDNASC->value();
    v.idade = dm.TableEcoIdade->value();
    v.peso = dm.TableEcoPeso->value();
    v.altura = dm.TableEcoAltura->value();
    v.dataExame = dm.TableEcoDataExame->value();
    v.eco1 = dm.TableEcoEco1->value();
    v.executor = dm.TableEcoExecutor->value();
    v.modoD = dm.TableEcoModoD->value();
    return fromValues(v, databaseNamed(dm.Database2->databaseName()));
}

ExamSnapshot ExamSnapshot::fromStore(engine::Database& db, int patient, const QString& examKey)
{
    const engine::Snapshot patients = db.query("select NOME, DNASC from bddid where NF = :n", {patient});
    if (patients.rows.empty())
        throw engine::EngineError(QString("O paciente %1 não existe.").arg(patient));
    Values v;
    v.nome = patients.rows.front().value(0);
    v.dnasc = patients.rows.front().value(1);
    if (examKey == "-")
        return fromValues(v, db);

    QDateTime key;
    for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss"})
        if (const QDateTime t = QDateTime::fromString(examKey, format); t.isValid() && !key.isValid())
            key = engine::values::wallClock(t.date(), t.time());
    if (!key.isValid())
        throw engine::EngineError(
            QString("\"%1\" não é a chave de um exame (AAAA-MM-DD HH:MM:SS.mmm, ou - para nenhum).").arg(examKey));
    const engine::Snapshot exams =
        db.query("select Idade, Peso, Altura, DataExame, Eco1, Executor, ModoD from eco"
                 " where CodigoPaciente = :p and CodigoExame = :c",
                 {double(patient), key});
    if (exams.rows.empty())
        throw engine::EngineError(QString("O paciente %1 não tem o exame %2.").arg(patient).arg(examKey));
    const engine::Row& e = exams.rows.front();
    v.idade = e.value(0);
    v.peso = e.value(1);
    v.altura = e.value(2);
    v.dataExame = e.value(3);
    v.eco1 = e.value(4);
    v.executor = e.value(5);
    v.modoD = e.value(6);
    return fromValues(v, db);
}
