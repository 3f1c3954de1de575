#include "data/Schema.h"

#include "platform/engine/Database.h"

using engine::FieldDef;
using engine::FieldType;
using engine::IndexDef;
using engine::TableDef;
using engine::TableSpec;

namespace schema {

namespace {

FieldDef field(const char* name, FieldType type, int size = 0, const char* label = "", bool required = false)
{
    return FieldDef{name, type, size, required, QString::fromUtf8(label)};
}

FieldDef text(const char* name, int size, const char* label = "") { return field(name, FieldType::String, size, label); }

TableDef withKey(const TableSpec& spec, QStringList primary, std::vector<IndexDef> more = {})
{
    TableDef def{spec.fileName, spec.fields, {}};
    def.indexes.push_back({QString(), std::move(primary), true});
    for (IndexDef& index : more)
        def.indexes.push_back(std::move(index));
    return def;
}

} // namespace

TableSpec tablePac()
{
    TableSpec spec;
    spec.fileName = "Bddid.DB";
    spec.fields = {field("NF", FieldType::AutoInc), text("NOME", 50), field("DNASC", FieldType::DateTime)};
    spec.indexName = "BDDIDEX_NO";
    return spec;
}

TableSpec tableEco()
{
    const FieldType F = FieldType::Float;
    const FieldType B = FieldType::Boolean;
    const FieldType M = FieldType::Memo;
    TableSpec spec;
    spec.fileName = "eco.DB";
    spec.indexField = "CodigoPaciente";
    spec.fields = {
        field("CodigoPaciente", F, 0, "", true),
        field("CodigoExame", FieldType::DateTime, 0, "", true),
        text("Medico", 60),
        field("Idade", FieldType::SmallInt),
        field("Peso", FieldType::Integer), // grams: an adolescent weighs more than a small integer holds
        field("Altura", FieldType::SmallInt),
        field("DataExame", FieldType::Date),
        field("Vd", F, 0, "Ventrículo Direito"),
        field("Ved", F, 0, "Diástole"),
        field("Ves", F, 0, "Sístole"),
        field("Fenc", F, 0, "Fracção de Encurtamento"),
        field("Fe", F, 0, "Fracção de Ejecção"),
        field("Pp", F, 0, "Espess. Parede Post."),
        field("Siv", F, 0, "Septo Interv."),
        field("Ae", F),
        field("Ao", F, 0, "Aorta"),
        field("Gradveaomax", F, 0, "máximo"),
        field("Gradveaomin", F, 0, "médio"),
        field("Areavm", F, 0, "Área"),
        field("Vptac", F, 0, "Tac"),
        field("Vptactevd", F, 0, "Tac / TEVD"),
        text("ModoD", 50, "Doppler"),
        text("Qte", 8, "Qualidade Técnica do Exame"),
        text("InfoCl", 50, "Info. Clínica"),
        field("VMGradMx", F, 0, "Válv.Mitral Grad. máx."),
        field("VMGradMd", F, 0, "Válv.Mitral Grad. méd"),
        field("Executor", F),
        field("OrdSeg", B),
        field("OrdSeg1", M),
    };
    for (const char* name : {"Dcc", "Dccae", "Dccad", "Dccvd", "Dccve", "Vcn", "Vceem", "Vceea", "Vceep", "Vceet",
                             "Vcmm", "Vcma", "Vcmp", "VcmT"})
        spec.fields.push_back(field(name, B));
    spec.fields.push_back(field("Vc1", M));
    for (const char* name : {"Cvn", "Cvd", "Cvm", "Cvc", "Asd", "Pn", "Pdp", "Pdm", "Pdg", "Econ", "Ecoa"})
        spec.fields.push_back(field(name, B));
    spec.fields.push_back(field("Eco1", M));
    spec.fields.push_back(field("tecnico", FieldType::Integer));
    return spec;
}

TableSpec tableFrase()
{
    TableSpec spec;
    spec.fileName = "Frase.db";
    spec.fields = {field("CodFrase", FieldType::AutoInc), text("Frase", 200), text("Outros", 200)};
    spec.indexField = "CodFrase";
    return spec;
}

TableSpec tableMed()
{
    TableSpec spec;
    spec.fileName = "Medico.DB";
    spec.fields = {field("CODIGO", FieldType::AutoInc), text("NOME", 50), field("ACTIVO", FieldType::Boolean)};
    spec.readOnly = true;
    spec.filter = "activo = true";
    return spec;
}

TableSpec tableSS()
{
    TableSpec spec;
    spec.fileName = "convencao.DB";
    spec.fields = {field("CODIGO", FieldType::AutoInc), text("SIGLA", 10), text("ENTIDADE", 80),
                   field("ACTIVO", FieldType::Boolean)};
    return spec;
}

TableSpec tableTipoEx()
{
    TableSpec spec;
    spec.fileName = "TipoExame.db";
    spec.fields = {field("Id", FieldType::AutoInc), text("Tipo", 255, "Tipo de Exame"),
                   field("Relatorio", FieldType::Memo, 0, "Relatório")};
    return spec;
}

TableSpec tableConc()
{
    TableSpec spec;
    spec.fileName = "Conclusao.DB";
    spec.fields = {field("Codigo", FieldType::AutoInc), text("Nome", 60, "Tipo de Conclusão"),
                   field("Descricao", FieldType::Memo)};
    return spec;
}

TableSpec tablePesq()
{
    TableSpec spec;
    spec.fileName = "Bddid.DB";
    spec.fields = {field("NF", FieldType::AutoInc), text("NOME", 50)};
    spec.indexName = "BDDIDEX_NO";
    spec.readOnly = true;
    return spec;
}

QStringList patientSearchColumns()
{
    return {"NF",    "NOME",     "MORADA",  "DNASC", "NATUR",   "D1CONS", "TELEF",    "PROF",      "ESTADO",  "RECOMEND",
            "BENIFIC", "IDADE",  "BENIF",   "CPOSTAL", "CIDADE", "SEXO",  "NCONTRIB", "NCONS",     "PERUTENTE", "CENTROS",
            "NCENTROS"};
}

engine::IndexDef patientNameIndex()
{
    // The name, the birth date and the number are in the index too, so that
    // the patient list reads from the index alone, in its order; names with
    // the same key follow each other as stored, then by birth date.
    return {"BDDIDEX_NO", {"NOME", "DNASC", "NF"}, false, true};
}

std::vector<TableDef> storedTables()
{

    TableDef patients = withKey(tablePac(), {"NF"}, {patientNameIndex()});
    const FieldType S = FieldType::String;
    patients.columns = {
        field("NF", FieldType::AutoInc),    text("NOME", 50),          text("MORADA", 80),
        field("DNASC", FieldType::DateTime), text("NATUR", 40),         field("D1CONS", FieldType::Date),
        text("TELEF", 20),                  text("PROF", 40),          text("ESTADO", 15),
        text("RECOMEND", 50),               text("BENIFIC", 50),       field("IDADE", FieldType::SmallInt),
        text("BENIF", 20),                  text("CPOSTAL", 10),       text("CIDADE", 40),
        field("SEXO", S, 1),                text("NCONTRIB", 12),      field("NCONS", FieldType::Integer),
        field("PERUTENTE", FieldType::SmallInt), text("CENTROS", 40),  text("NCENTROS", 20),
    };

    return {
        patients,
        withKey(tableEco(), {"CodigoPaciente", "CodigoExame"}, {{"ECOEX_DATA", {"DataExame"}, false}}),
        withKey(tableFrase(), {"CodFrase"}),
        withKey(tableMed(), {"CODIGO"}),
        withKey(tableSS(), {"CODIGO"}),
        withKey(tableTipoEx(), {"Id"}),
        withKey(tableConc(), {"Codigo"}),
    };
}

TableSpec tableMedida()
{
    TableSpec spec;
    spec.fileName = "medida.DB";
    // The exam's own key, then the site's code (see clinical/Sites.h).
    spec.fields = {field("CodigoPaciente", FieldType::Float, 0, "", true),
                   field("CodigoExame", FieldType::DateTime, 0, "", true), field("Codigo", FieldType::String, 20, "", true),
                   field("Valor", FieldType::Float)};
    spec.indexField = "CodigoPaciente";
    return spec;
}

TableSpec tableDefinicao()
{
    TableSpec spec;
    spec.fileName = "definicao.DB";
    spec.fields = {field("Chave", FieldType::String, 40, "", true), text("Valor", 100)};
    return spec;
}

TableSpec tableDocRecebido()
{
    // One row per document, by its SOP Instance UID: a document received
    // twice is kept once. The patient (NF) and the exam (CodigoExame) it
    // belongs to are empty while it is not matched; Aplicado is when the
    // doctor saved its values into that exam, empty until then.
    const FieldType D = FieldType::Date;
    TableSpec spec;
    spec.fileName = "DocRecebido.DB";
    spec.fields = {text("SopUid", 64), text("PacienteId", 64), text("Nome", 200), field("DataNasc", D),
                   field("DataEstudo", D), text("HoraEstudo", 8), field("Recebido", FieldType::DateTime),
                   text("Origem", 120), field("CodigoPaciente", FieldType::Float),
                   field("CodigoExame", FieldType::DateTime), text("Nota", 250),
                   field("Aplicado", FieldType::DateTime)};
    return spec;
}

TableSpec tableMedRecebida()
{
    // A value kept under a site code (Codigo) is in millimetres; one that
    // is not used keeps its own value and unit, and Nota says why.
    TableSpec spec;
    spec.fileName = "MedRecebida.DB";
    spec.fields = {text("SopUid", 64), field("Ordem", FieldType::Integer), text("Codigo", 20),
                   field("Valor", FieldType::Float), text("Unidade", 20), text("Conceito", 250), text("Nota", 250)};
    return spec;
}

std::vector<TableDef> addedTables()
{
    return {withKey(tableMedida(), {"CodigoPaciente", "CodigoExame", "Codigo"}), withKey(tableDefinicao(), {"Chave"}),
            withKey(tableDocRecebido(), {"SopUid"}, {{"DOCRECEBIDO_EXAME", {"CodigoPaciente", "CodigoExame"}, false}}),
            withKey(tableMedRecebida(), {"SopUid", "Ordem"})};
}

bool addedAtStartUp(const QString& fileName)
{
    for (const TableDef& def : addedTables())
        if (def.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::vector<TableDef> allTables()
{
    std::vector<TableDef> all = storedTables();
    for (TableDef& def : addedTables())
        all.push_back(std::move(def));
    return all;
}

std::vector<Change> missingChanges(engine::Database& db)
{
    std::vector<Change> changes;
    for (const TableDef& def : addedTables()) {
        const std::optional<engine::TableInfo> stored = db.describe(def.fileName);
        if (!stored) {
            changes.push_back({def, std::nullopt});
            continue;
        }
        for (const FieldDef& column : def.columns)
            if (!stored->column(column.name))
                changes.push_back({def, column});
    }
    return changes;
}

void make(engine::Database& db, const Change& change)
{
    if (change.column)
        db.addColumn(change.table.fileName, *change.column);
    else
        db.createTable(change.table);
}

void createMissingTables(engine::Database& db)
{
    for (const Change& change : missingChanges(db))
        make(db, change);
}

} // namespace schema
