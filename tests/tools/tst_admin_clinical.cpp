#include "common/AdminTool.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "clinical/Exam.h"
#include "data/MeasurementStore.h"
#include "platform/engine/Values.h"

#include <QRegularExpression>
#include <QTest>

// velunor-admin's clinical commands: body surface area, one z-score, an
// exam's measurements, the practice's settings, and the demo's measurements.
class TestAdminClinical : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    const QDateTime examKey = engine::values::wallClock(QDate(2026, 3, 10), QTime(9, 0));

    // Patient 1 with one exam: 20 kg, 110 cm, aortic root 20 mm in its
    // column, aortic annulus 14 mm in medida.
    void addExam()
    {
        auto db = store->connect("SEED");
        db->execute("insert into bddid (nome) values ('ANA')");
        db->execute("insert into eco (codigopaciente, codigoexame, peso, altura, ao) values (1, :k, 20000, 110, 20)",
                    {examKey});
        db->execute("insert into medida (codigopaciente, codigoexame, codigo, valor) values (1, :k, 'anel_ao', 14)",
                    {examKey});
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
    }
    void cleanup() { store.reset(); }

    void computesFromTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output"); // the beginning of stdout, or a part of stderr
        QTest::newRow("bsa") << QStringList{"bsa", "--height", "170", "--weight", "75"} << 0
                             << QString::fromUtf8("SC = 1,89 m² (Haycock)\n");
        QTest::newRow("bsa DuBois") << QStringList{"bsa", "--height", "185", "--weight", "90", "--formula", "dubois"}
                                    << 0 << QString::fromUtf8("SC = 2,14 m² (DuBois)\n");
        QTest::newRow("Lopez's example") << QStringList{"zscore", "anel_m", "11", "--bsa", "0,3"} << 0
                                         << "z = -1,01 (PHN 2017";
        QTest::newRow("Schneider's example") << QStringList{"zscore", "anel_p", "8.8", "--weeks", "36+6"} << 0
                                             << "z = +0,91 (Schneider 2005";
        QTest::newRow("the M-mode reference by height and weight")
            << QStringList{"zscore", "ao", "20", "--height", "110", "--weight", "20"} << 0
            << QString::fromUtf8("z = +0,47 (Detroit 2008; SC 0,78 m² (Haycock)");
        QTest::newRow("a site the reference lacks")
            << QStringList{"zscore", "anel_p_el", "8", "--bsa", "1", "--reference", "detroit2008"} << 2
            << QString::fromUtf8("não tem valores para");
        QTest::newRow("no body") << QStringList{"zscore", "ao", "20"} << 2 << "Sem peso e altura";
        QTest::newRow("no such site") << QStringList{"zscore", "aorta", "20", "--bsa", "1"} << 2 << "não existe";
        QTest::newRow("an impossible value") << QStringList{"zscore", "ao", "0", "--bsa", "1"} << 2
                                             << "maior do que zero";
        QTest::newRow("bsa without weight") << QStringList{"bsa", "--height", "170"} << 2 << "--weight KG";
    }
    void computesFromTheCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, output);
        const AdminRun r = runAdmin(args);
        QCOMPARE(r.code, code);
        if (code == 0)
            QVERIFY2(r.out.startsWith(output), qPrintable(r.out));
        else
            QVERIFY2(r.err.contains(output), qPrintable(r.err));
    }

    void listsAnExamsMeasurementsByThePracticesSettings()
    {
        addExam();
        const QString key = engine::values::dateTimeText(examKey);
        AdminRun r = runAdmin({"measurements", "Dorvica2", "1", key, "--csv"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QString("codigo;valor;unidade;origem;referencia;z\n"
                                "ao;20;mm;exame;detroit2008;0.47\n"
                                "anel_ao;14;mm;exame;phn2017;0.73\n"));

        r = runAdmin({"settings", "Dorvica2", "--formula", "dubois", "--reference", "detroit2008"});
        QVERIFY2(r.code == 0 && r.out.contains("DuBois"), qPrintable(r.err));
        r = runAdmin({"measurements", "Dorvica2", "1", key, "--csv"});
        QVERIFY2(r.out.endsWith("anel_ao;14;mm;exame;detroit2008;0.07\n"), qPrintable(r.out));
        r = runAdmin({"measurements", "Dorvica2", "1", key});
        QVERIFY2(r.out.contains(QString::fromUtf8("Anel aórtico (anel_ao): 14 mm   z = +0,07 (Detroit 2008; "
                                                  "SC 0,78 m² (DuBois)")),
                 qPrintable(r.out));
        QCOMPARE(runAdmin({"measurements", "Dorvica2", "1", "2026-03-11 09:00:00.000"}).code, 1);
        QCOMPARE(runAdmin({"settings", "Dorvica2", "--reference", "schneider2005"}).code, 2);
    }

    void checkOpensTheMeasurementTablesWhenThereAreAny()
    {
        store->connect("DROP")->execute("drop table medida");
        AdminRun r = runAdmin({"check", "Dorvica2"});
        QVERIFY2(r.code == 0 && r.out.contains(QString::fromUtf8("\"medida.DB\" ainda não existe")), qPrintable(r.err));
        store->connect("BREAK")->execute("create table medida (codigopaciente float)");
        r = runAdmin({"check", "Dorvica2"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("medida: A tabela \"medida.DB\" não tem o campo CodigoExame.")),
                 qPrintable(r.err));
    }

    // A few children followed over visits, and one whose aortic root widens.
    void theDemoMeasuresByTheChildsSize()
    {
        store.reset();
        store = std::make_unique<TestStore>();
        const AdminRun demo = runAdmin({"demo", "Dorvica2", "--patients", "40"});
        QVERIFY2(demo.code == 0, qPrintable(demo.err));
        const auto found = QRegularExpression("raiz da aorta do paciente (\\d+)").match(demo.out);
        QVERIFY2(found.hasMatch(), qPrintable(demo.out));
        auto db = store->connect("CHECK");
        QVERIFY(db->query("select count(*) from medida").rows[0][0].toInt() > 100);
        const auto exams = db->query("select peso, altura, ao from eco where codigopaciente = :p order by codigoexame",
                                     {found.captured(1).toInt()});
        QVERIFY(exams.rows.size() >= 4);
        std::vector<double> z;
        for (const auto& e : exams.rows) {
            const clinical::Body body = clinical::examBody(e[0].toDouble(), e[1].toDouble(), std::nullopt, {});
            z.push_back(clinical::normalFor(*clinical::findSite("ao"), body, {}).normal->zOf(e[2].toDouble()));
        }
        QVERIFY2(z.front() < 2 && z.back() > 3, qPrintable(QString("%1 .. %2").arg(z.front()).arg(z.back())));
        // Every value the demo wrote is one the page would take.
        for (const auto& row : db->query("select codigo, valor from medida").rows)
            QVERIFY(!clinical::refusal(*clinical::findSite(row[0].toString()), row[1].toDouble()));
    }
};

VELUNOR_TEST(TestAdminClinical)
#include "tst_admin_clinical.moc"
