#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBLookupComboBox.h"
#include "data/controls/DBMemo.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"

#include <QTabWidget>
#include <QTest>
#include <QToolButton>

// The page "Modelos de Relatório" on a real store: two exam types, and a
// patient with one exam of today of the first type.
class TestTemplatePage : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TDataModule1* dm = nullptr;

    QVariant storedTemplate(const QString& type)
    {
        const auto rows = store->connect("CHECK")->query("select relatorio from tipoexame where tipo = :t", {type}).rows;
        return rows.empty() ? QVariant("(no such type)") : rows.front().front();
    }

    void press(DBNavigator::Button button)
    {
        QTest::mouseClick(MainForm->DBNavigator3->button(button), Qt::LeftButton);
    }

    // Picks the exam type of `row` in the exam pane's list, answering Yes to
    // the question about replacing a report.
    void chooseType(int row)
    {
        answerBoxes(
            [&] {
                controls::runReported([&] { MainForm->DBLookupComboBox2->dropDown(); });
                dm->TableTipoEx->setCurrentRow(row);
                controls::runReported([&] { MainForm->DBLookupComboBox2->closeList(true); });
            },
            {QMessageBox::Yes});
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        store->connect("SEED")->execute(QString::fromUtf8("insert into tipoexame (tipo, relatorio) values "
                                                          "('Transtorácico', 'Situs solitus.'), ('Fetal', 'Feto único.')"));
        Startup startup(*Application::instance());
        answerBoxes([&] { startup.build(); });
        dm = DataModule1;
        clock_::set([] { return engine::values::wallClock(QDate(2026, 5, 4), QTime(9, 0)); });
        dm->TablePac->insert();
        dm->TablePacNOME->setValue("ANA");
        dm->TablePac->post();
        dm->TableEco->insert();
        dm->TableEcoModoD->setValue(dm->TableTipoExId->asString());
        dm->TableEcoEco1->setValue(QString::fromUtf8("Relatório antigo."));
        dm->TableEco->post();
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->PageControl1->setCurrentWidget(MainForm->TabSheet2);
        dm->TableTipoEx->first();
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        store.reset();
    }

    void aTemplateIsStoredAsTypedSavedOnMovingAndSeedsANewExam()
    {
        QTest::mouseClick(MainForm->DBMemo1->viewport(), Qt::LeftButton);
        QTest::keyClick(MainForm->DBMemo1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(MainForm->DBMemo1, "Linha 1\tA");
        QCOMPARE(dm->TableTipoEx->state(), DataSetState::Edit);
        QTest::keyClick(MainForm->DBMemo1, Qt::Key_Return);
        QTest::keyClicks(MainForm->DBMemo1, "Linha 2");
        QCOMPARE(QApplication::focusWidget(), MainForm->DBMemo1); // Tab typed a tab
        press(DBNavigator::Next);
        QCOMPARE(dm->TableTipoEx->state(), DataSetState::Browse);
        QCOMPARE(storedTemplate(QString::fromUtf8("Transtorácico")), QVariant("Linha 1\tA\nLinha 2"));

        dm->TableEco->insert();
        chooseType(0);
        QCOMPARE(dm->TableEcoEco1->asString(), QString("Linha 1\tA\nLinha 2"));
    }

    void anEmptyTemplateSeedsNothing()
    {
        press(DBNavigator::Insert);
        QTest::mouseClick(MainForm->DBEdit9, Qt::LeftButton);
        QTest::keyClicks(MainForm->DBEdit9, "Vazio");
        press(DBNavigator::Post);
        QCOMPARE(storedTemplate("Vazio"), QVariant());
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString::fromUtf8("Transtorácico")); // another type's save

        dm->TableEco->edit();
        chooseType(dm->TableTipoEx->recordCount() - 1);
        QCOMPARE(dm->TableEcoEco1->asString(), QString());
    }

    void aDeletedTypeLeavesItsExamsWithAnEmptyType()
    {
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString::fromUtf8("Transtorácico"));
        QCOMPARE(answerBoxes([&] { press(DBNavigator::Delete); }, {QMessageBox::Ok}), QStringList{"Delete record?"});
        QCOMPARE(storedTemplate(QString::fromUtf8("Transtorácico")), QVariant("(no such type)"));
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString());
    }
};

VELUNOR_TEST(TestTemplatePage)
#include "tst_template_page.moc"
