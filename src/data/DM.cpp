#include "data/DM.h"

#include "data/Schema.h"
#include "platform/engine/EngineError.h"
#include "platform/ui/Application.h"

#include <QFile>

TDataModule1* DataModule1 = nullptr;

namespace {
const char* const kDatabaseName = "BDC";
const char* const kAlias = "Dorvica2";
const int kUpgradeLockWait = 2000; // milliseconds

// Whether the patient index is not yet the one of the Portuguese order (a
// store made by an earlier version). Other programs that share the patient
// table write through the store, which keeps the index: nothing of theirs
// has to change.
bool patientIndexIsOld(engine::Database& database)
{
    const engine::IndexDef wanted = schema::patientNameIndex();
    auto same = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    const std::optional<engine::TableInfo> pac = database.describe("Bddid.DB");
    for (const engine::IndexDef& index : pac ? pac->indexes : std::vector<engine::IndexDef>())
        if (!index.primary && same(index.name, wanted.name))
            return !index.nameOrder || !same(index.columns.join(','), wanted.columns.join(','));
    return false;
}
} // namespace

TDataModule1::TDataModule1(QObject* parent) : QObject(parent)
{
    setObjectName("DataModule1");
    createObjects();
    // Neither the connection nor the exam-type table is guarded: their
    // failure ends the start-up.
    Database2->open();
    if (engine::Driver& store = databaseNamed(kDatabaseName).driver(); store.readOnly())
        Application::showMessage(readOnlyNotice(store.describeTarget()));
    TableTipoEx->open();
    DataModule1Create();
}

QString TDataModule1::readOnlyNotice(const QString& store)
{
    return QString("A base de dados %1 está aberta só para leitura: o ficheiro não tem permissão de escrita."
                   "\r\rPode consultar os registos, mas nenhuma alteração será gravada.")
        .arg(store);
}

