#include "app/Main.h"
#include "clinical/Numbers.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/MeasurementsGrid.h"
#include "common/MainWindow.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/MeasurementStore.h"
#include "data/controls/DBRichEdit.h"
#include "editing/MeasurementsPage.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>

// The page "Medições" of the exam pane on a real store: values typed with a
// comma or a point are saved and dropped with the exam, impossible ones are
// refused, the exam lock holds, and another workstation's save is not lost.
class TestMeasurementsPage : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    const QDate today{2026, 12, 9};
    TDataModule1* dm = nullptr;

    void start()
    {
        QVERIFY(showMainWindow());
        dm = DataModule1;
        MainForm->PageControl2->setCurrentWidget(MainForm->TabSheetMedicoes);
    }

    // A patient of 20 kg and 110 cm with one exam made `daysAgo` days ago.
    void addPatientWithExam(const QString& name, int daysAgo)
    {
        setTickingClock(today.addDays(-daysAgo));
        dm->TablePac->insert();
        dm->TablePacNOME->setValue(name);
        dm->TablePac->post();
        dm->TableEco->insert();
        dm->TableEcoPeso->setValue(20000);
        dm->TableEcoAltura->setValue(110);
        dm->TableEco->post();
        setTickingClock(today);
    }

    MeasurementsPage* page() const { return MainForm->TabSheetMedicoes; }

    int rowOf(const char* code) const { return gridRow(page(), code); }
    QString cell(const char* code, int column) const { return gridCell(page(), code, column); }

    // Types into a value's cell as the user does, Enter included.
    void typeValue(const char* code, const QString& text, bool enter = true)
    {
        QTableView* grid = page()->GridMedicoes;
        const QModelIndex at = grid->model()->index(rowOf(code), 1);
        grid->setCurrentIndex(at);
        grid->edit(at);
        QWidget* editor = grid->indexWidget(at);
        if (!editor)
            return; // the cell refused: not editable
        static_cast<QLineEdit*>(editor)->selectAll();
        QTest::keyClicks(editor, text);
        if (enter) {
            QTest::keyClick(editor, Qt::Key_Return);
            QCoreApplication::processEvents(); // Enter takes the value on the next turn
        }
    }

    void press(DBNavigator::Button button) { QTest::mouseClick(MainForm->DBNavigator2->button(button), Qt::LeftButton); }

    measurements::ExamKey currentKey() const
    {
        return {dm->TableEcoCodigoPaciente->value(), dm->TableEcoCodigoExame->value()};
    }
    clinical::Values stored() const { return measurements::read(*store->connect("STORED"), currentKey()); }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        setTickingClock(today);
        start();
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        store.reset();
    }

    void typedValuesAreSavedWithTheExamAndComeBack()
    {
        addPatientWithExam("ANA", 0);
        QCOMPARE(page()->LabelCorpo->text(), QString::fromUtf8("Peso: 20 kg    Altura: 110 cm    SC: 0,78 m² (Haycock)"));
        press(DBNavigator::Edit);
        typeValue("ao", "20,5");
        typeValue("anel_ao", "14.5");
        typeValue("ved", "40");
        typeValue("ves", "25");
        typeValue("anel_m", "16", false);
        QVERIFY(!cell("anel_m", 5).isEmpty()); // judged as typed, before it is taken
        press(DBNavigator::Post);              // which takes it
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);

        auto db = store->connect("CHECK");
        const auto exam = db->query("select ao, ved, ves, fenc, fe from eco").rows.at(0);
        QCOMPARE(exam[0].toDouble(), 20.5);
        QCOMPARE(exam[3].toDouble(), 37.5); // recomputed from Ved and Ves
        QVERIFY(std::abs(exam[4].toDouble() - 68.112) < 0.001);
        QCOMPARE(stored(), (clinical::Values{{"anel_ao", 14.5}, {"anel_m", 16.0}}));

        // Read back by a program started afresh.
        Application::instance()->destroyComponents();
        start();
        QCOMPARE(cell("anel_ao", 1), QString("14,5"));
        QCOMPARE(cell("anel_ao", 3), QString("PHN 2017 (Haycock)"));
        QCOMPARE(cell("anel_ao", 5), QString("+1,13")); // (1.45 / sqrt(0.7832) - 1.48) / 0.14
        QCOMPARE(cell("fenc", 1), QString("37,5"));
    }

    void thePracticesChoiceIsTheStores()
    {
        measurements::setPractice(*store->connect("SET"), {clinical::BsaFormula::DuBois,
                                                           clinical::Reference::Detroit2008});
        Application::instance()->destroyComponents();
        start();
        addPatientWithExam("ANA", 0);
        QVERIFY2(page()->LabelCorpo->text().endsWith("(DuBois)"), qPrintable(page()->LabelCorpo->text()));
        QCOMPARE(cell("anel_ao", 3), QString("Detroit 2008 (DuBois)"));
        QCOMPARE(cell("anel_p_el", 3), QString("PHN 2017 (Haycock)")); // only PHN has it
    }

    void aFetalExamIsJudgedByGestationalAge()
    {
        addPatientWithExam("FETO", 0);
        press(DBNavigator::Insert); // measured before its first save
        page()->EditIdadeGestacional->setFocus();
        QTest::keyClicks(page()->EditIdadeGestacional, "36+6");
        QTest::keyClick(page()->EditIdadeGestacional, Qt::Key_Return);
        typeValue("anel_p", "8,8");
        QCOMPARE(cell("anel_p", 3), QString("Schneider 2005"));
        QCOMPARE(cell("anel_p", 5), QString("+0,91")); // Schneider's own example
        QVERIFY(page()->LabelCorpo->text().contains("36+6"));
        QCOMPARE(cell("siv", 3), QString()); // no fetal reference for it
        press(DBNavigator::Post);
        QCOMPARE(dm->TableEco->recordCount(), 2);
        QVERIFY(std::abs(stored().value("ig") - (36 + 6 / 7.0)) < 1e-9);
        QCOMPARE(stored().value("anel_p"), 8.8);
    }

    void impossibleValuesAreRefusedAndNothingIsStored_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("over 100 mm") << "ao" << "120" << QString::fromUtf8("Raiz da aorta (seios de Valsalva): 120 mm não é possível");
        QTest::newRow("zero") << "anel_ao" << "0" << QString::fromUtf8("tem de ser maior do que zero");
        QTest::newRow("negative") << "anel_ao" << "-3" << QString::fromUtf8("tem de ser maior do que zero");
        QTest::newRow("not a number") << "anel_ao" << "14 mm" << QString::fromUtf8("«14 mm» não é um número");
    }
    void impossibleValuesAreRefusedAndNothingIsStored()
    {
        QFETCH(QString, code);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        addPatientWithExam("ANA", 0);
        press(DBNavigator::Edit);
        const QStringList boxes = answerBoxes([&] {
            typeValue(qPrintable(code), typed);
            QTest::qWait(50);
        });
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains(message) && boxes[0].contains("Nada foi gravado"), qPrintable(boxes[0]));
        QCOMPARE(cell(qPrintable(code), 1), QString());
        QVERIFY(!dm->TableEco->modified());
        press(DBNavigator::Post);
        QVERIFY(dm->TableEcoAo->isNull());
        QCOMPARE(stored(), clinical::Values());
    }

    void anExamPastItsLockCannotBeMeasured()
    {
        addPatientWithExam("ANTIGO", 2);
        QCOMPARE(page()->GridMedicoes->model()->flags(page()->GridMedicoes->model()->index(rowOf("ao"), 1))
                     & Qt::ItemIsEditable,
                 Qt::ItemFlags());
        QVERIFY(page()->EditIdadeGestacional->isReadOnly());
        const QStringList boxes = answerBoxes([&] { press(DBNavigator::Edit); });
        QCOMPARE(boxes, QStringList{QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!")});
        typeValue("anel_ao", "14");
        QCOMPARE(cell("anel_ao", 1), QString());
        QVERIFY_THROWS_EXCEPTION(engine::EngineError,
                                 dm->Measurements->setValue(*clinical::findSite("anel_ao"), 14.0));
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
    }

    void cancelDropsTheValuesAndDeletingTheExamTakesThem()
    {
        addPatientWithExam("ANA", 0);
        press(DBNavigator::Edit);
        typeValue("anel_ao", "14");
        press(DBNavigator::Cancel);
        QCOMPARE(cell("anel_ao", 1), QString());
        QCOMPARE(stored(), clinical::Values());

        press(DBNavigator::Edit);
        typeValue("anel_ao", "14");
        press(DBNavigator::Post);
        QCOMPARE(stored().size(), 1);
        const measurements::ExamKey key = currentKey();
        answerBoxes([&] { press(DBNavigator::Delete); }, {QMessageBox::Ok});
        QVERIFY(dm->TableEco->isEmpty());
        QCOMPARE(measurements::read(*store->connect("CHECK"), key), clinical::Values());
    }

    // Two workstations: a save over the other's saved measurements is
    // refused and keeps what was typed, as for the report.
    void anotherWorkstationsSaveIsNotOverwritten()
    {
        addPatientWithExam("ANA", 0);
        {
            auto other = store->connect("OTHER");
            other->driver().begin();
            measurements::write(*other, currentKey(), {}, {{"anel_ao", 15.0}});
            other->driver().commit();
        }
        press(DBNavigator::Edit);
        typeValue("anel_ao", "16");
        QStringList boxes = answerBoxes([&] { press(DBNavigator::Post); });
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains("alteradas por outro utilizador"), qPrintable(boxes[0]));
        QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
        QCOMPARE(cell("anel_ao", 1), QString("16"));
        QCOMPARE(stored(), (clinical::Values{{"anel_ao", 15.0}}));
        press(DBNavigator::Cancel);
        QCOMPARE(cell("anel_ao", 1), QString("15"));

        // An M-mode value lives in the exam's own row: the row's own check.
        store->connect("OTHER")->execute("update eco set ao = 21");
        press(DBNavigator::Edit);
        typeValue("ao", "22");
        boxes = answerBoxes([&] { press(DBNavigator::Post); });
        QVERIFY2(boxes.value(0).contains("O registo foi alterado por outro utilizador"), qPrintable(boxes.value(0)));
        press(DBNavigator::Cancel);
        QCOMPARE(cell("ao", 1), QString("21"));
    }

    // "Inserir medições no relatório" puts the exam into editing and the block
    // at the report's caret: from the page after the selection it cannot
    // show, from the editor's menu as a paste. Its tab stops are saved.
    void theMeasurementsGoIntoTheReportAtTheCaret()
    {
        addPatientWithExam("ANA", 0);
        press(DBNavigator::Edit);
        dm->TableEcoEco1->setValue("Antes. Depois.");
        typeValue("anel_ao", "14,5");
        press(DBNavigator::Post);
        DBRichEdit* editor = MainForm->Editor;
        editor->setTextCursor(editor->document()->find("Antes.")); // selected while browsing

        QTest::mouseClick(page()->BotaoInserirMedicoes, Qt::LeftButton);
        QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
        QCOMPARE(MainForm->PageControl2->currentWidget(), MainForm->TabSheet7);
        const QString heading = QString::fromUtf8("Superfície corporal 0,78 m² (Haycock); z-scores: PHN 2017");
        const QString line = QString::fromUtf8("Anel aórtico\t14,5 mm\tz =\t+1,13");
        QCOMPARE(editor->toPlainText(), "Antes.\n" + heading + "\n" + line + "\n Depois.");
        QCOMPARE(editor->textCursor().block().text(), line);
        press(DBNavigator::Post);

        const QString rtf = store->connect("CHECK")->query("select eco1 from eco").rows.at(0).at(0).toString();
        QVERIFY2(rtf.contains("\\tx3960\\tx5160\\tqr\\tx6120\\tx6240"), qPrintable(rtf));
        QTextDocument stored;
        richtext::load(&stored, rtf);
        const QList<QTextOption::Tab> tabs = stored.find(QString::fromUtf8("Anel aórtico")).block().blockFormat().tabPositions();
        QCOMPARE(tabs.value(2).type, QTextOption::RightTab);
        QCOMPARE(tabs.value(2).position, 408.0);

        editor->moveCursor(QTextCursor::End);
        MainForm->InserirMedicoes1->trigger();
        QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
        QCOMPARE(editor->toPlainText().count(heading), 2);
        QVERIFY(editor->toPlainText().endsWith(" Depois.\n" + heading + "\n" + line));
    }

    void insertingIsRefusedByTheExamLockAndWithoutMeasurements()
    {
        addPatientWithExam("SEM MEDIDAS", 0);
        auto insert = [&] { QTest::mouseClick(page()->BotaoInserirMedicoes, Qt::LeftButton); };
        QCOMPARE(answerBoxes(insert),
                 QStringList{QString::fromUtf8("Não há medições para inserir no relatório.")});
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);

        addPatientWithExam("ANTIGO", 2);
        setTickingClock(today.addDays(-2));
        press(DBNavigator::Edit);
        typeValue("anel_ao", "14");
        press(DBNavigator::Post);
        setTickingClock(today);
        const std::function<void()> commands[] = {insert, [] { MainForm->InserirMedicoes1->trigger(); }};
        for (const auto& command : commands) {
            QCOMPARE(answerBoxes(command), QStringList{QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!")});
            QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
            QCOMPARE(MainForm->Editor->toPlainText(), QString());
            QCOMPARE(MainForm->PageControl2->currentWidget(), page());
        }
    }
};

VELUNOR_TEST(TestMeasurementsPage)
#include "tst_measurements.moc"
