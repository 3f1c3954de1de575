#include "common/AdminTool.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/DM.h"
#include "data/Field.h"
#include "data/Query.h"
#include "data/Schema.h"
#include "data/Table.h"
#include "data/controls/DBRichEdit.h"
#include "platform/ui/Application.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The old tables that pxlib wrote for the reader's tests.
const QString kOldTables = QDir::cleanPath(VELUNOR_TEST_DATA "/../../platform/paradox/data");

// Every file of `dir` with a hash of its bytes.
QMap<QString, QByteArray> fingerprint(const QString& dir)
{
    QMap<QString, QByteArray> out;
    for (const QString& name : QDir(dir).entryList(QDir::Files)) {
        QFile f(dir + "/" + name);
        f.open(QIODevice::ReadOnly);
        out[name] = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
    }
    return out;
}

// A copy of the old tables that a test may damage.
std::unique_ptr<QTemporaryDir> copyOfOldTables()
{
    auto dir = std::make_unique<QTemporaryDir>();
    for (const QString& name : QDir(kOldTables).entryList(QDir::Files))
        QFile::copy(kOldTables + "/" + name, dir->filePath(name));
    return dir;
}

// The report of the third exam of patient 1, as the old program's editor
// wrote it (make_tables.c builds the same text).
QByteArray longReport()
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang2070{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                     "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    for (int i = 0; i < 16; ++i)
        rtf += QByteArray(i == 0 ? "\\b " : "")
            + "Situs solitus. Concord\\'e2ncia auriculoventricular e ventriculoarterial. Septos \\'edntegros. "
              "Fun\\'e7\\'e3o sist\\'f3lica preservada."
            + (i == 0 ? "\\b0" : "") + "\\par\r\n";
    return rtf + "}\r\n";
}

// The advanced search's statement for `pattern` over the 21 patient columns.
QString advancedSearch(const QString& pattern)
{
    QStringList conditions;
    for (const QString& c : schema::patientSearchColumns()) {
        const bool date = c == "NF" || c == "DNASC" || c == "D1CONS";
        const bool number = c == "IDADE" || c == "NCONS" || c == "PERUTENTE";
        const QString column = date ? "Cast(" + c + " as char(10))" : number ? "Cast(" + c + " as char(3))" : c;
        conditions << "Upper(" + column + ") like '" + pattern + "'";
    }
    return "select " + schema::patientSearchColumns().join(',') + " from bddid where " + conditions.join(" or ");
}

} // namespace

// velunor-admin import on real stores, read back through the program.
class TestImport : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;

    int count(const QString& table) { return store->connect("COUNT")->query("select count(*) from " + table).rows[0][0].toInt(); }

