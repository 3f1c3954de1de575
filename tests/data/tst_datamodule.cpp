#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/Schema.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/StoredTable.h"
#include "platform/engine/Values.h"
#include "platform/ui/SilentAbort.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <unistd.h>

using engine::values::wallClock;

namespace {

// The warning as its box shows it: the carriage returns break the lines.
QString warning(const char* table) { return TDataModule1::openWarning(table).replace('\r', '\n'); }

} // namespace

// The data module coming up on real stores, and the exam rules it carries.
class TestDataModule : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<TDataModule1> dm;
    QStringList warnings;

    void build()
    {
        warnings = answerBoxes([&] { dm = std::make_unique<TDataModule1>(); });
    }

    void dropTable(const QString& table)
    {
        auto db = store->connect("ADMIN");
        db->execute("drop table " + table);
    }

    void setToday(const QDate& today, const QTime& time = QTime(10, 30))
    {
        clock_::set([today, time] { return wallClock(today, time); });
    }

    void addPatient(const QString& name, const QVariant& birth)
    {
        dm->TablePac->insert();
        dm->TablePacNOME->setValue(name);
        dm->TablePacDNASC->setValue(birth);
        dm->TablePac->post();
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
    }

    void cleanup()
    {
        dm.reset();
        store.reset();
        clock_::set({});
    }

    void aCompleteStoreOpensEverythingQuietly()
    {
        build();
        QCOMPARE(warnings, QStringList());
        for (Dataset* d : std::initializer_list<Dataset*>{dm->TablePac, dm->TableEco, dm->TableFrase, dm->TableMed,
                                                           dm->TableSS, dm->TableTipoEx, dm->TableConc})
            QVERIFY2(d->active(), qPrintable(d->objectName()));
        QVERIFY(!dm->DataSourceEco->autoEdit());
        QVERIFY(dm->DataSourcePac->autoEdit());
        QCOMPARE(dm->TablePacCODIGO->fieldName(), QString("NF"));
        QCOMPARE(dm->TablePacCODIGO->objectName(), QString("TablePacCODIGO"));
        QCOMPARE(dm->findChild<Field*>("TableEcoDataExame"), dm->TableEcoDataExame);
        QCOMPARE(dm->TableEcoVd->displayLabel(), QString::fromUtf8("Ventrículo Direito"));
    }

    void theTechnicianColumnIsAddedOnTheFirstStartOnly()
    {
        dropTable("eco");
        auto def = schema::storedTables()[1];
        def.columns.pop_back();
        store->connect("ADMIN")->createTable(def);
        build();
        QCOMPARE(warnings, QStringList());
        QVERIFY(dm->TableEco->active());
        QVERIFY(dm->TableEcotecnico);
        dm.reset();
        build(); // the second start: the upgrade fails without a trace
        QCOMPARE(warnings, QStringList());
        QVERIFY(dm->TableEco->active());
    }

    // Another workstation has the exams open in a transaction: the upgrade
    // never waits for it.
    void theTechnicianUpgradeLeavesATableInUseAlone()
    {
        auto other = store->connect("OTHER");
        auto holdExams = [&] {
            other->driver().begin();
            other->query("select count(*) from eco");
        };
        holdExams();
        build();
        QCOMPARE(warnings, QStringList());
        QVERIFY(dm->TableEco->active());
        dm.reset();
        other->driver().rollback();

        // Without the column, the upgrade gives up after a short wait.
        dropTable("eco");
        auto def = schema::storedTables()[1];
        def.columns.pop_back();
        store->connect("ADMIN")->createTable(def);
        holdExams();
        build();
        other->driver().rollback();
        QCOMPARE(warnings, QStringList{warning("eco.DB")});
    }

    // An older store gets the tables of measurements and settings, and the
    // columns added since to the received reports' (when one was applied),
    // at start-up; one that another workstation is writing is left for the
    // next start.
    void theMeasurementTablesAreAddedAtStartUp()
    {
        dropTable("medida");
        dropTable("definicao");
        store->connect("ADMIN")->execute("alter table docrecebido drop column aplicado");
        auto other = store->connect("OTHER");
        other->driver().begin(); // on SQLite, the store's write lock
        other->query("select count(*) from eco");
        build();
        other->driver().rollback();
        QCOMPARE(warnings, QStringList());
        QVERIFY(dm->TableEco->active());
        QCOMPARE(dm->Measurements->available(), TestStore::isPostgres());
        dm.reset();
        build();
        QVERIFY(dm->Measurements->available());
        QVERIFY(store->connect("CHECK")->describe("definicao.DB"));
        QVERIFY(store->connect("CHECK")->describe("DocRecebido.DB")->column("Aplicado"));
    }

    // A store made before the Portuguese order gets it at the first start
    // that finds the patient table free, and stays checkable by the plain
    // sqlite3 shell, which knows none of the program's own functions.
    void thePatientOrderIsUpgradedOnceTheTableIsFree()
    {
        {
            auto admin = store->connect("ADMIN");
            engine::Driver& d = admin->driver();
            admin->execute("drop index " + d.ident("BDDIDEX_NO"));
            admin->execute("create index " + d.ident("BDDIDEX_NO") + " on bddid (" + d.orderTerm("NOME") + ", "
                           + d.orderTerm("DNASC") + ")");
            for (const char* name : {"VICENTE", "ÍRIS", "ágata", "BRUNO"})
                admin->execute("insert into bddid (nome) values (:n)", {QString::fromUtf8(name)});
        }
        auto names = [&] {
            QStringList out;
            for (dm->TablePac->first(); !dm->TablePac->eof(); dm->TablePac->next())
                out << dm->TablePacNOME->asString();
            return out.join(',');
        };
        auto other = store->connect("OTHER");
        other->driver().begin(); // another workstation is using the patients
        other->query("select count(*) from bddid");
        build();
        other->driver().rollback();
        QCOMPARE(warnings, QStringList());
        QCOMPARE(names(), QString::fromUtf8("BRUNO,VICENTE,ÍRIS,ágata")); // as the old index has them
        dm.reset();

        build();
        addPatient(QString::fromUtf8("élia ñuñez"), QVariant()); // letters the shell's upper() leaves alone
        QCOMPARE(names(), QString::fromUtf8("ágata,BRUNO,élia ñuñez,ÍRIS,VICENTE"));
        if (TestStore::isPostgres())
            return;
        QProcess shell;
        shell.start("sqlite3", {store->directory() + "/velunor.db", "PRAGMA integrity_check"});
        QVERIFY(shell.waitForFinished());
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()).trimmed(), QString("ok"));
    }

    // A store made when the weight was a small integer. A server store gets
    // the wide column at the first start that finds the exams free, and
    // works meanwhile within the small range; SQLite's column holds any
    // weight as it is. Either way the store stays checkable.
    void anOlderStoreTakesAnAdolescentsWeight()
    {
        dropTable("eco");
        auto def = schema::storedTables()[1];
        for (engine::FieldDef& column : def.columns)
            if (column.name == "Peso")
                column.type = engine::FieldType::SmallInt;
        store->connect("ADMIN")->createTable(def);
        QVERIFY(engine::StoredTable::problems(*store->connect("CHECK"), schema::tableEco()).isEmpty());

        auto other = store->connect("OTHER");
        other->driver().begin(); // another workstation is using the exams
        other->query("select count(*) from eco");
        build();
        other->driver().rollback();
        QCOMPARE(warnings, QStringList());
        setToday(QDate(2026, 12, 9));
        addPatient("ANA", QVariant());
        dm->TableEco->insert();
        auto weigh = [&](int grams) {
            try {
                dm->TableEcoPeso->setValue(grams);
                return QString();
            } catch (const engine::EngineError& e) {
                return e.text();
            }
        };
        QCOMPARE(weigh(45000), QString(TestStore::isPostgres() ? "45000 is not a valid value for field 'Peso'. "
                                                                 "The allowed range is -32768 to 32767"
                                                               : ""));
        QCOMPARE(weigh(32000), QString());
        dm->TableEco->post();
        dm.reset();

        build();
        dm->TableEco->edit();
        QCOMPARE(weigh(45000), QString());
        dm->TableEco->post();
        auto db = store->connect("CHECK");
        QCOMPARE(db->query("select peso from eco").rows.at(0).at(0).toInt(), 45000);
        QVERIFY(engine::StoredTable::problems(*db, schema::tableEco()).isEmpty());
    }

    void aStoreThatCanOnlyBeReadSaysSoAndRefusesToSave()
    {
        if (TestStore::isPostgres())
            QSKIP("a store file: SQLite only");
        build();
        addPatient("ANA", QVariant());
        dm.reset();
        const QString file = store->directory() + "/velunor.db";
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // Root writes a file whatever its mode, but not an immutable one.
        const bool root = ::geteuid() == 0;
        if (root && QProcess::execute("chattr", {"+i", file}) != 0)
            QSKIP("the store file cannot be made immutable here");
        const auto restore = qScopeGuard([&] {
            dm.reset();
            if (root)
                QProcess::execute("chattr", {"-i", file});
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        });
        build();
        QCOMPARE(warnings, QStringList{TDataModule1::readOnlyNotice(file).replace('\r', '\n')});
        dm->TablePac->edit();
        dm->TablePacNOME->setValue("RUI");
        try {
            dm->TablePac->post();
            QFAIL("saved into a store that can only be read");
        } catch (const engine::EngineError& e) {
            QCOMPARE(e.text(),
                     QString("A base de dados %1 está aberta só para leitura; nada foi gravado.").arg(file));
        }
        QCOMPARE(dm->TablePac->state(), DataSetState::Edit);
    }

    void eachFailingTableWarnsOnceInOrder()
    {
        dropTable("frase");
        build();
        QCOMPARE(warnings, QStringList{warning("Frase.db")});
        QCOMPARE(TDataModule1::openWarning("Frase.db"), QString::fromUtf8("ATENÇÃO:\r\rErro ao abrir «« Frase.db »»"));
        QVERIFY(!dm->TableFrase->active());
        QVERIFY(dm->TableMed->active()); // opened after the failure
        try {
            dm->TableFrase->first();
            QFAIL("a closed table moved");
        } catch (const engine::EngineError& e) {
            QCOMPARE(e.text(), QString("TableFrase: Cannot perform this operation on a closed dataset"));
        }
        dm.reset();

        dropTable("bddid");
        dropTable("convencao");
        dropTable("medico");
        build();
        QCOMPARE(warnings, (QStringList{warning("Bddid.DB"), warning("convencao.DB"), warning("Frase.db"),
                                        warning("Medico.DB")}));
        QVERIFY(dm->TableEco->active());
        QVERIFY(dm->TableEco->isEmpty());
    }

    void aMissingColumnTypeOrIndexKeepsThatTableClosed()
    {
        {
            auto db = store->connect("ADMIN");
            db->execute("drop index " + db->driver().ident("BDDIDEX_NO"));
            db->execute("drop table tipoexame");
            db->execute("create table tipoexame (id integer primary key, tipo varchar(255), relatorio text)");
            db->execute("drop table medico");
            db->createTable({"Medico.DB",
                             {{"CODIGO", engine::FieldType::AutoInc}, {"NOME", engine::FieldType::String, 50},
                              {"ACTIVO", engine::FieldType::String, 1}},
                             {{QString(), {"CODIGO"}, true}}});
        }
        try {
            build();
        } catch (const engine::EngineError&) {
            // the exam types are opened unguarded; PostgreSQL's plain integer
            // key is not an autoincrement column
        }
        if (!dm) {
            QVERIFY(TestStore::isPostgres());
            auto db = store->connect("ADMIN");
            db->execute("drop table tipoexame");
            db->createTable(schema::storedTables()[5]);
            build();
        }
        QCOMPARE(warnings, (QStringList{warning("Bddid.DB"), warning("Medico.DB")}));
    }

    void staleLockFilesGoFromTheWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const char* name : {"Paradox.lck", "Pdoxusrs.lck"}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        build();
        QVERIFY(!QFile::exists("Paradox.lck"));
        QVERIFY(!QFile::exists("Pdoxusrs.lck"));
        dm.reset();
        build(); // none there: nothing reported
        QCOMPARE(warnings, QStringList());
        QDir::setCurrent(previous);
    }

    void theConnectionAndTheExamTypesAreNotGuarded()
    {
        dropTable("tipoexame");
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, build());
        QCOMPARE(warnings, QStringList());
        engine::AliasRegistry registry;
        registry.load();
        registry.remove("Dorvica2");
        registry.save();
        try {
            build();
            QFAIL("connected without an alias");
        } catch (const engine::EngineError& e) {
            QVERIFY(e.text().contains("'Dorvica2'"));
        }
        QCOMPARE(warnings, QStringList());
    }

    void executeSqlAnswersWhetherAResultHasRecords()
    {
        build();
        QVERIFY(!dm->ExecuteSql("select nf from bddid", QVariant(), true));
        addPatient("ANA", QVariant());
        QVERIFY(dm->ExecuteSql("select nf from bddid where nome = :nome", "ANA", true));
        QVERIFY(!dm->ExecuteSql("select nf from bddid where nome = :qualquer", "RUI", true));
        QVERIFY(!dm->ExecuteSql("update bddid set nome = 'ANA'", QVariant(), false));
        // asked for rows, a statement without any is refused before it runs
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, dm->ExecuteSql("update bddid set nome = 'RUI'", QVariant(), true));
        QVERIFY(dm->ExecuteSql("select nf from bddid where nome = 'ANA'", QVariant(), true));
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, dm->ExecuteSql("select * from naoexiste", QVariant(), true));
        dm->RunSqlQuietly("select * from naoexiste"); // swallowed
    }

    // --- the exam rules ---

    void aNewExamIsStampedWithTheAgeInMonths_data()
    {
        QTest::addColumn<int>("daysOld");
        QTest::addColumn<int>("months");
        QTest::newRow("30 days") << 30 << 0;
        QTest::newRow("31 days") << 31 << 1;
        QTest::newRow("365 days") << 365 << 11;
        QTest::newRow("366 days") << 366 << 12;
        QTest::newRow("born in 30 days") << -30 << 0;
        QTest::newRow("born in 366 days") << -366 << 12;
    }
    void aNewExamIsStampedWithTheAgeInMonths()
    {
        QFETCH(int, daysOld);
        QFETCH(int, months);
        build();
        const QDate today(2026, 12, 9);
        setToday(today);
        addPatient("ANA", wallClock(today.addDays(-daysOld)));
        dm->TableEco->insert();
        QCOMPARE(dm->TableEcoIdade->value().toInt(), months);
        QCOMPARE(dm->TableEcoDataExame->value().toDate(), today);
        QCOMPARE(dm->TableEcoCodigoExame->value().toDateTime(), wallClock(today, QTime(10, 30)));
        QCOMPARE(dm->TableEcoCodigoPaciente->value().toInt(), dm->TablePacCODIGO->value().toInt());
        QVERIFY(dm->TableEco->modified());
    }

    void noBirthDateGivesNoAge()
    {
        build();
        setToday(QDate(2025, 6, 1));
        addPatient("FETO", QVariant());
        dm->TableEco->insert();
        QVERIFY(dm->TableEcoIdade->isNull());
        dm->TableEco->post();
        QVERIFY(dm->TableEcoIdade->isNull());
    }

    void aNewPatientIsSavedBeforeItsFirstExam()
    {
        build();
        setToday(QDate(2026, 12, 9));
        dm->TablePac->insert(); // not even a name
        dm->TableEco->insert();
        QCOMPARE(dm->TablePac->state(), DataSetState::Browse);
        QVERIFY(!dm->TablePacCODIGO->isNull());
        QCOMPARE(dm->TableEcoCodigoPaciente->value().toInt(), dm->TablePacCODIGO->value().toInt());

        // an untouched new exam is saved by the next move
        dm->TablePac->refresh();
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
        QCOMPARE(dm->TableEco->recordCount(), 1);

        // a patient being edited keeps its changes pending
        dm->TablePac->edit();
        dm->TablePacNOME->setValue("MUDADO");
        dm->TableEco->insert();
        QCOMPARE(dm->TablePac->state(), DataSetState::Edit);
        dm->TableEco->cancel();
        QCOMPARE(dm->TableEco->recordCount(), 1);
    }

    void anExamCanChangeOnItsDateAndTheDayAfter_data()
    {
        QTest::addColumn<int>("age");
        QTest::addColumn<bool>("editable");
        QTest::newRow("today") << 0 << true;
        QTest::newRow("yesterday") << 1 << true;
        QTest::newRow("two days ago") << 2 << false;
        QTest::newRow("tomorrow") << -1 << true;
    }
    void anExamCanChangeOnItsDateAndTheDayAfter()
    {
        QFETCH(int, age);
        QFETCH(bool, editable);
        build();
        const QDate today(2026, 12, 9);
        setToday(today.addDays(-age));
        addPatient("ANA", QVariant());
        dm->TableEco->insert();
        dm->TableEco->post();
        setToday(today, QTime(23, 59));
        bool afterEdit = false;
        dm->TableEco->afterEdit = [&](Dataset&) { afterEdit = true; };
        QStringList boxes;
        bool aborted = false;
        boxes = answerBoxes([&] {
            try {
                dm->TableEco->edit();
            } catch (const SilentAbort&) {
                aborted = true;
            }
        });
        QCOMPARE(aborted, !editable);
        QCOMPARE(afterEdit, editable);
        QCOMPARE(dm->TableEco->state(), editable ? DataSetState::Edit : DataSetState::Browse);
        QCOMPARE(boxes, editable ? QStringList() : QStringList{QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!")});
    }

    void anExamWithoutADateIsLocked()
    {
        build();
        addPatient("ANA", QVariant());
        dm->TableEco->insert();
        dm->TableEcoDataExame->clear();
        dm->TableEco->post();
        bool aborted = false;
        const QStringList boxes = answerBoxes([&] {
            try {
                dm->TableEco->edit();
            } catch (const SilentAbort&) {
                aborted = true;
            }
        });
        QVERIFY(aborted);
        QCOMPARE(boxes.size(), 1);
        // deleting an old exam is not prevented
        dm->TableEco->remove();
        QVERIFY(dm->TableEco->isEmpty());
    }

    void savingAnExamIsAnnounced()
    {
        build();
        QSignalSpy posted(dm.get(), &TDataModule1::examPosted);
        addPatient("ANA", QVariant());
        QCOMPARE(posted.count(), 0);
        dm->TableEco->insert();
        dm->TableEco->post();
        QCOMPARE(posted.count(), 1);
    }
};

VELUNOR_TEST(TestDataModule)
#include "tst_datamodule.moc"
