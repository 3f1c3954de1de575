#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Connection.h"
#include "data/DataSource.h"
#include "data/Schema.h"
#include "data/Table.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"
#include "platform/ui/SilentAbort.h"

#include <QTest>
#include <QThread>
#include <csignal>
#include <libpq-fe.h>
#include <thread>

using engine::EngineError;
using engine::values::wallClock;

namespace {

QString failure(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EngineError& e) {
        return e.text();
    }
    return {};
}

} // namespace

// The patient and exam record sets on a real store, as the data module pairs
// them: the exams follow the current patient.
class TestCursors : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Table> pac, eco, med;
    std::unique_ptr<DataSource> pacSource;
    QStringList events;

    void recordEvents(Dataset& d)
    {
        auto on = [this](Dataset::Event& e, const char* name) { e = [this, name](Dataset&) { events << name; }; };
        on(d.beforeInsert, "BeforeInsert");
        on(d.afterInsert, "AfterInsert");
        on(d.beforeEdit, "BeforeEdit");
        on(d.afterEdit, "AfterEdit");
        on(d.beforePost, "BeforePost");
        on(d.afterPost, "AfterPost");
        on(d.beforeCancel, "BeforeCancel");
        on(d.afterCancel, "AfterCancel");
        on(d.beforeDelete, "BeforeDelete");
        on(d.afterDelete, "AfterDelete");
        on(d.beforeScroll, "BeforeScroll");
        on(d.afterScroll, "AfterScroll");
    }

    // What an operation on `d` fires, in order.
    QStringList eventsOf(const std::function<void()>& operation)
    {
        events.clear();
        operation();
        return events;
    }

    int addPatient(const QString& name)
    {
        pac->insert();
        pac->fieldByName("NOME")->setValue(name);
        pac->post();
        return pac->fieldByName("NF")->value().toInt();
    }

    void addExam(const QDate& date)
    {
        eco->insert();
        eco->fieldByName("CodigoExame")->setValue(wallClock(date, QTime(10, 0)));
        eco->fieldByName("DataExame")->setValue(date);
        eco->post();
    }

    QStringList examDates()
    {
        QStringList out;
        for (int i = 0; i < eco->recordCount(); ++i)
            out << eco->rowAt(i)[6].toDate().toString(Qt::ISODate);
        return out;
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        connection = std::make_unique<Connection>("Database2", "Dorvica2", "BDC");
        connection->open();
        pac = std::make_unique<Table>("TablePac", "BDC", schema::tablePac());
        eco = std::make_unique<Table>("TableEco", "BDC", schema::tableEco());
        med = std::make_unique<Table>("TableMed", "BDC", schema::tableMed());
        pacSource = std::make_unique<DataSource>("DataSourcePac");
        pacSource->setDataset(pac.get());
        eco->setMaster(pacSource.get(), "NF", "CodigoPaciente");
        pac->open();
        eco->open();
        med->open();
    }

    void cleanup()
    {
        eco.reset();
        pacSource.reset();
        pac.reset();
        med.reset();
        connection.reset();
        store.reset();
    }

    void operationsFireTheirEventsInOrder()
    {
        addPatient("ANA");
        recordEvents(*eco);
        QVariant patientInAfterInsert;
        QStringList inserted = eventsOf([&] {
            eco->afterInsert = [&](Dataset& d) {
                events << "AfterInsert";
                patientInAfterInsert = d.fieldByName("CodigoPaciente")->value();
                QVERIFY(!d.modified());
            };
            eco->insert();
        });
        QCOMPARE(inserted, (QStringList{"BeforeInsert", "BeforeScroll", "AfterInsert", "AfterScroll"}));
        QCOMPARE(patientInAfterInsert.toInt(), pac->fieldByName("NF")->value().toInt());
        recordEvents(*eco);

        eco->fieldByName("CodigoExame")->setValue(wallClock(QDate(2026, 1, 5), QTime(9, 0)));
        eco->fieldByName("DataExame")->setValue(QDate(2026, 1, 5));
        QCOMPARE(eventsOf([&] { eco->post(); }), (QStringList{"BeforePost", "AfterPost"}));
        addExam(QDate(2026, 2, 5));
        QCOMPARE(eventsOf([&] { eco->first(); }), (QStringList{"BeforeScroll", "AfterScroll"}));
        QCOMPARE(eventsOf([&] { eco->next(); }), (QStringList{"BeforeScroll", "AfterScroll"}));
        QCOMPARE(eventsOf([&] { eco->edit(); }), (QStringList{"BeforeEdit", "AfterEdit"}));
        QCOMPARE(eventsOf([&] { eco->edit(); }), QStringList{}); // already editing
        QCOMPARE(eventsOf([&] { eco->cancel(); }), (QStringList{"BeforeCancel", "AfterCancel"}));
        QCOMPARE(eventsOf([&] { eco->cancel(); }), QStringList{});
        QCOMPARE(eventsOf([&] { eco->insert(); eco->cancel(); }),
                 (QStringList{"BeforeInsert", "BeforeScroll", "AfterInsert", "AfterScroll", "BeforeCancel",
                              "BeforeScroll", "AfterCancel", "AfterScroll"}));
        QCOMPARE(eventsOf([&] { QVERIFY(eco->locate("DataExame", QDate(2026, 1, 5), {})); }),
                 (QStringList{"BeforeScroll", "AfterScroll"}));
        QCOMPARE(eventsOf([&] { QVERIFY(!eco->locate("DataExame", QDate(2020, 1, 1), {})); }),
                 QStringList{"BeforeScroll"});
        QCOMPARE(eventsOf([&] { eco->remove(); }),
                 (QStringList{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
        QCOMPARE(eco->recordCount(), 1);
        // Delete while inserting is Cancel
        eco->insert();
        QCOMPARE(eventsOf([&] { eco->remove(); }),
                 (QStringList{"BeforeCancel", "BeforeScroll", "AfterCancel", "AfterScroll"}));
        QCOMPARE(eco->recordCount(), 1);
    }

    void editOnAnEmptyDetailInserts()
    {
        addPatient("SEM EXAMES");
        recordEvents(*eco);
        QVERIFY(eco->isEmpty());
        QCOMPARE(eventsOf([&] { eco->edit(); }),
                 (QStringList{"BeforeInsert", "BeforeScroll", "AfterInsert", "AfterScroll"}));
        QCOMPARE(eco->state(), DataSetState::Insert);
    }

    void endingThePendingEditPostsOnlyWhatChanged()
    {
        addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        addExam(QDate(2026, 2, 1));
        recordEvents(*eco);
        eco->first();
        eco->edit();
        eco->fieldByName("Peso")->setValue(3500);
        QCOMPARE(eventsOf([&] { eco->next(); }),
                 (QStringList{"BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}));
        eco->first();
        QCOMPARE(eco->fieldByName("Peso")->value().toInt(), 3500);
        eco->edit();
        QCOMPARE(eventsOf([&] { eco->next(); }),
                 (QStringList{"BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll"}));
        // an untouched new record is dropped
        eco->insert();
        QCOMPARE(eventsOf([&] { eco->first(); }),
                 (QStringList{"BeforeCancel", "BeforeScroll", "AfterCancel", "AfterScroll", "BeforeScroll",
                              "AfterScroll"}));
        QCOMPARE(eco->recordCount(), 2);
    }

    void silentAbortLeavesTheStateAsItWas()
    {
        addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        bool afterEditRan = false;
        eco->beforeEdit = [](Dataset&) { throw SilentAbort(); };
        eco->afterEdit = [&](Dataset&) { afterEditRan = true; };
        QVERIFY_THROWS_EXCEPTION(SilentAbort, eco->edit());
        QCOMPARE(eco->state(), DataSetState::Browse);
        QVERIFY(!afterEditRan);
        eco->beforeInsert = [](Dataset&) { throw SilentAbort(); };
        const int before = eco->recordCount();
        QVERIFY_THROWS_EXCEPTION(SilentAbort, eco->insert());
        QCOMPARE(eco->recordCount(), before);
        QCOMPARE(eco->state(), DataSetState::Browse);
    }

    void examsFollowThePatient()
    {
        const int ana = addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        addExam(QDate(2026, 1, 2));
        const int rui = addPatient("RUI");
        addExam(QDate(2026, 3, 1));
        addPatient("ZECA"); // no exams
        QVERIFY(rui != ana);

        pac->first();
        QCOMPARE(examDates(), (QStringList{"2026-01-01", "2026-01-02"}));
        pac->next();
        QCOMPARE(examDates(), QStringList{"2026-03-01"});
        pac->last();
        QVERIFY(eco->isEmpty());
        QVERIFY(pac->locate("NOME", "an", {true, true}));
        QCOMPARE(eco->recordCount(), 2);
        QCOMPARE(eco->recNo(), 0);

        // a new patient has no NF and no exams until it is saved
        eco->last();
        pac->insert();
        QVERIFY(eco->isEmpty());
        pac->cancel();
        QCOMPARE(eco->recordCount(), 2);

        // moving the patient saves a changed exam first
        eco->edit();
        eco->fieldByName("Altura")->setValue(52);
        pac->next();
        QCOMPARE(eco->state(), DataSetState::Browse);
        pac->prior();
        QCOMPARE(eco->fieldByName("Altura")->value().toInt(), 52);

        // editing the patient settles a pending exam and keeps the exam
        // where it is; saving the patient reads the exams again from the first
        eco->last();
        eco->insert();
        QVERIFY(!eco->isEmpty());
        pac->edit();
        QCOMPARE(eco->recordCount(), 2); // the untouched new exam is gone
        QCOMPARE(eco->recNo(), 1);
        pac->fieldByName("NOME")->setValue("ANA MARIA");
        pac->post();
        QCOMPARE(eco->recNo(), 0);

        // deleting a patient's record moves the exams to the next patient
        pac->locate("NOME", "ZECA", {});
        pac->remove();
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("RUI"));
        QCOMPARE(examDates(), QStringList{"2026-03-01"});
    }

    void readingThePatientAgainReadsItsExamsAgain_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("patient"); // the current one afterwards
        QTest::newRow("post") << "post" << "ANA";
        QTest::newRow("cancel") << "cancel" << "ANA";
        QTest::newRow("refresh") << "refresh" << "ANA";
        QTest::newRow("delete") << "delete" << "RUI";
    }
    void readingThePatientAgainReadsItsExamsAgain()
    {
        QFETCH(QString, operation);
        QFETCH(QString, patient);
        addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        addExam(QDate(2026, 1, 2));
        addPatient("RUI");
        addExam(QDate(2026, 1, 3));
        pac->first();
        eco->last();
        const QVariant nf = pac->locate("NOME", patient, {}) ? pac->fieldByName("NF")->value() : QVariant();
        pac->first();
        store->connect("OTHER")->execute("insert into eco (codigopaciente, codigoexame, dataexame) values "
                                         "(:p, '2025-06-01 08:00:00.000', '2025-06-01')",
                                         {nf});
        if (operation == "post" || operation == "cancel") {
            pac->edit();
            pac->fieldByName("NOME")->setValue("ANA");
        }
        if (operation == "post")
            pac->post();
        else if (operation == "cancel")
            pac->cancel();
        else if (operation == "refresh")
            pac->refresh();
        else
            pac->remove();
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), patient);
        QVERIFY(examDates().contains("2025-06-01"));
        QCOMPARE(eco->recNo(), 0);
    }

    void aReadThatFailsDuringAMoveLeavesEveryoneOnTheNewPatient_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("exam table gone") << "rename";
        if (TestStore::isPostgres())
            QTest::newRow("server going down") << "terminate";
    }
    void aReadThatFailsDuringAMoveLeavesEveryoneOnTheNewPatient()
    {
        QFETCH(QString, failure);
        addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        const int rui = addPatient("RUI");
        addExam(QDate(2026, 1, 2));
        pac->first();
        // A control bound after the exams' link must hear of the move too.
        struct Shown : DataLink {
            QString name;
            void dataEvent(DataEvent, Field*) override { name = dataset()->fieldByName("NOME")->value().toString(); }
        } shown;
        shown.setDataSource(pacSource.get());

        // The other session works from another database of the server, so
        // that it can close this one to new connections.
        engine::Alias elsewhere = store->alias();
        elsewhere.settings.insert("database", failure == "rename" ? store->alias().setting("database") : "postgres");
        auto other = engine::Database::connect(elsewhere, "OTHER");
        const QString closeTo = "alter database " + store->alias().setting("database") + " allow_connections ";
        if (failure == "rename") {
            other->execute("alter table eco rename to eco_away");
        } else {
            // The session ends and no new one is taken: the reconnection fails.
            other->execute(closeTo + "false");
            other->execute("select pg_terminate_backend(pid, 5000) from pg_stat_activity where "
                           "datname = :d and application_name = 'velunor'",
                           {store->alias().setting("database")});
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, pac->next());
        QCOMPARE(pac->fieldByName("NF")->value().toInt(), rui);
        QCOMPARE(shown.name, QString("RUI"));
        QVERIFY(eco->isEmpty()); // never ANA's exams under RUI's name
        other->execute(failure == "rename" ? QString("alter table eco_away rename to eco") : closeTo + "true");

        // The exams are read before the next use: a new exam is RUI's.
        eco->insert();
        QCOMPARE(eco->recordCount(), 2);
        QCOMPARE(eco->fieldByName("CodigoPaciente")->value().toInt(), rui);
        eco->cancel();
        QCOMPARE(examDates(), QStringList{"2026-01-02"});
    }

    void closingThePatientsDropsTheExamBeingEdited()
    {
        addPatient("ANA");
        addExam(QDate(2026, 1, 1));
        eco->edit();
        eco->fieldByName("Peso")->setValue(999);
        pac->close();
        QCOMPARE(eco->state(), DataSetState::Browse);
        QVERIFY(eco->isEmpty());
        QVERIFY(store->connect("OTHER")->query("select peso from eco").rows.at(0).at(0).isNull());
    }

    void gotoCurrentPositionsOnTheSameRecord()
    {
        addPatient("ANA");
        addPatient("BIA");
        const int rui = addPatient("RUI");
        Table search("TablePesq", "BDC", schema::tablePesq());
        search.open();
        QVERIFY(search.locate("NF", rui, {true, true}));
        pac->first();
        recordEvents(*pac);
        QCOMPARE(eventsOf([&] { pac->gotoCurrent(search); }), (QStringList{"BeforeScroll", "AfterScroll"}));
        QCOMPARE(pac->fieldByName("NF")->value().toInt(), rui);

        // a patient added elsewhere is found too
        {
            auto other = store->connect("OTHER");
            engine::StoredTable(*other, schema::tablePac()).insert({QVariant(), "NOVO", QVariant()});
        }
        search.refresh();
        QVERIFY(search.locate("NOME", "NOVO", {}));
        pac->gotoCurrent(search);
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("NOVO"));
        QVERIFY(failure([&] { eco->gotoCurrent(search); }).contains("same database table"));
    }

    void locateOptionsActOnTextOnly()
    {
        addPatient("MARIA JOSÉ");
        addPatient("maria");
        addExam(QDate(2026, 5, 17));
        // partial key on a date finds only an equal value
        QVERIFY(!eco->locate("DataExame", QDate(2026, 5, 1), {true, true}));
        QVERIFY(eco->locate("DataExame", QDate(2026, 5, 17), {true, true}));
        QVERIFY(!pac->locate("NOME", "MARIA", {}));
        QVERIFY(pac->locate("NOME", "MARIA", {true, false}));
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("maria"));
        QVERIFY(pac->locate("NOME", "MARIA J", {false, true}));
        QVERIFY(!pac->locate("NOME", "maria j", {false, true}));
        QVERIFY(pac->locate("NOME", "maria j", {true, true}));
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("MARIA JOSÉ"));
        // and on a number too
        const int nf = pac->fieldByName("NF")->value().toInt();
        QVERIFY(!pac->locate("NF", "1" + QString::number(nf), {true, true}));
        QVERIFY(pac->locate("NF", nf, {true, true}));
    }

    void readOnlyAndFilteredRecordSets()
    {
        {
            auto other = store->connect("OTHER");
            other->execute("insert into medico (nome, activo) values ('DRA. A', true), ('DR. B', false), "
                           "('DR. C', true)");
        }
        med->refresh();
        QCOMPARE(med->recordCount(), 2);
        QVERIFY(!med->locate("NOME", "DR. B", {}));
        QCOMPARE(failure([&] { med->insert(); }), QString("TableMed: Cannot modify a read-only dataset"));
        QCOMPARE(failure([&] { med->edit(); }), QString("TableMed: Cannot modify a read-only dataset"));
        QCOMPARE(failure([&] { med->remove(); }), QString("TableMed: Cannot modify a read-only dataset"));
        QCOMPARE(med->state(), DataSetState::Browse);
    }

    void cursorMessagesNameTheRecordSet()
    {
        QCOMPARE(failure([&] { eco->post(); }), QString("TableEco: Dataset not in edit or insert mode"));
        QCOMPARE(failure([&] { pac->fieldByName("NOME")->setValue("X"); }),
                 QString("TablePac: Dataset not in edit or insert mode"));
        QCOMPARE(failure([&] { pac->remove(); }), QString("TablePac: Cannot perform this operation on an empty dataset"));
        eco->close();
        for (const auto& op : std::vector<std::function<void()>>{[&] { eco->first(); }, [&] { eco->next(); },
                                                                  [&] { eco->insert(); }, [&] { eco->edit(); },
                                                                  [&] { eco->refresh(); },
                                                                  [&] { eco->locate("Idade", 1, {}); }})
            QCOMPARE(failure(op), QString("TableEco: Cannot perform this operation on a closed dataset"));
    }

    void requiredFieldsAndFailedPostsKeepTheEdit()
    {
        addPatient("ANA");
        eco->insert();
        eco->fieldByName("Peso")->setValue(1200);
        QCOMPARE(failure([&] { eco->post(); }), QString("Field 'CodigoExame' must have a value"));
        QCOMPARE(eco->state(), DataSetState::Insert);
        QCOMPARE(eco->fieldByName("Peso")->value().toInt(), 1200);
        QVERIFY(eco->modified());
    }

    void fieldsParseAndShowTheirText()
    {
        addPatient("ANA");
        eco->insert();
        Field* peso = eco->fieldByName("Peso");
        peso->setDisplayFormat("###,###");
        peso->setText("45000");
        QCOMPARE(peso->value().toInt(), 45000);
        QCOMPARE(peso->displayText(), QString("45\u00a0000"));
        QCOMPARE(peso->text(), QString("45000"));
        peso->setText(QString("1\u00a0234")); // grouped as shown
        QCOMPARE(peso->value().toInt(), 1234);
        QCOMPARE(failure([&] { peso->setText("2147483648"); }),
                 QString("2147483648 is not a valid value for field 'Peso'. The allowed range is -2147483648 to "
                         "2147483647"));
        QCOMPARE(peso->value().toInt(), 1234);
        QCOMPARE(failure([&] { eco->fieldByName("Altura")->setValue(-40000); }),
                 QString("-40000 is not a valid value for field 'Altura'. The allowed range is -32768 to 32767"));
        QCOMPARE(failure([&] { peso->setText("12a"); }), QString("'12a' is not a valid integer value for field 'Peso'"));
        peso->setValue(0);
        QCOMPARE(peso->displayText(), QString()); // every digit of "###,###" is optional
        peso->setText("");
        QVERIFY(peso->isNull());

        Field* vd = eco->fieldByName("Vd");
        QCOMPARE(failure([&] { vd->setText("x"); }),
                 QString("'x' is not a valid floating point value for field 'Ventrículo Direito'"));
        vd->setText("1,5");
        QCOMPARE(vd->value().toDouble(), 1.5);

        Field* data = eco->fieldByName("DataExame");
        data->setText("09/12/2026");
        QCOMPARE(data->value().toDate(), QDate(2026, 12, 9));
        QCOMPARE(data->displayText(), QString("09/12/2026"));
        data->setText("1-2-25");
        QCOMPARE(data->value().toDate(), QDate(2025, 2, 1));
        QCOMPARE(failure([&] { data->setText("31/02/2026"); }), QString("'31/02/2026' is not a valid date"));

        // a changed new exam would be saved (and refused) when the patient is edited
        eco->cancel();
        Field* nome = pac->fieldByName("NOME");
        pac->edit();
        nome->setValue(QString(60, 'A'));
        QCOMPARE(nome->value().toString().size(), 50); // the field's size
        pac->cancel();
    }

    void refreshKeepsTheCurrentRecordAndSeesOtherPrograms()
    {
        addPatient("ANA");
        const int rui = addPatient("RUI");
        QCOMPARE(pac->fieldByName("NF")->value().toInt(), rui);
        {
            auto other = store->connect("OTHER");
            engine::StoredTable(*other, schema::tablePac()).insert({QVariant(), "BIA", QVariant()});
        }
        QCOMPARE(pac->recordCount(), 2);
        pac->refresh();
        QCOMPARE(pac->recordCount(), 3);
        QCOMPARE(pac->fieldByName("NF")->value().toInt(), rui);
    }

    // Two workstations on one store: a save over the other's change is
    // refused, and so is a delete.
    void aSaveOverAnotherUsersChangeIsRefusedAndKeepsTheEdit()
    {
        addPatient("ANA");
        auto otherDb = store->connect("BDC2");
        Table theirs("TablePac", "BDC2", schema::tablePac());
        theirs.open();
        auto rename = [](Dataset& d, const QString& name) {
            d.edit();
            d.fieldByName("NOME")->setValue(name);
        };
        rename(*pac, "ANA SILVA");
        rename(theirs, "ANA SOUSA");
        theirs.post();
        QCOMPARE(failure([&] { pac->post(); }),
                 QString("O registo foi alterado por outro utilizador. As suas alterações não foram gravadas; "
                         "cancele-as para ver a versão actual."));
        QCOMPARE(pac->state(), DataSetState::Edit);
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("ANA SILVA"));
        pac->cancel();
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("ANA SOUSA"));
        rename(*pac, "ANA SILVA");
        pac->post();

        theirs.refresh();
        rename(theirs, "BIA");
        theirs.post();
        QVERIFY(failure([&] { pac->remove(); }).contains("não foi apagado"));
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("BIA")); // shown as it is now
        pac->remove();
        QVERIFY(pac->isEmpty());
    }

    void aServerThatStopsAnsweringFailsTheSaveAndKeepsTheEdit()
    {
        if (!TestStore::isPostgres())
            QSKIP("pauses a PostgreSQL server process");
        addPatient("ANA");
        engine::Alias quick = store->alias();
        quick.settings.insert("statement_timeout", "1");
        auto quickDb = engine::Database::connect(quick, "QUICK");
        Table patients("TablePac", "QUICK", schema::tablePac());
        patients.open();
        const pid_t backend = quickDb->query("select pg_backend_pid()").rows[0][0].toInt();
        patients.edit();
        patients.fieldByName("NOME")->setValue("RUI");
        ::kill(backend, SIGSTOP);
        const QString why = failure([&] { patients.post(); });
        ::kill(backend, SIGCONT);
        QVERIFY2(why.contains("não respondeu"), qPrintable(why));
        QCOMPARE(patients.state(), DataSetState::Edit);
        QCOMPARE(patients.fieldByName("NOME")->value().toString(), QString("RUI"));
        patients.post(); // on a new connection
        pac->refresh();
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("RUI"));
    }

    // The server ends the session while it runs the save (here waiting for a
    // row that another session holds): the message says so in Portuguese,
    // and the edit stays to be saved again on a new connection.
    void aServerLostDuringTheSaveKeepsTheEdit()
    {
        if (!TestStore::isPostgres())
            QSKIP("ends a PostgreSQL server process");
        const int ana = addPatient("ANA");
        auto other = store->connect("OTHER");
        other->driver().begin();
        other->query("select nf from bddid where nf = :n for update", {ana});
        std::thread killer([server = qgetenv("VELUNOR_TEST_PG")] {
            PGconn* session = PQconnectdb(server.constData());
            for (int tries = 0; tries < 500; ++tries) {
                PGresult* ended = PQexec(session, "select pg_terminate_backend(pid) from pg_stat_activity "
                                                  "where wait_event_type = 'Lock' and application_name = 'velunor'");
                const bool done = PQntuples(ended) > 0;
                PQclear(ended);
                if (done)
                    break;
                QThread::msleep(20);
            }
            PQfinish(session);
        });
        pac->edit();
        pac->fieldByName("NOME")->setValue("RUI");
        const QString why = failure([&] { pac->post(); });
        killer.join();
        other->driver().rollback();
        QVERIFY2(why.startsWith("A ligação ao servidor PostgreSQL") && why.contains("não foi gravada"), qPrintable(why));
        QCOMPARE(pac->state(), DataSetState::Edit);
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("RUI"));
        pac->post();
        QCOMPARE(other->query("select nome from bddid where nf = :n", {ana}).rows[0][0].toString(), QString("RUI"));
    }

    void bofAndEofFollowTheMoves()
    {
        QVERIFY(pac->bof() && pac->eof());
        addPatient("A");
        addPatient("B");
        pac->first();
        QVERIFY(pac->bof() && !pac->eof());
        pac->next();
        QVERIFY(!pac->bof() && !pac->eof());
        pac->next(); // runs past the end
        QVERIFY(pac->eof());
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("B"));
        pac->prior();
        pac->prior();
        QVERIFY(pac->bof());
        QCOMPARE(pac->fieldByName("NOME")->value().toString(), QString("A"));
        pac->last();
        QVERIFY(pac->eof() && !pac->bof());
    }
};

VELUNOR_TEST(TestCursors)
#include "tst_cursors.moc"
