#include "app/Main.h"
#include "common/AdminTool.h"
#include "common/DicomService.h"
#include "common/Dialogs.h"
#include "common/SrDocuments.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/MeasurementsGrid.h"
#include "common/MainWindow.h"
#include "clinical/Numbers.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/Received.h"
#include "editing/FormRecebidos.h"
#include "editing/MeasurementsPage.h"
#include "editing/ReceivedBanner.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

// The echo machine's reports in the program: shown on their exam's page
// "Medições", applied under the exam's lock and save rules, and those that
// found no exam given to one by hand.
class TestReceivedMeasurements : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    QTemporaryDir dir;
    const QDate today{2026, 12, 9};
    TDataModule1* dm = nullptr;

    // A patient of 20 kg and 110 cm, born on 10 March 2015, with one exam
    // made `daysAgo` days ago; the patient and the exam are current.
    int addPatientWithExam(const QString& name, int daysAgo = 0)
    {
        setTickingClock(today.addDays(-daysAgo));
        dm->TablePac->insert();
        dm->TablePacNOME->setValue(name);
        dm->TablePacDNASC->setValue(QDateTime(QDate(2015, 3, 10), QTime(0, 0)));
        dm->TablePac->post();
        dm->TableEco->insert();
        dm->TableEcoPeso->setValue(20000);
        dm->TableEcoAltura->setValue(110);
        dm->TableEco->post();
        setTickingClock(today);
        return dm->TablePacCODIGO->value().toInt();
    }

    // The typical report of ANA TESTE's exam of `day`, as a file.
    QString reportFile(const QString& name, const QDate& day, const QString& patientName = "TESTE^ANA")
    {
        srtest::Report r = srtest::typicalReport();
        r.studyDate = day.toString("yyyyMMdd");
        r.patientName = patientName;
        const QString path = dir.filePath(name);
        srtest::writeFile(r, path);
        return path;
    }

    // As `velunor-admin dicom-import` keeps it.
    void import(const QString& path)
    {
        received::store(*store->connect("IMPORT"), dicom::readFile(path), QFileInfo(path).fileName());
        dm->Measurements->readReceived();
    }

    MeasurementsPage* page() const { return MainForm->TabSheetMedicoes; }
    ReceivedBanner* banner() const { return page()->PainelRecebidas; }

    int row(const char* code) const { return gridRow(page(), code); }
    QString cell(const char* code, int column) const { return gridCell(page(), code, column); }

    void press(DBNavigator::Button button) { QTest::mouseClick(MainForm->DBNavigator2->button(button), Qt::LeftButton); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // What the banner says of this exam's reports; empty when it says nothing.
    QString shown() const { return banner()->BotaoAplicar->isVisible() ? banner()->LabelRecebidas->text() : QString(); }

    int applied() const
    {
        return store->connect("CHECK")->query("select count(*) from docrecebido where aplicado is not null")
            .rows[0][0].toInt();
    }

    QString csv(int patient)
    {
        const QString key = dm->TableEcoCodigoExame->value().toDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz");
        const AdminRun r = runAdmin({"measurements", "Dorvica2", QString::number(patient), key, "--csv"});
        return r.code == 0 ? r.out : r.err;
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        setTickingClock(today);
        QVERIFY(showMainWindow());
        dm = DataModule1;
        MainForm->PageControl2->setCurrentWidget(MainForm->TabSheetMedicoes);
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        store.reset();
    }

    // What the echo machine sends to the running service shows on the right
    // exam, "Aplicar" puts it on the page with its z-scores, and the exam's
    // save keeps it, after which it counts as applied.
    void aReportSentByTheMachineIsAppliedAndSaved()
    {
        const int rui = addPatientWithExam("RUI COSTA");
        const int ana = addPatientWithExam("ANA TESTE");
        srtest::ListeningService service(VELUNOR_BINARY_DIR "/tools/admin/velunor-admin");
        QString why;
        QVERIFY2(service.ready(&why), qPrintable(why));
        QCOMPARE(service.send(reportFile("eco.dcm", today)), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"), 15000);
        QVERIFY2(csv(ana).contains("\nved;32.7;mm;ecografo;detroit2008;"), qPrintable(csv(ana)));

        // Not on the other patient's exam of the same day.
        QVERIFY(dm->TablePac->locate("NOME", "RUI COSTA", {}));
        QCOMPARE(shown(), QString());
        QVERIFY(!csv(rui).contains("ecografo"));
        QVERIFY(dm->TablePac->locate("NOME", "ANA TESTE", {}));

        click(banner()->BotaoVerRecebidas);
        QTableWidget* values = banner()->GridRecebidas;
        QVERIFY(values->isVisible());
        QCOMPARE(values->rowCount(), 10); // 8 used, 2 not
        QCOMPARE(values->item(0, 1)->text(), QString("32,7 mm"));
        QCOMPARE(values->item(0, 2)->text(), QString("M mode; 4 valores do mesmo local: escolhida a média"));
        QVERIFY(values->item(0, 3)->text().endsWith("AE ECOGRAFO"));

        QCOMPARE(answerBoxes([&] { click(banner()->BotaoAplicar); }), QStringList());
        QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
        QCOMPARE(cell("ved", 1), QString("32,7"));
        QCOMPARE(cell("jst", 1), QString("15"));
        QCOMPARE(cell("fenc", 1), QString("38,84")); // from Ved and Ves
        const QString z = cell("ved", 5);
        QVERIFY(!z.isEmpty());
        QCOMPARE(shown(), QString());
        QCOMPARE(banner()->LabelRecebidas->text(),
                 QString::fromUtf8("Medições do ecógrafo aplicadas: grave o exame para as guardar."));
        QCOMPARE(applied(), 0); // nothing until the exam is saved

        press(DBNavigator::Post);
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
        QCOMPARE(applied(), 1);
        QCOMPARE(store->connect("CHECK")->query("select ved from eco where codigopaciente = :p", {double(ana)})
                     .rows[0][0].toDouble(),
                 32.7);
        const QString after = csv(ana);
        QVERIFY2(after.contains("\nved;32.7;mm;exame;detroit2008;" + QString(z).remove('+').replace(',', '.') + "\n"),
                 qPrintable(after + z));
        QVERIFY2(after.contains("\nanel_m;19;mm;exame;") && !after.contains("ecografo"), qPrintable(after));
        QVERIFY(!banner()->isVisible());
    }

    void applyingFollowsTheExamsLockAndAsksBeforeReplacing_data()
    {
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<QString>("typed");     // the end-diastolic dimension typed first
        QTest::addColumn<int>("answer");        // to the question, if one comes
        QTest::addColumn<QString>("box");       // part of the one box shown; none when empty
        QTest::addColumn<QString>("ved");       // on the page afterwards
        QTest::addColumn<bool>("takenMeanwhile");
        const auto yes = int(QMessageBox::Yes), no = int(QMessageBox::No);
        QTest::newRow("locked exam") << 2 << "" << yes << QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!")
                                     << "" << false;
        QTest::newRow("typed kept") << 0 << "40" << no << QString::fromUtf8("40 mm → 32,7 mm") << "40" << false;
        QTest::newRow("typed replaced") << 0 << "40" << yes << QString::fromUtf8("40 mm → 32,7 mm") << "32,7" << false;
        QTest::newRow("same value typed") << 0 << "32,7" << yes << "" << "32,7" << false;
        QTest::newRow("applied elsewhere meanwhile") << 0 << "" << yes << "" << "32,7" << true;
    }
    void applyingFollowsTheExamsLockAndAsksBeforeReplacing()
    {
        QFETCH(int, daysAgo);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(QString, ved);
        QFETCH(bool, takenMeanwhile);
        addPatientWithExam("ANA TESTE", daysAgo);
        import(reportFile("eco.dcm", today.addDays(-daysAgo)));
        QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
        if (!typed.isEmpty()) {
            press(DBNavigator::Edit);
            dm->Measurements->setValue(*clinical::findSite("ved"), clinical::parseNumber(typed));
        }

        const QStringList boxes =
            answerBoxes([&] { click(banner()->BotaoAplicar); }, {QMessageBox::StandardButton(answer)});
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QVERIFY2(boxes[0].contains(box), qPrintable(boxes[0]));
        QCOMPARE(cell("ved", 1), ved);
        if (daysAgo > 1) {
            QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
            QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
            return;
        }
        QCOMPARE(cell("siv", 1), QString("6,5")); // empty before: filled whatever the answer

        if (takenMeanwhile) {
            store->connect("OTHER")->execute("update docrecebido set aplicado = :a", {QDateTime(today, QTime(8, 0))});
            const QStringList refused = answerBoxes([&] { press(DBNavigator::Post); });
            QVERIFY2(refused.value(0).contains("foi entretanto aplicado"), qPrintable(refused.value(0)));
            QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
            QCOMPARE(store->connect("CHECK")->query("select count(*) from medida").rows[0][0].toInt(), 0);
        }
        // Cancel drops what was applied: the report waits again.
        press(DBNavigator::Cancel);
        QCOMPARE(cell("ved", 1), QString());
        if (!takenMeanwhile) {
            QCOMPARE(applied(), 0);
            QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
        }
    }

    // A report of the patient's visit before the exam was made waits for it,
    // and a value being typed when a report arrives stays as typed.
    void aNewExamTakesTheReportWaitingForIt()
    {
        const int ana = addPatientWithExam("ANA TESTE", 30);
        import(reportFile("eco.dcm", today));
        QCOMPARE(shown(), QString());
        press(DBNavigator::Insert);
        QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
        QCOMPARE(answerBoxes([&] { click(banner()->BotaoAplicar); }), QStringList());
        QCOMPARE(cell("ao", 1), QString("18"));

        QTableView* grid = page()->GridMedicoes;
        const QModelIndex at = grid->model()->index(row("anel_ao"), 1);
        grid->setCurrentIndex(at);
        grid->edit(at);
        auto* editor = static_cast<QLineEdit*>(grid->indexWidget(at));
        QTest::keyClicks(editor, "14");
        import(reportFile("outro.dcm", today, "OUTRO^NOME")); // a report for no one: the banner changes
        QCOMPARE(editor->text(), QString("14"));

        press(DBNavigator::Post);
        auto db = store->connect("CHECK");
        QCOMPARE(db->query("select count(*) from docrecebido where aplicado is not null and codigopaciente = :p and "
                           "codigoexame = :e",
                           {double(ana), dm->TableEcoCodigoExame->value()})
                     .rows[0][0].toInt(),
                 1);
        QCOMPARE(cell("anel_ao", 1), QString("14"));
    }

    // A report that found no patient waits in "Documentos do ecógrafo por
    // atribuir" until the doctor gives it to the current exam, or discards it;
    // one given to the wrong exam goes back to wait.
    void aReportThatFoundNoOneIsAssignedByHand()
    {
        addPatientWithExam("ANA TESTE");
        import(reportFile("a.dcm", today, "OUTRO^NOME"));
        import(reportFile("b.dcm", today, "TERCEIRO^NOME"));
        QCOMPARE(shown(), QString());
        QVERIFY(banner()->BotaoPorAtribuir->isVisible());
        QCOMPARE(banner()->BotaoPorAtribuir->text(), QString::fromUtf8("Documentos do ecógrafo por atribuir (2)..."));

        MainForm->Recebidos1->trigger();
        TFormRecebidos* window = FormRecebidos;
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->GridDocumentos->rowCount(), 2);
        QVERIFY(window->LabelDestino->text().startsWith("Atribuir a ANA TESTE (NF "));
        QCOMPARE(window->ComboExames->currentData(), dm->TableEcoCodigoExame->value());

        auto choose = [&](const char* name) {
            for (int r = 0; r < window->GridDocumentos->rowCount(); ++r)
                if (window->GridDocumentos->item(r, 1)->text().startsWith(name))
                    window->GridDocumentos->selectRow(r);
        };
        choose("NOME OUTRO");
        const QStringList asked = answerBoxes([&] { click(window->BotaoAtribuir); }, {QMessageBox::No});
        QVERIFY2(asked.value(0).contains("NOME OUTRO") && asked.value(0).contains("ANA TESTE"),
                 qPrintable(asked.value(0)));
        QCOMPARE(window->GridDocumentos->rowCount(), 2);
        answerBoxes([&] { click(window->BotaoAtribuir); }, {QMessageBox::Yes});
        QCOMPARE(window->GridDocumentos->rowCount(), 1);
        QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
        QCOMPARE(banner()->BotaoPorAtribuir->text(), QString::fromUtf8("Documentos do ecógrafo por atribuir (1)..."));

        choose("NOME TERCEIRO");
        answerBoxes([&] { click(window->BotaoDescartar); }, {QMessageBox::No});
        QCOMPARE(window->GridDocumentos->rowCount(), 1);
        const QString discard = answerBox([&] { click(window->BotaoDescartar); }, QMessageBox::Yes);
        QVERIFY2(discard.contains("NOME TERCEIRO"), qPrintable(discard));
        QCOMPARE(window->GridDocumentos->rowCount(), 0);
        QVERIFY(!banner()->BotaoPorAtribuir->isVisible());
        // Given to the wrong exam, the report goes back to those that wait.
        click(banner()->BotaoVerRecebidas);
        answerBoxes([&] { click(banner()->BotaoDevolver); }, {QMessageBox::No});
        QCOMPARE(shown(), QString::fromUtf8("Medições recebidas do ecógrafo (1)"));
        const QString back = answerBox([&] { click(banner()->BotaoDevolver); }, QMessageBox::Yes);
        QVERIFY2(back.contains(QString::fromUtf8("não é dele")), qPrintable(back));
        QCOMPARE(shown(), QString());
        QCOMPARE(banner()->BotaoPorAtribuir->text(), QString::fromUtf8("Documentos do ecógrafo por atribuir (1)..."));
        auto db = store->connect("CHECK");
        QCOMPARE(db->query("select count(*) from docrecebido where codigopaciente is null").rows[0][0].toInt(), 1);
        QCOMPARE(db->query("select count(distinct sopuid) from medrecebida").rows[0][0].toInt(), 1);
    }
};

VELUNOR_TEST(TestReceivedMeasurements)
#include "tst_received.moc"