TDataModule1::~TDataModule1()
{
    // Every record set closes before the connection goes; a pending edit is lost.
    for (Dataset* d : {static_cast<Dataset*>(QueryPesqAv), static_cast<Dataset*>(Query1), static_cast<Dataset*>(TableConc),
                       static_cast<Dataset*>(TableTipoEx), static_cast<Dataset*>(TableSS), static_cast<Dataset*>(TableMed),
                       static_cast<Dataset*>(TableFrase), static_cast<Dataset*>(TableEco), static_cast<Dataset*>(TablePac)})
        d->close();
    // Before the exam table and its data source it follows go.
    delete Measurements;
    Measurements = nullptr;
    Database2->close();
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

void TDataModule1::createObjects()
{
    Database2 = new Connection("Database2", kAlias, kDatabaseName, this);
    TablePac = new Table("TablePac", kDatabaseName, schema::tablePac(), this);
    TablePac->renameField("NF", "TablePacCODIGO");
    TableEco = new Table("TableEco", kDatabaseName, schema::tableEco(), this);
    TableFrase = new Table("TableFrase", kDatabaseName, schema::tableFrase(), this);
    TableMed = new Table("TableMed", kDatabaseName, schema::tableMed(), this);
    TableSS = new Table("TableSS", kDatabaseName, schema::tableSS(), this);
    TableTipoEx = new Table("TableTipoEx", kDatabaseName, schema::tableTipoEx(), this);
    TableConc = new Table("TableConc", kDatabaseName, schema::tableConc(), this);
    Query1 = new Query("Query1", kDatabaseName, this);
    QueryPesqAv = new Query("QueryPesqAv", kDatabaseName, this);
    QueryPesqAv->setParamCheck(false);

    auto source = [this](const char* name, Dataset* dataset, bool autoEdit = true) {
        auto* s = new DataSource(name, this);
        s->setDataset(dataset);
        s->setAutoEdit(autoEdit);
        return s;
    };
    DataSourcePac = source("DataSourcePac", TablePac);
    DataSourceEco = source("DataSourceEco", TableEco, false);
    DataSourceFr = source("DataSourceFr", TableFrase);
    DataSourceMed = source("DataSourceMed", TableMed);
    DataSourceTipoEx = source("DataSourceTipoEx", TableTipoEx);
    DataSourcePesqAV = source("DataSourcePesqAV", QueryPesqAv);
    DataSourceConc = source("DataSourceConc", TableConc);

    TableEco->setMaster(DataSourcePac, "NF", "CodigoPaciente");
    attachExamRules();
    Measurements = new ExamMeasurements(TableEco, DataSourceEco, kDatabaseName, this);

    TablePacCODIGO = TablePac->fieldByName("NF");
    TablePacNOME = TablePac->fieldByName("NOME");
    TablePacDNASC = TablePac->fieldByName("DNASC");
#define VELUNOR_ECO_INIT(name) TableEco##name = TableEco->fieldByName(#name);
    VELUNOR_ECO_FIELDS(VELUNOR_ECO_INIT)
#undef VELUNOR_ECO_INIT
    TableEcoPeso->setDisplayFormat(schema::measureFormat);
    TableEcoAltura->setDisplayFormat(schema::measureFormat);
    TableFraseCodFrase = TableFrase->fieldByName("CodFrase");
    TableFraseFrase = TableFrase->fieldByName("Frase");
    TableFraseOutros = TableFrase->fieldByName("Outros");
    TableMedCODIGO = TableMed->fieldByName("CODIGO");
    TableMedNOME = TableMed->fieldByName("NOME");
    TableMedACTIVO = TableMed->fieldByName("ACTIVO");
    TableSSCODIGO = TableSS->fieldByName("CODIGO");
    TableSSSIGLA = TableSS->fieldByName("SIGLA");
    TableSSENTIDADE = TableSS->fieldByName("ENTIDADE");
    TableSSACTIVO = TableSS->fieldByName("ACTIVO");
    TableTipoExId = TableTipoEx->fieldByName("Id");
    TableTipoExTipo = TableTipoEx->fieldByName("Tipo");
    TableTipoExRelatorio = TableTipoEx->fieldByName("Relatorio");
    TableConcCodigo = TableConc->fieldByName("Codigo");
    TableConcNome = TableConc->fieldByName("Nome");
    TableConcDescricao = TableConc->fieldByName("Descricao");
}

void TDataModule1::DataModule1Create()
{
    // Stale lock-control files of an earlier run; whether they go is not checked.
    QFile::remove("Paradox.lck");
    QFile::remove("Pdoxusrs.lck");
    upgradeStore();
    Measurements->open();
    for (Table* table : {TablePac, TableSS, TableEco, TableFrase, TableMed})
        OpenGuarded(table);
    // The standard conclusions are opened like the other tables.
    OpenGuarded(TableConc);
}

void TDataModule1::upgradeStore()
{
    // Changing the store needs the exam table (or the whole SQLite file) to
    // itself: while another workstation is writing, a statement would wait
    // for it. So each change runs only when it is missing, and waits briefly;
    // one that fails is tried again at the next start.
    engine::Database& database = databaseNamed(kDatabaseName);
    std::vector<schema::Change> missing;
    bool addTechnician = false;
    bool widenWeight = false;
    bool reindexPatients = false;
    try {
        const std::optional<engine::TableInfo> eco = database.describe("eco.DB");
        addTechnician = eco && !eco->column("tecnico");
        // SQLite's small-integer column already holds any weight.
        const engine::StoredColumn* peso = eco ? eco->column("Peso") : nullptr;
        widenWeight = peso && peso->type == engine::FieldType::SmallInt && database.driver().kind() != "sqlite";
        missing = schema::missingChanges(database);
        reindexPatients = patientIndexIsOld(database);
        if (!addTechnician && !widenWeight && missing.empty() && !reindexPatients)
            return;
        database.driver().setLockWait(kUpgradeLockWait);
    } catch (const engine::EngineError&) {
        return; // as quiet as the upgrade itself
    }
    if (addTechnician)
        RunSqlQuietly("alter table eco add tecnico integer");
    if (widenWeight)
        RunSqlQuietly("alter table eco alter column Peso type integer");
    for (const schema::Change& change : missing) {
        try {
            schema::make(database, change);
        } catch (const engine::EngineError&) {
        }
    }
    if (reindexPatients) {
        try {
            database.replaceIndex("Bddid.DB", schema::patientNameIndex());
        } catch (const engine::EngineError&) {
        }
    }
    try {
        database.driver().setLockWait(-1);
    } catch (const engine::EngineError&) {
    }
}

bool TDataModule1::ExecuteSql(const QString& text, const QVariant& value, bool open)
{
    Query1->close();
    Query1->setSql(text);
    Query1->clearParams();
    if (!value.isNull())
        Query1->addParam(value);
    if (open) {
        Query1->open();
        return Query1->recordCount() != 0;
    }
    Query1->execSql();
    return false;
}

void TDataModule1::RunSqlQuietly(const QString& text)
{
    try {
        ExecuteSql(text, QVariant(), false);
    } catch (...) {
    }
}

QString TDataModule1::openWarning(const QString& name)
{
    return QString::fromUtf8("ATENÇÃO:\r\rErro ao abrir «« ") + name + QString::fromUtf8(" »»");
}

void TDataModule1::OpenGuarded(QObject* object)
{
    QString name;
    try {
        if (auto* database = qobject_cast<Connection*>(object)) {
            name = database->aliasName();
            database->open();
        } else if (auto* table = qobject_cast<Table*>(object)) {
            name = table->spec().fileName;
            table->open();
        } else if (auto* query = qobject_cast<Query*>(object)) {
            name = query->objectName();
            query->open();
        }
    } catch (...) {
        Application::showMessage(openWarning(name));
    }
}
