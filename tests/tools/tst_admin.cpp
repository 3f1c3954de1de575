#include "common/AdminTool.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Schema.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/StoredTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// velunor-admin on real stores: what it creates, fills and checks, and what
// it refuses.
class TestAdmin : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;

private slots:
    void init() { store = std::make_unique<TestStore>(); }
    void cleanup() { store.reset(); }

    void createsDemoDataAndChecksIt()
    {
        const AdminRun demo = runAdmin({"demo", "Dorvica2", "--patients", "30", "--exams-per-patient", "2"});
        QVERIFY2(demo.code == 0, qPrintable(demo.err));
        QVERIFY(demo.out.contains("30 pacientes"));
        const AdminRun check = runAdmin({"check", "Dorvica2"});
        QVERIFY2(check.code == 0, qPrintable(check.err));

        auto db = store->connect("CHECK");
        QCOMPARE(db->query("select count(*) from bddid").rows[0][0].toInt(), 30);
        QCOMPARE(db->query("select count(*) from medico where activo = false").rows[0][0].toInt(), 1);
        QVERIFY(db->query("select count(*) from eco where substr(eco1, 1, 6) = '{\\rtf1'").rows[0][0].toInt() > 0);
        // every exam has its report, the one the program opens on too, and they differ
        QCOMPARE(db->query("select count(*) from eco where coalesce(eco1, '') = ''").rows[0][0].toInt(), 0);
        QVERIFY(db->query("select count(distinct eco1) from eco").rows[0][0].toInt() >= 10);
        const auto born = db->query("select b.dnasc, e.dataexame from eco e join bddid b on b.nf = e.codigopaciente "
                                    "where b.dnasc is not null");
        for (const auto& row : born.rows)
            QVERIFY(row[0].toDateTime().date() <= row[1].toDate()); // no exam before birth
        // every table opens as the program opens it
        for (const auto& spec : {schema::tablePac(), schema::tableEco(), schema::tableMed(), schema::tableConc()})
            QVERIFY(engine::StoredTable::problems(*db, spec).isEmpty());
    }

    void neverOverwritesAStoreThatHoldsData()
    {
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        {
            auto db = store->connect("FILL");
            db->execute("insert into bddid (nome) values ('ANA')");
        }
        for (const QStringList& args : {QStringList{"create", "Dorvica2"}, QStringList{"demo", "Dorvica2"}}) {
            const AdminRun again = runAdmin(args);
            QCOMPARE(again.code, 1);
            QVERIFY2(again.err.contains("\"Bddid.DB\" já tem registos"), qPrintable(again.err));
        }
        QCOMPARE(store->connect("CHECK")->query("select nome from bddid").rows.size(), size_t(1));
    }

    void checkReportsEachProblem()
    {
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        {
            auto db = store->connect("BREAK");
            db->execute("drop table frase");
            db->execute("drop index " + db->driver().ident("BDDIDEX_NO"));
        }
        const AdminRun check = runAdmin({"check", "Dorvica2"});
        QCOMPARE(check.code, 1);
        QVERIFY(check.err.contains("TableFrase: A tabela \"Frase.db\" não existe."));
        QVERIFY(check.err.contains("TablePac: A tabela \"Bddid.DB\" não tem o índice BDDIDEX_NO."));
        QVERIFY(check.err.contains("TablePesq:"));
    }

    // The check reads the store without changing it, and finds damage in
    // its file (SQLite) or runs the store's own checks (PostgreSQL).
    void checkFindsDamageAndChangesNothing()
    {
        QCOMPARE(runAdmin({"demo", "Dorvica2"}).code, 0);
        if (TestStore::isPostgres()) {
            store->connect("AMCHECK")->execute("create extension amcheck");
            const AdminRun check = runAdmin({"check", "Dorvica2"});
            QVERIFY2(check.code == 0, qPrintable(check.err));
            QVERIFY2(check.out.contains("verificados com amcheck"), qPrintable(check.out));
            return;
        }
        const QString file = store->directory() + "/velunor.db";
        auto state = [&] {
            QFile f(file);
            f.open(QIODevice::ReadOnly);
            return QDir(store->directory()).entryList(QDir::Files).join(' ') + f.readAll().toHex();
        };
        for (const QString journal : {"wal", "delete"}) {
            store->connect("JOURNAL")->query("pragma journal_mode=" + journal);
            const QString before = state();
            const AdminRun sound = runAdmin({"check", "Dorvica2"});
            QVERIFY2(sound.code == 0, qPrintable(sound.err));
            // The same journal mode, nothing written beside the file.
            QVERIFY2(state() == before, qPrintable(journal));
        }

        // Cut short, as a full disk or a copy stopped half-way leaves it.
        QVERIFY(QFile::resize(file, QFileInfo(file).size() - 1552));
        const AdminRun damaged = runAdmin({"check", "Dorvica2"});
        QCOMPARE(damaged.code, 1);
        QVERIFY2(damaged.err.contains("Integridade: "), qPrintable(damaged.err));
        QCOMPARE(QDir(store->directory()).entryList(QDir::Files), QStringList{"velunor.db"});
    }

    // Cut within its last page, where the last exam's report ends: SQLite
    // reads the lost tail as zeros and its own check finds nothing.
    void checkFindsAStoreCutWithinItsLastPage()
    {
        if (TestStore::isPostgres())
            QSKIP("an SQLite store file");
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        store->connect("FILL")->execute("insert into eco (codigopaciente, codigoexame, eco1) values (1, :e, :r)",
                                        {QDateTime(QDate(2024, 1, 1), QTime(10, 0)), QString(20000, 'x')});
        const QString file = store->directory() + "/velunor.db";
        QVERIFY(QFile::resize(file, QFileInfo(file).size() - 100));
        const AdminRun check = runAdmin({"check", "Dorvica2"});
        QCOMPARE(check.code, 1);
        QVERIFY2(check.err.contains(QString("Integridade: o ficheiro %1 tem %2 bytes e devia ter %3").arg(file)
                                        .arg(QFileInfo(file).size()).arg(QFileInfo(file).size() + 100))
                     && check.err.contains("está truncado"),
                 qPrintable(check.err));
    }

    // The stored text goes out exactly; what the file cannot hold is refused.
    void exportWritesTheReportExactly()
    {
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        const QString plain = QString::fromUtf8("Seta → euro € travessão — ção 😀");
        const QString rtf = QString::fromLatin1("{\\rtf1 Fun\\'e7\\'e3o \xe9}"); // a raw byte too
        const QString notBytes = "{\\rtf1 " + plain + "}";
        int patient = 0;
        {
            auto db = store->connect("FILL");
            db->execute("insert into bddid (nome) values ('ANA')");
            patient = db->query("select nf from bddid").rows[0][0].toInt();
            int minute = 0;
            for (const QString& report : {plain, rtf, notBytes})
                db->execute("insert into eco (codigopaciente, codigoexame, eco1) values (:p, :e, :r)",
                            {patient, QDateTime(QDate(2024, 1, 1), QTime(10, minute++)), report});
        }
        QTemporaryDir dir;
        QByteArray written;
        auto exportExam = [&](int exam) {
            const QString file = dir.filePath(QString::number(exam) + ".rtf");
            const AdminRun r = runAdmin({"export-report", "Dorvica2", QString::number(patient), QString::number(exam), file});
            QFile f(file);
            written = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            return r;
        };
        QCOMPARE(exportExam(1).code, 0);
        QCOMPARE(written, plain.toUtf8());
        QCOMPARE(exportExam(2).code, 0);
        QCOMPARE(written, rtf.toLatin1());
        const AdminRun refused = exportExam(3);
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("U+2192, na posição 13"), qPrintable(refused.err));
        QVERIFY(!QFile::exists(dir.filePath("3.rtf")));
    }

    // The phrases go to a file and come back exactly, added to those there
    // are: separators, quotes, line breaks and accents inside the fields.
    void phrasesGoToAFileAndComeBack()
    {
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        const QList<QVariantList> phrases{{QString::fromUtf8("Sem alterações."), "uso frequente"},
                                          {"CIA; \"ostium secundum\".\nCom shunt E-D.", QVariant()},
                                          {QString::fromUtf8("Válvula \"normal\""), "; e mais"}};
        auto stored = [&] {
            QList<QVariantList> rows;
            for (const auto& row : store->connect("CHECK")->query("select frase, outros from frase order by codfrase").rows)
                rows << QVariantList{row[0], row[1]};
            return rows;
        };
        {
            auto db = store->connect("FILL");
            for (const QVariantList& phrase : phrases)
                db->execute("insert into frase (frase, outros) values (:f, :o)", phrase);
        }
        QTemporaryDir dir;
        const QString file = dir.filePath("frases.csv");
        AdminRun r = runAdmin({"phrases", "export", "Dorvica2", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadWrite));
        const QByteArray bytes = written.readAll();
        QCOMPARE(QString::fromUtf8(bytes),
                 QString::fromUtf8("Frase;Outros\nSem alterações.;uso frequente\n\"CIA; \"\"ostium secundum\"\".\n"
                                   "Com shunt E-D.\";\n\"Válvula \"\"normal\"\"\";\"; e mais\"\n"));
        // as a spreadsheet saves it again: with a byte-order mark
        written.seek(0);
        written.write("\xEF\xBB\xBF" + bytes);
        written.close();
        r = runAdmin({"phrases", "import", "Dorvica2", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(stored(), phrases + phrases);
    }

    void aMalformedPhraseFileIsRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("titles") << QByteArray("Frase\nA\n") << "linha 1: a primeira linha deve ser Frase;Outros";
        QTest::newRow("three fields") << QByteArray("Frase;Outros\nA;B\n\nC;D;E\n") << "linha 4: tem 3 campo(s)";
        QTest::newRow("after a field of two lines")
            << QByteArray("Frase;Outros\r\n\"A\r\nB\";C\r\nD\r\n") << "linha 4: tem 1 campo(s)";
        QTest::newRow("quotes never closed") << QByteArray("Frase;Outros\nA;B\n\"C;D\nE;F\n")
                                             << "linha 3: as aspas abertas nesta linha não se fecham";
        QTest::newRow("text after the quotes") << QByteArray("Frase;Outros\n\"A\"x;B\n")
                                               << "linha 2: depois das aspas que fecham um campo";
        QTest::newRow("quotes inside a field") << QByteArray("Frase;Outros\nA\"B;C\n") << "linha 2: há aspas";
        QTest::newRow("not UTF-8") << QByteArray("Frase;Outros\nA;B\nCora\xe7\xe3o;C\n")
                                   << "linha 3: o texto não está em UTF-8";
        QTest::newRow("too long") << "Frase;Outros\nA;" + QString(201, QChar(0xe9)).toUtf8() + "\n"
                                  << "linha 2: a observação tem 201 caracteres; o máximo é 200";
    }
    void aMalformedPhraseFileIsRefusedWhole()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        QTemporaryDir dir;
        QFile csv(dir.filePath("frases.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly) && csv.write(file) == file.size());
        csv.close();
        const AdminRun r = runAdmin({"phrases", "import", "Dorvica2", csv.fileName()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("frases.csv, " + why) && r.err.contains("Nenhuma frase foi importada."),
                 qPrintable(r.err));
        QCOMPARE(store->connect("CHECK")->query("select count(*) from frase").rows[0][0].toInt(), 0);
    }

    void badInputGetsAClearMessageAndANonZeroExit()
    {
        AdminRun r = runAdmin({"check", "NaoExiste"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("'NaoExiste' não está registado"));

        r = runAdmin({"alias", "set", "Longe", "--postgres", "host=127.0.0.1 port=1 dbname=x user=y"});
        QCOMPARE(r.code, 0);
        r = runAdmin({"create", "Longe"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Alias 'Longe': não foi possível ligar ao servidor PostgreSQL 127.0.0.1:1/x"));

        r = runAdmin({"alias", "set", "Impossivel", "--sqlite", "/dev/null/velunor"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("não pode ser criado ou escrito"));

        r = runAdmin({"alias", "set", "X", "--postgres", "host=h password=segredo dbname=d"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("~/.pgpass"));

        r = runAdmin({"demo", "Dorvica2", "--patients", "muitos"});
        QCOMPARE(r.code, 2);
        r = runAdmin({"frobnicate"});
        QCOMPARE(r.code, 2);
        QVERIFY(runAdmin({"--help"}).out.contains("velunor-admin alias set NOME --sqlite"));

        // a group that cannot be read is reported, kept, and can be removed;
        // the other aliases still serve
        QFile file(engine::AliasRegistry::defaultPath());
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n[Sem fim\n");
        file.close();
        r = runAdmin({"alias", "list"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("não pode ser lido: linha"), qPrintable(r.err));
        const QString dorvica2 = "Dorvica2\t" + TestStore::driverName();
        QVERIFY(r.out.contains(dorvica2));
        QTemporaryDir other;
        QCOMPARE(runAdmin({"alias", "set", "Outro", "--sqlite", other.path()}).code, 0);
        QCOMPARE(runAdmin({"alias", "remove", "Sem fim"}).code, 0);
        r = runAdmin({"alias", "list"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(dorvica2) && r.out.contains("Outro\tsqlite"));
    }

    void aliasesAreRegisteredListedAndRemoved()
    {
        AdminRun r = runAdmin({"alias", "set", "Outro", "--postgres",
                       "host=db.clinic.lan port=5433 dbname=velunor user=velunor statement_timeout=60"});
        QCOMPARE(r.code, 0);
        r = runAdmin({"alias", "list"});
        QVERIFY(r.out.contains(
            "Outro\tpostgres\tdatabase=velunor\thost=db.clinic.lan\tport=5433\tstatement_timeout=60\tuser=velunor"));
        QCOMPARE(runAdmin({"alias", "remove", "Outro"}).code, 0);
        QVERIFY(!runAdmin({"alias", "list"}).out.contains("Outro"));
        QCOMPARE(runAdmin({"alias", "remove", "Outro"}).code, 1);
    }
};

VELUNOR_TEST(TestAdmin)
#include "tst_admin.moc"