private slots:
    void init() { store = std::make_unique<TestStore>(); }
    void cleanup()
    {
        Application::instance()->destroyComponents();
        store.reset();
    }

    void importsEveryTableAndTheProgramShowsThem()
    {
        const auto before = fingerprint(kOldTables);
        const AdminRun run = runAdmin({"import", "Dorvica2", kOldTables});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(fingerprint(kOldTables), before);
        for (const char* line : {"Bddid.DB\\s+BDDID.DB\\s+7.x\\s+850\\s+94\\s+94", "eco.DB\\s+eco.db\\s+7.x\\s+1252\\s+21\\s+21",
                                 "Frase.db\\s+FRASE.DB\\s+7.x\\s+860\\s+4\\s+4", "Bddid.DB: coluna OBS acrescentada \\(memo\\)",
                                 "Bddid.DB: o próximo NF será 113"})
            QVERIFY2(run.out.contains(QRegularExpression(QString::fromUtf8(line))), qPrintable(run.out));

        {
            auto db = store->connect("CHECK");
            const auto exam = db->query("select eco1, fe, siv, codigoexame, tecnico from eco where codigopaciente = 1 "
                                        "order by codigoexame");
            QCOMPARE(exam.rows[2][0].toString().toLatin1(), longReport()); // byte for byte
            QCOMPARE(exam.rows[0][1].toDouble(), 0.0);
            QCOMPARE(exam.rows[0][2].toDouble(), -0.5);
            QCOMPARE(exam.rows[1][3].toDateTime(), QDateTime(QDate(2023, 4, 10), QTime(10, 15, 30, 251), Qt::UTC));
            QCOMPARE(exam.rows[0][4].toInt(), 2);
            QCOMPARE(db->query("select obs from bddid where nf = 2").rows[0][0].toString(),
                     QString::fromUtf8("Irmã gémea: ver NF 3."));
            QCOMPARE(db->query("select count(*) from bddid where nf in (7, 36)").rows[0][0].toInt(), 0);
        }

        Startup startup(*Application::instance());
        QCOMPARE(answerBoxes([&] { startup.build(); }), QStringList()); // opens with no warning
        TDataModule1* dm = DataModule1;
        QCOMPARE(dm->TablePac->recordCount(), 94);
        QVERIFY(dm->TablePac->locate("NF", 1, {}));
        QCOMPARE(dm->TablePacNOME->value().toString(), QString::fromUtf8("JOÃO GONÇALVES"));
        QCOMPARE(dm->TableEco->recordCount(), 3);
        dm->TableEco->last();
        QVERIFY(MainForm->Editor->toPlainText().contains(QString::fromUtf8("Função sistólica preservada.")));
        QVERIFY(dm->TableTipoEx->locate("Id", 1, {}));

        dm->QueryPesqAv->setSql(advancedSearch(QString::fromUtf8("%GONÇALVES%")));
        dm->QueryPesqAv->open();
        QVERIFY(dm->QueryPesqAv->recordCount() > 0);
        QVERIFY(dm->QueryPesqAv->locate("NF", 1, {}));

        dm->TablePac->insert();
        dm->TablePacNOME->setValue("NOVO");
        dm->TablePac->post();
        QCOMPARE(dm->TablePacCODIGO->value().toInt(), 113); // after the orphan exams of NF 112
    }

    void refusesAStoreWithRecordsUnlessToldToReplaceThem()
    {
        QCOMPARE(runAdmin({"import", "Dorvica2", kOldTables}).code, 0);
        store->connect("EXTRA")->execute("insert into bddid (nome) values ('OUTRO')");
        // Measurements of an exam the import replaces must not stick to the new one.
        store->connect("EXTRA")->execute("insert into medida select codigopaciente, codigoexame, 'ao', 20 from eco");
        // Nor a report from the echo machine, which waits to be assigned again.
        store->connect("EXTRA")->execute("insert into docrecebido (sopuid, codigopaciente, codigoexame) "
                                         "select '1.2.3', codigopaciente, codigoexame from eco limit 1");
        const AdminRun again = runAdmin({"import", "Dorvica2", kOldTables});
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains("A tabela Bddid.DB do Velunor já tem registos; use --replace"), qPrintable(again.err));
        QCOMPARE(count("bddid"), 95);

        const AdminRun replaced = runAdmin({"import", "Dorvica2", kOldTables, "--replace"});
        QVERIFY2(replaced.code == 0, qPrintable(replaced.err));
        QCOMPARE(count("bddid"), 94);
        QCOMPARE(count("eco"), 21);
        QCOMPARE(count("medida"), 0);
        QCOMPARE(count("docrecebido where codigopaciente is null and codigoexame is null"), 1);
    }

    void aBadTableLeavesTheStoreAsItWas()
    {
        auto dir = copyOfOldTables();
        QFile::resize(dir->filePath("eco.mb"), 8192); // the reports in blocks of their own are cut off
        AdminRun run = runAdmin({"import", "Dorvica2", dir->path()});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("eco.db, registo 3, campo Eco1: o memo aponta para fora do ficheiro eco.mb."),
                 qPrintable(run.err));
        QVERIFY(run.err.contains("A importação foi recusada: nada foi gravado"));
        QCOMPARE(count("bddid"), 0); // read without fault, but not kept

        QFile::remove(dir->filePath("medico.DB"));
        QFile::resize(dir->filePath("BDDID.DB"), 5000);
        run = runAdmin({"import", "Dorvica2", dir->path()});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("BDDID.DB: o tamanho do ficheiro (5000 bytes)"), qPrintable(run.err));
        QVERIFY(run.err.contains("Falta a tabela Medico.DB em"));
        QCOMPARE(count("bddid"), 0);

        // A chain that stops short of the blocks the header counts, with the
        // record count of the blocks it still has: 89 of the 94 patients.
        dir = copyOfOldTables();
        QFile patients(dir->filePath("BDDID.DB"));
        QVERIFY(patients.open(QIODevice::ReadWrite));
        patients.seek(6);
        patients.write(QByteArray("\x59", 1));
        patients.seek(0x800 + 0x4000); // block 2 (16 KiB blocks after a 2 KiB header), which leads to block 4
        patients.write(QByteArray(2, 0));
        patients.close();
        run = runAdmin({"import", "Dorvica2", dir->path()});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("BDDID.DB: o cabeçalho indica 4 blocos em uso, mas a cadeia de blocos passa por 3;"),
                 qPrintable(run.err));
        QVERIFY(!run.out.contains(QString::fromUtf8("Importação concluída")));
        QCOMPARE(count("bddid"), 0);
    }
};

VELUNOR_TEST(TestImport)
#include "tst_import.moc"
