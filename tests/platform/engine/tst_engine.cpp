#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Schema.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/StoredTable.h"
#include "platform/engine/Values.h"

#include <QFile>
#include <QTest>

using engine::Database;
using engine::EngineError;
using engine::FieldType;
using engine::StoredTable;
using engine::values::wallClock;

namespace {

// The advanced patient search statement for a search text, built as the
// search window builds it: 21 columns, each upper-cased and compared with
// like to "%TEXT%".
QString advancedSearch(const QString& text)
{
    const QString pattern = "%" + text.toUpper() + "%";
    QString sql = "select NF,NOME,MORADA,DNASC,NATUR,D1CONS,TELEF,PROF,ESTADO,RECOMEND,BENIFIC,IDADE,BENIF,CPOSTAL,"
                  "CIDADE,SEXO,NCONTRIB,NCONS,PERUTENTE,CENTROS,NCENTROS from bddid where "
                  "Upper(Cast(NF as char(10))) like '"
        + pattern + "'";
    const char* joints[] = {" or Upper(NOME) like ", " or Upper(MORADA) like ",
                            " or Upper(Cast(DNASC as Char(10))) like ", " or Upper(NATUR) like ",
                            " or Upper(Cast(D1CONS as Char(10))) like ", " or Upper(TELEF) like ",
                            " or Upper(PROF) like ", " or Upper(ESTADO) like ", " or Upper(RECOMEND) like ",
                            " or Upper(BENIFIC) like ", " or Upper(Cast(IDADE as Char(3))) like ",
                            " or Upper(BENIF) like ", " or Upper(CPOSTAL) like ", " or Upper(CIDADE) like ",
                            " or Upper(SEXO) like ", " or Upper(NCONTRIB) like ",
                            " or Upper(Cast(NCONS as Char(3))) like ", " or Upper(Cast(PERUTENTE as Char(3))) like ",
                            " or Upper(CENTROS) like ", " or Upper(NCENTROS) like "};
    for (const char* joint : joints)
        sql += QString::fromUtf8(joint) + "'" + pattern + "'";
    return sql;
}

const char* const kExamsByDate =
    "select dataexame, codigoexame, nf, bddid.nome,  medico.nome, medico from eco, bddid, medico where nf = "
    "eco.codigopaciente and medico.codigo = executor order by dataexame desc";

QStringList names(const engine::Snapshot& s, int column)
{
    QStringList out;
    for (const auto& row : s.rows)
        out << row[column].toString();
    return out;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<Database> db;

    int addPatient(const QString& name, const QVariant& birth = QVariant())
    {
        StoredTable pac(*db, schema::tablePac());
        return pac.insert({QVariant(), name, birth}).front().toInt();
    }

    void addExam(int patient, const QDateTime& stamp, const QVariant& executor, const QString& requester = {})
    {
        StoredTable eco(*db, schema::tableEco());
        engine::Row row(int(schema::tableEco().fields.size()));
        row[0] = double(patient);
        row[1] = stamp;
        row[2] = requester.isEmpty() ? QVariant() : QVariant(requester);
        row[6] = stamp.date();
        row[eco.spec().indexOf("Executor")] = executor;
        eco.insert(row);
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        db = store->connect("BDC");
    }

    void cleanup()
    {
        db.reset();
        store.reset();
    }

    void connectionErrorsNameTheAliasAndTheCause()
    {
        auto failure = [](const engine::Alias& alias) {
            try {
                Database::connect(alias, "ELSEWHERE");
            } catch (const EngineError& e) {
                return e.text();
            }
            return QString();
        };
        engine::Alias missingDir{"Sem", "sqlite", {{"path", "/nonexistent/velunor"}}};
        QVERIFY(failure(missingDir).contains("Alias 'Sem'"));
        QVERIFY(failure(missingDir).contains("/nonexistent/velunor"));
        engine::Alias noStore{"Vazio", "sqlite", {{"path", QDir::tempPath()}}};
        QVERIFY(failure(noStore).contains("não contém uma base de dados"));
        engine::Alias unknown{"Outro", "paradox", {}};
        QVERIFY(failure(unknown).contains("'paradox'"));
        engine::Alias unreachable{"Longe", "postgres", {{"host", "127.0.0.1"}, {"port", "1"}, {"database", "x"}}};
        QVERIFY(failure(unreachable).contains("Alias 'Longe'"));
        QVERIFY(failure(unreachable).contains("127.0.0.1:1/x"));
        try {
            Database::connect("NaoExiste", "ELSEWHERE");
            QFAIL("connected");
        } catch (const EngineError& e) {
            QVERIFY(e.text().contains("'NaoExiste' não está registado"));
        }
    }

    void openingChecksFieldsTypesAndIndexes()
    {
        QVERIFY(StoredTable::problems(*db, schema::tableEco()).isEmpty());

        auto missingField = schema::tablePac();
        missingField.fields.push_back({"PESO", FieldType::Integer});
        QCOMPARE(StoredTable::problems(*db, missingField),
                 QStringList{"A tabela \"Bddid.DB\" não tem o campo PESO."});

        auto wrongType = schema::tablePac();
        wrongType.fields[2].type = FieldType::Date; // DNASC is a date-time
        QVERIFY(StoredTable::problems(*db, wrongType).first().contains("DNASC"));
        auto wrongKind = schema::tableMed();
        wrongKind.fields[2].type = FieldType::Integer; // ACTIVO is a boolean
        QVERIFY(!StoredTable::problems(*db, wrongKind).isEmpty());
        auto autoIncIsNotInteger = schema::tableEco();
        autoIncIsNotInteger.fields.back().type = FieldType::AutoInc; // tecnico is a plain integer
        QVERIFY(!StoredTable::problems(*db, autoIncIsNotInteger).isEmpty());

        auto missingIndex = schema::tablePac();
        missingIndex.indexName = "BDDIDEX_NASC";
        QVERIFY(StoredTable::problems(*db, missingIndex).first().contains("BDDIDEX_NASC"));
        auto missingLeading = schema::tableEco();
        missingLeading.indexField = "Executor";
        QVERIFY(StoredTable::problems(*db, missingLeading).first().contains("Executor"));

        auto missingTable = schema::tableFrase();
        missingTable.fileName = "Frases.db";
        QCOMPARE(StoredTable::problems(*db, missingTable), QStringList{"A tabela \"Frases.db\" não existe."});
        try {
            StoredTable table(*db, missingTable);
            QFAIL("opened");
        } catch (const EngineError& e) {
            QVERIFY(e.text().contains("Frases.db"));
        }
    }

    void indexOrderRangeAndFilter()
    {
        const int zeca = addPatient("ZECA");
        const int ana = addPatient("ANA");
        addPatient("MARIA");
        addPatient("");
        StoredTable pac(*db, schema::tablePac());
        pac.insert({QVariant(), QVariant(), QVariant()}); // no name at all: first on every store
        QStringList order;
        for (const auto& r : pac.read())
            order << (r.values[1].isNull() ? "(null)" : r.values[1].toString());
        QCOMPARE(order, (QStringList{"(null)", "", "ANA", "MARIA", "ZECA"}));

        addExam(zeca, wallClock(QDate(2026, 1, 2), QTime(10, 0)), QVariant());
        addExam(ana, wallClock(QDate(2026, 1, 3), QTime(10, 0)), QVariant());
        addExam(zeca, wallClock(QDate(2026, 1, 1), QTime(9, 0)), QVariant());
        StoredTable eco(*db, schema::tableEco());
        QCOMPARE(eco.rangeField().toLower(), QString("codigopaciente"));
        const auto exams = eco.read(QVariant(double(zeca)));
        QCOMPARE(int(exams.size()), 2);
        QCOMPARE(exams[0].values[1].toDateTime(), wallClock(QDate(2026, 1, 1), QTime(9, 0)));
        QVERIFY(eco.read(QVariant()).empty()); // a patient without NF has no exams

        db->execute("insert into medico (nome, activo) values ('ACTIVO', true), ('INACTIVO', false)");
        StoredTable med(*db, schema::tableMed());
        const auto doctors = med.read();
        QCOMPARE(int(doctors.size()), 1);
        QCOMPARE(doctors[0].values[1].toString(), QString("ACTIVO"));
        QVERIFY_THROWS_EXCEPTION(EngineError, med.insert({QVariant(), "NOVO", true}));
    }

    void writesAssignAutoIncrementAndKeepValues()
    {
        StoredTable pac(*db, schema::tablePac());
        const QDateTime birth = wallClock(QDate(2020, 2, 29), QTime(13, 45, 7, 123));
        const auto first = pac.insert({QVariant(), "JOÃO D'ÁVILA", birth});
        const auto second = pac.insert({QVariant(), "ÍRIS", QVariant()});
        const auto a = pac.read(first);
        const auto b = pac.read(second);
        QVERIFY(a && b);
        QCOMPARE(b->values[0].toInt(), a->values[0].toInt() + 1);
        QCOMPARE(a->values[1].toString(), QString("JOÃO D'ÁVILA"));
        QCOMPARE(a->values[2].toDateTime(), birth);
        QVERIFY(b->values[2].isNull());

        // deleted numbers are not handed out again
        pac.remove(*b);
        QVERIFY(!pac.read(second));
        const auto third = pac.insert({QVariant(), "TERCEIRO", QVariant()});
        QCOMPARE(pac.read(third)->values[0].toInt(), a->values[0].toInt() + 2);

        const auto changed = pac.update(*a, {a->values[0], "JOANA", birth}, {false, true, false});
        QCOMPARE(pac.read(changed)->values[1].toString(), QString("JOANA"));
    }

    // A record is read; another user then stores a different value in one
    // of its fields. Every value must match itself exactly as it was read
    // (no false alarm), and the slightest change elsewhere must be seen.
    void aWriteFindsTheRecordOnlyAsItWasRead_data()
    {
        QTest::addColumn<bool>("exam");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("read");
        QTest::addColumn<QVariant>("other");
        const QDateTime birth = wallClock(QDate(2020, 2, 29), QTime(13, 45, 7, 123));
        QString report = "{\\rtf1 ";
        while (report.size() < 300'000)
            report += "Relatório: ventrículo esquerdo normal. ";
        QTest::newRow("date-time, to the millisecond") << false << "DNASC" << QVariant(birth)
                                                       << QVariant(birth.addMSecs(1));
        QTest::newRow("empty, then a value") << false << "DNASC" << QVariant() << QVariant(birth);
        QTest::newRow("float, last bit") << true << "Vd" << QVariant(0.1 + 0.2) << QVariant(0.3);
        QTest::newRow("date") << true << "DataExame" << QVariant(QDate(2026, 1, 5)) << QVariant(QDate(2026, 1, 6));
        QTest::newRow("boolean") << true << "Econ" << QVariant(true) << QVariant(false);
        QTest::newRow("text, then empty") << true << "Medico" << QVariant("Dr. Sá") << QVariant();
        QTest::newRow("memo, last character") << true << "Eco1" << QVariant(report + "}")
                                              << QVariant(report + " }");
    }
    void aWriteFindsTheRecordOnlyAsItWasRead()
    {
        QFETCH(bool, exam);
        QFETCH(QString, field);
        QFETCH(QVariant, read);
        QFETCH(QVariant, other);
        const engine::TableSpec spec = exam ? schema::tableEco() : schema::tablePac();
        const int column = spec.indexOf(field);
        const int edited = spec.indexOf(exam ? "Idade" : "NOME");
        auto edit = [](StoredTable& table, const engine::Record& old, int at, const QVariant& value) {
            engine::Row values = old.values;
            values[at] = value;
            QVector<bool> changed(values.size(), false);
            changed[at] = true;
            return *table.read(table.update(old, values, changed));
        };
        StoredTable mine(*db, spec);
        engine::Row row(int(spec.fields.size()));
        if (exam) {
            row[0] = 7.0;
            row[1] = wallClock(QDate(2026, 1, 5), QTime(9, 0));
        }
        row[column] = read;
        const engine::Record saved =
            edit(mine, *mine.read(mine.insert(row)), edited, exam ? QVariant(3) : QVariant("ANA"));
        QCOMPARE(saved.values[column], read);

        auto otherDb = store->connect("OTHER");
        StoredTable theirs(*otherDb, spec);
        edit(theirs, *theirs.read(saved.identity), column, other);
        try {
            edit(mine, saved, edited, exam ? QVariant(4) : QVariant("RUI"));
            QFAIL("overwrote another user's change");
        } catch (const engine::RecordConflict& e) {
            QVERIFY2(e.text().startsWith("O registo foi alterado por outro utilizador."), qPrintable(e.text()));
        }
        QVERIFY_THROWS_EXCEPTION(engine::RecordConflict, mine.remove(saved));
        QCOMPARE(mine.read(saved.identity)->values[edited], saved.values[edited]);
    }

    void aWriteOfARecordDeletedOrSavedAlikeElsewhere()
    {
        StoredTable pac(*db, schema::tablePac());
        const auto asRead = *pac.read(pac.insert({QVariant(), "ANA", QVariant()}));
        auto otherDb = store->connect("OTHER");
        StoredTable theirs(*otherDb, schema::tablePac());
        const engine::Row rui{asRead.values[0], "RUI", QVariant()};
        // Someone (or an earlier try whose answer was lost) saved this very
        // edit already: nothing is lost, the save goes through.
        theirs.update(asRead, rui, {false, true, false});
        QCOMPARE(pac.update(asRead, rui, {false, true, false}), asRead.identity);
        theirs.remove(*theirs.read(asRead.identity));
        try {
            pac.update(asRead, {asRead.values[0], "BIA", QVariant()}, {false, true, false});
            QFAIL("saved a deleted record");
        } catch (const engine::RecordConflict& e) {
            QCOMPARE(e.text(), QString("O registo da tabela \"Bddid.DB\" foi apagado por outro utilizador; "
                                       "as alterações não foram gravadas."));
        }
        pac.remove(asRead); // gone already: no error
    }

    void memoHoldsLongTextAndRequiredFieldsAreRefused()
    {
        StoredTable eco(*db, schema::tableEco());
        const int eco1 = eco.spec().indexOf("Eco1");
        engine::Row row(int(eco.spec().fields.size()));
        row[0] = 7.0;
        row[1] = wallClock(QDate(2026, 3, 4), QTime(11, 22, 33, 444));
        QString report;
        while (report.size() < 1'000'000)
            report += "Relatório com acentuação: ção, ã, é, «», €\t\n";
        row[eco1] = report;
        const auto id = eco.insert(row);
        QCOMPARE(eco.read(id)->values[eco1].toString(), report);
        QCOMPARE(eco.read(id)->values[1], row[1]);

        row[1] = QVariant();
        try {
            eco.insert(row);
            QFAIL("saved without CodigoExame");
        } catch (const EngineError& e) {
            QCOMPARE(e.text(), QString("Field 'CodigoExame' must have a value"));
        }
    }

    void examsByDateListsOnlyJoinedExamsNewestFirst()
    {
        const int ana = addPatient("ANA");
        const int rui = addPatient("RUI");
        db->execute("insert into medico (nome, activo) values ('DRA. ACTIVA', true), ('DR. INACTIVO', false)");
        addExam(ana, wallClock(QDate(2026, 1, 1), QTime(9, 0)), 1.0, "Pediatra");
        addExam(rui, wallClock(QDate(2026, 2, 1), QTime(9, 0)), 2.0);
        addExam(rui, wallClock(QDate(2026, 3, 1), QTime(9, 0)), QVariant()); // no doctor: not listed
        addExam(ana, wallClock(QDate(2026, 4, 1), QTime(9, 0)), 9.0);        // unknown doctor: not listed
        addExam(99, wallClock(QDate(2026, 5, 1), QTime(9, 0)), 1.0);         // no patient: not listed

        const auto result = db->query(kExamsByDate);
        QCOMPARE(result.columns,
                 (QStringList{"dataexame", "codigoexame", "nf", "nome", "nome_1", "medico"}));
        QCOMPARE(result.recordCount(), 2);
        QCOMPARE(result.rows[0][0].toDate(), QDate(2026, 2, 1));
        QCOMPARE(result.rows[0][3].toString(), QString("RUI"));
        QCOMPARE(result.rows[0][4].toString(), QString("DR. INACTIVO"));
        QCOMPARE(result.rows[1][5].toString(), QString("Pediatra"));
        QCOMPARE(result.rows[1][1].toDateTime(), wallClock(QDate(2026, 1, 1), QTime(9, 0)));
        QCOMPARE(result.rows[1][2].toInt(), ana);
    }

    void advancedSearchMatchesAnyColumnAsText()
    {
        const int joao = addPatient("JOÃO D'AVILA", wallClock(QDate(2019, 3, 14), QTime(0, 0)));
        addPatient("maria silva");
        db->execute("update bddid set cidade = 'Porto', idade = 123, telef = '912345678', d1cons = :d where nf = "
                        + QString::number(joao),
                    {QDate(2023, 12, 8)});

        const auto all = db->query(advancedSearch(""));
        QCOMPARE(all.recordCount(), 2);
        QCOMPARE(all.columns, schema::patientSearchColumns());
        QCOMPARE(names(db->query(advancedSearch("silva")), 1), QStringList{"maria silva"});
        QCOMPARE(names(db->query(advancedSearch("porto")), 1), QStringList{"JOÃO D'AVILA"});
        // dates read as the program shows them, not as stored
        QCOMPARE(names(db->query(advancedSearch("14/03/2019")), 1), QStringList{"JOÃO D'AVILA"});
        QCOMPARE(names(db->query(advancedSearch("08/12/2023")), 1), QStringList{"JOÃO D'AVILA"});
        QCOMPARE(db->query(advancedSearch("2019-03")).recordCount(), 0);
        const auto cast = db->query("select cast(dnasc as char(16)), cast(d1cons as char(10)) from bddid where nf = :n",
                                    {joao});
        QCOMPARE(cast.rows[0], (engine::Row{"14/03/2019 00:00", "08/12/2023"}));
        QCOMPARE(names(db->query(advancedSearch("s%va")), 1), QStringList{"maria silva"});
        QCOMPARE(db->query(advancedSearch("1234")).recordCount(), 1); // the phone number, not the age
        // the age is cast to three characters
        QCOMPARE(names(db->query(advancedSearch("123")), 1), QStringList{"JOÃO D'AVILA"});
        // a doubled quote inside the pattern finds the apostrophe
        QCOMPARE(names(db->query(advancedSearch("D''AVILA")), 1), QStringList{"JOÃO D'AVILA"});
        // a colon is not a parameter
        QCOMPARE(db->query(advancedSearch("a:b")).recordCount(), 0);
    }

    void upperAndLowerMapEveryLetterAsPostgresDoes()
    {
        addPatient("joão conceição");
        addPatient("Ângela à beira da sé, avô");
        addPatient("ANA");
        const auto mapped = db->query("select upper(nome), lower(nome) from bddid order by nf");
        QCOMPARE(names(mapped, 0), (QStringList{"JOÃO CONCEIÇÃO", "ÂNGELA À BEIRA DA SÉ, AVÔ", "ANA"}));
        QCOMPARE(names(mapped, 1), (QStringList{"joão conceição", "ângela à beira da sé, avô", "ana"}));
        QCOMPARE(names(db->query("select nome from bddid where Upper(NOME) like '%CONCEIÇÃO%'"), 0),
                 QStringList{"joão conceição"});
        QCOMPARE(names(db->query("select nome from bddid where Upper(NOME) like '%SÉ, AVÔ'"), 0),
                 QStringList{"Ângela à beira da sé, avô"});
    }

    void onlyOneStatementEverRuns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote then delete") << "x'; delete from bddid; --";
        QTest::newRow("dollar quoted") << "x' or $$'$$ = ''; delete from bddid; select '";
        QTest::newRow("escaped string") << "x' or E'\\'' = ''; delete from bddid; select '";
        QTest::newRow("comment hides nothing") << "x' /* ; */ ; delete from bddid; --";
    }
    void onlyOneStatementEverRuns()
    {
        QFETCH(QString, text);
        addPatient("ANA");
        QVERIFY_THROWS_EXCEPTION(EngineError, db->query(advancedSearch(text)));
        QVERIFY_THROWS_EXCEPTION(EngineError, db->execute("select 1; delete from bddid"));
        QCOMPARE(db->query("select count(*) from bddid").rows[0][0].toInt(), 1);
        // a statement ending in ';' with nothing after it is one statement
        QCOMPARE(db->query("select count(*) from bddid;  -- done").recordCount(), 1);
    }

    void queryResultsAreSnapshots()
    {
        addPatient("ANA");
        const auto before = db->query("select nf, nome from bddid");
        addPatient("RUI");
        QCOMPARE(before.recordCount(), 1);
        QCOMPARE(db->query("select nf, nome from bddid").recordCount(), 2);
    }

    void alterTableAddsAColumnOnce()
    {
        db->execute("drop table eco");
        auto def = schema::storedTables()[1];
        def.columns.pop_back(); // an exam table from before the technician column
        db->createTable(def);
        QVERIFY(!StoredTable::problems(*db, schema::tableEco()).isEmpty());
        db->execute("alter table eco add tecnico integer");
        QVERIFY(StoredTable::problems(*db, schema::tableEco()).isEmpty());
        QVERIFY_THROWS_EXCEPTION(EngineError, db->execute("alter table eco add tecnico integer"));
    }

    void aLockedStoreIsAnErrorAndALostConnectionIsReopened()
    {
        addPatient("ANA");
        StoredTable pac(*db, schema::tablePac());
        const auto ana = pac.read().front();
        auto other = store->connect("OTHER");
        if (!TestStore::isPostgres()) {
            // Another program holds the file: after the busy timeout the
            // write fails with SQLite's text and changes nothing.
            other->driver().begin();
            other->execute("update bddid set nome = 'RUI'");
            try {
                pac.update(ana, {ana.values[0], "OUTRO", QVariant()}, {false, true, false});
                QFAIL("wrote into a locked store");
            } catch (const EngineError& e) {
                QVERIFY2(e.text().contains("locked"), qPrintable(e.text()));
            }
            other->driver().rollback();
            QCOMPARE(pac.read().front().values[1].toString(), QString("ANA"));
            return;
        }
        // The server ends this idle session, as a restart does: the next save
        // finds out before it sends anything, and reconnects.
        other->execute("select pg_terminate_backend(pid, 5000) from pg_stat_activity where pid <> pg_backend_pid() "
                       "and datname = current_database() and application_name = 'velunor'");
        pac.update(ana, {ana.values[0], "RUI", QVariant()}, {false, true, false});
        QCOMPARE(pac.read().front().values[1].toString(), QString("RUI"));
        // with the session's date text
        QCOMPARE(db->query("select cast(date '2023-12-08' as char(10))").rows[0][0].toString(), QString("08/12/2023"));

        // A statement that runs too long is cancelled by the server; the
        // connection stays.
        engine::Alias quick = store->alias();
        quick.settings.insert("statement_timeout", "1");
        auto quickDb = Database::connect(quick, "QUICK");
        const int pid = quickDb->query("select pg_backend_pid()").rows[0][0].toInt();
        QVERIFY_THROWS_EXCEPTION(EngineError, quickDb->query("select pg_sleep(3)"));
        QCOMPARE(quickDb->query("select pg_backend_pid()").rows[0][0].toInt(), pid);
    }

    void parametersBindByPosition()
    {
        addPatient("ANA");
        addPatient("RUI");
        const auto r = db->query("select nome from bddid where nome = :qualquer", {"RUI"});
        QCOMPARE(names(r, 0), QStringList{"RUI"});
        QVERIFY_THROWS_EXCEPTION(EngineError, db->query("update bddid set nome = nome")); // no result
    }
};

VELUNOR_TEST(TestEngine)
#include "tst_engine.moc"
