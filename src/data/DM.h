#pragma once

#include "data/Connection.h"
#include "data/DataSource.h"
#include "data/ExamMeasurements.h"
#include "data/Query.h"
#include "data/Table.h"

#include <QObject>
#include <functional>

// The exam table's declared fields, in order; each is a member TableEco<name>.
#define VELUNOR_ECO_FIELDS(X)                                                                                         \
    X(CodigoPaciente) X(CodigoExame) X(Medico) X(Idade) X(Peso) X(Altura) X(DataExame) X(Vd) X(Ved) X(Ves) X(Fenc)  \
    X(Fe) X(Pp) X(Siv) X(Ae) X(Ao) X(Gradveaomax) X(Gradveaomin) X(Areavm) X(Vptac) X(Vptactevd) X(ModoD) X(Qte)    \
    X(InfoCl) X(VMGradMx) X(VMGradMd) X(Executor) X(OrdSeg) X(OrdSeg1) X(Dcc) X(Dccae) X(Dccad) X(Dccvd) X(Dccve)   \
    X(Vcn) X(Vceem) X(Vceea) X(Vceep) X(Vceet) X(Vcmm) X(Vcma) X(Vcmp) X(VcmT) X(Vc1) X(Cvn) X(Cvd) X(Cvm) X(Cvc)    \
    X(Asd) X(Pn) X(Pdp) X(Pdm) X(Pdg) X(Econ) X(Ecoa) X(Eco1) X(tecnico)

// The data module: the one connection and every table, query and data
// source of the program, with their fields as named members. Building it
// connects and opens the exam-type table (errors there end the start-up);
// its start-up handler then removes stale lock files, upgrades the exam
// table and opens the other tables, warning about each one that fails.
class TDataModule1 : public QObject {
    Q_OBJECT
public:
    explicit TDataModule1(QObject* parent = nullptr);
    ~TDataModule1() override;

    Connection* Database2;
    Table* TablePac;
    Table* TableEco;
    Table* TableFrase;
    Table* TableMed;
    Table* TableSS;
    Table* TableTipoEx;
    Table* TableConc; // the standard conclusions
    Query* Query1;
    Query* QueryPesqAv;

    DataSource* DataSourcePac;
    DataSource* DataSourceEco;
    DataSource* DataSourceFr;
    DataSource* DataSourceMed;
    DataSource* DataSourceTipoEx;
    DataSource* DataSourcePesqAV;
    DataSource* DataSourceConc;

    // The current exam's measurements, saved and deleted with the exam.
    ExamMeasurements* Measurements;

    Field* TablePacCODIGO; // the patient's NF
    Field* TablePacNOME;
    Field* TablePacDNASC;
#define VELUNOR_ECO_MEMBER(name) Field* TableEco##name;
    VELUNOR_ECO_FIELDS(VELUNOR_ECO_MEMBER)
#undef VELUNOR_ECO_MEMBER
    Field* TableFraseCodFrase;
    Field* TableFraseFrase;
    Field* TableFraseOutros;
    Field* TableMedCODIGO;
    Field* TableMedNOME;
    Field* TableMedACTIVO;
    Field* TableSSCODIGO;
    Field* TableSSSIGLA;
    Field* TableSSENTIDADE;
    Field* TableSSACTIVO;
    Field* TableTipoExId;
    Field* TableTipoExTipo;
    Field* TableTipoExRelatorio;
    Field* TableConcCodigo;
    Field* TableConcNome;
    Field* TableConcDescricao;

    // The start-up handler: lock files, the technician column, the
    // measurement tables and the patients' order, the guarded openings.
    void DataModule1Create();
    // Runs one statement on Query1; with `open`, true when its result holds a record.
    bool ExecuteSql(const QString& text, const QVariant& value, bool open);
    // ExecuteSql without a value and without a result; every error is dropped.
    void RunSqlQuietly(const QString& text);
    // Opens a connection, table or query; a failure shows the warning naming
    // it and returns normally, leaving it closed.
    void OpenGuarded(QObject* object);
    static QString openWarning(const QString& name);
    // Shown at start-up when the store takes only reads.
    static QString readOnlyNotice(const QString& store);

    // The exam rules, on the record events of TableEco.
    void TableEcoBeforeInsert();
    void TableEcoAfterInsert();
    void TableEcoBeforeEdit();
    void TableEcoAfterPost();
    // Age in months: days between the birth and today, either way, over 30.4375.
    static int ageInMonths(const QDateTime& birth, const QDate& today);

signals:
    // An exam has been saved: the report editor releases its format buttons.
    void examPosted();

private:
    void createObjects();
    // Adds the technician column to an exam table that lacks it, and the
    // tables the program adds (measurements, settings, received reports) or
    // their newer columns to a store that lacks them; makes a patient index
    // that predates the Portuguese order again.
    void upgradeStore();
    void attachExamRules();
};

// The program-wide reference to the data module.
extern TDataModule1* DataModule1;
