#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/Typing.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/DBGrid.h"
#include "data/controls/DBNavigator.h"
#include "data/controls/DBRichEdit.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"

#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

// The phrase picker and the standard conclusions on a real store, pasting
// into the report of an exam made today. Tests tagged "empty" start with no
// phrases and no conclusions.
class TestInsertion : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    const QString phrase1 = QString::fromUtf8("Sem alterações."), phrase2 = "CIV pequena.";

    // The exam being edited, its report "Antes XX depois" with XX selected.
    void editReportWithSelection()
    {
        DataModule1->TableEco->edit();
        DataModule1->TableEcoEco1->setValue("Antes XX depois");
        MainForm->Editor->find("XX");
    }

    // F5 or F8 while the main window is active.
    void fromMainWindow(QAction* command)
    {
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        command->trigger();
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        if (!QByteArray(QTest::currentDataTag()).startsWith("empty")) {
            auto db = store->connect("SEED");
            db->execute("insert into frase (frase, outros) values (:a, 'uso frequente'), (:b, null)",
                        {phrase1, phrase2});
            db->execute("insert into conclusao (nome, descricao) values ('Normal', :d)",
                        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\b Normal\\b0  para a idade.\\par}"});
        }
        Startup startup(*Application::instance());
        answerBoxes([&] { startup.build(); });
        clock_::set([] { return engine::values::wallClock(QDate(2026, 5, 4), QTime(9, 0)); });
        DataModule1->TablePac->insert();
        DataModule1->TablePacNOME->setValue("ANA");
        DataModule1->TablePac->post();
        DataModule1->TableEco->insert();
        DataModule1->TableEco->post();
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        store.reset();
    }

    void phrasesGoInAtTheCaretOneAfterTheOther()
    {
        editReportWithSelection();
        fromMainWindow(MainForm->Frases1);
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Down);
        const QRect row2 = Form1->DBGrid1->visualRect(Form1->DBGrid1->model()->index(1, 0));
        QTest::mouseDClick(Form1->DBGrid1->viewport(), Qt::LeftButton, {}, row2.center());
        QVERIFY(!Form1->DBGrid1->isEditingCell());
        QCOMPARE(MainForm->Editor->toPlainText(), "Antes " + phrase1 + phrase2 + " depois");
        QCOMPARE(QApplication::clipboard()->text(), phrase2);
        QVERIFY(Form1->isVisible());
        QCOMPARE(QApplication::focusWidget(), Form1->DBGrid1);

        // Esc hides the picker; it opens again on the same phrase.
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Escape);
        QVERIFY(!Form1->isVisible());
        fromMainWindow(MainForm->Frases1);
        QCOMPARE(DataModule1->TableFraseFrase->asString(), phrase2);
    }

    void withoutAPasteTheClipboardStillGetsTheText_data()
    {
        QTest::addColumn<bool>("phrase");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("report");
        QTest::newRow("phrase, exam browsed") << true << phrase1 << "";
        QTest::newRow("conclusion, exam browsed") << false << "Normal para a idade." << "";
        QTest::newRow("empty phrases") << true << "" << "Antes  depois";
        QTest::newRow("empty conclusions") << false << "" << "Antes  depois";
    }

    void withoutAPasteTheClipboardStillGetsTheText()
    {
        QFETCH(bool, phrase);
        QFETCH(QString, text);
        QFETCH(QString, report);
        QApplication::clipboard()->setText("antigo");
        if (!report.isEmpty())
            editReportWithSelection(); // an empty text still replaces the selection
        Form1->show();
        FormConc->show();
        if (phrase)
            QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
        else
            QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(MainForm->Editor->toPlainText(), report);
    }

    void ctrlDeleteAsksBeforeDeletingAPhrase()
    {
        Form1->show();
        for (const auto& [answer, left] : {std::pair{QMessageBox::Cancel, 2}, std::pair{QMessageBox::Ok, 1}}) {
            const QStringList boxes = answerBoxes(
                [&] { QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier); }, {answer});
            QCOMPARE(boxes, QStringList{"Delete record?"});
            QCOMPARE(store->connect("CHECK")->query("select count(*) from frase").rows.at(0).at(0).toInt(), left);
        }
    }

    // The navigator starts a new phrase or a change, typed into the list's
    // cells; until then typing changes nothing. Esc hides the picker and
    // leaves a change pending, to be saved when it shows again.
    void phrasesAreAddedAndChangedWithTheNavigator()
    {
        fromMainWindow(MainForm->Frases1);
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        DBGrid* list = Form1->DBGrid1;
        auto press = [&](DBNavigator::Button button) {
            QTest::mouseClick(Form1->DBNavigator1->button(button), Qt::LeftButton);
        };
        auto stored = [&] {
            QStringList rows;
            for (const auto& row : store->connect("CHECK")->query("select frase, outros from frase order by codfrase").rows)
                rows << row[0].toString() + "|" + row[1].toString();
            return rows;
        };
        const QStringList before = stored();
        typeAtFocus("x y", Form1);
        QVERIFY(!list->isEditingCell());
        QCOMPARE(DataModule1->TableFrase->state(), DataSetState::Browse);

        press(DBNavigator::Insert);
        typeAtFocus("CIA; \"ostium secundum\".\r", Form1);
        QTest::keyClick(list, Qt::Key_Right);
        typeAtFocus("rara\r", Form1);
        press(DBNavigator::Post);
        QCOMPARE(stored(), before + QStringList{"CIA; \"ostium secundum\".|rara"});

        DataModule1->TableFrase->first();
        press(DBNavigator::Edit);
        QTest::keyClick(list, Qt::Key_Left);
        QTest::keyClick(list, Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        typeAtFocus(" Normal.\r", Form1);
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!Form1->isVisible());
        QCOMPARE(DataModule1->TableFrase->state(), DataSetState::Edit);
        QCOMPARE(stored().first(), phrase1 + "|uso frequente");
        fromMainWindow(MainForm->Frases1);
        press(DBNavigator::Post);
        QCOMPARE(stored().first(), phrase1 + " Normal.|uso frequente");
    }

    // Each opening puts the focus in the conclusions' list, wherever it was
    // left: "usar conclusão" pressed with the mouse would otherwise keep it,
    // and a blank typed would insert the conclusion again.
    void everyOpeningPutsTheFocusInTheList()
    {
        fromMainWindow(MainForm->Concluses1);
        QVERIFY(QTest::qWaitForWindowActive(FormConc));
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), FormConc->BitBtn1);
        FormConc->close();
        fromMainWindow(MainForm->Concluses1);
        QVERIFY(QTest::qWaitForWindowActive(FormConc));
        QCOMPARE(QApplication::focusWidget(), FormConc->DBGrid1);
        // brought to the front while it shows
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        fromMainWindow(MainForm->Concluses1);
        QVERIFY(QTest::qWaitForWindowActive(FormConc));
        QCOMPARE(QApplication::focusWidget(), FormConc->DBGrid1);
    }

    void aConclusionGoesInAsPlainTextUnsavedChangesIncluded()
    {
        editReportWithSelection();
        fromMainWindow(MainForm->Concluses1);
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(MainForm->Editor->toPlainText(), QString("Antes Normal para a idade. depois"));
        for (auto it = MainForm->Editor->document()->firstBlock().begin(); !it.atEnd(); ++it)
            QCOMPARE(it.fragment().charFormat().fontWeight(), int(QFont::Normal));

        FormConc->PreConclusao->setFocus();
        FormConc->PreConclusao->moveCursor(QTextCursor::End);
        QTest::keyClicks(FormConc->PreConclusao, " Sem mais.");
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(DataModule1->TableConc->state(), DataSetState::Edit);
        QVERIFY(FormConc->isVisible());
        QCOMPARE(MainForm->Editor->toPlainText(),
                 QString("Antes Normal para a idade.Normal para a idade. Sem mais. depois"));
    }
};

VELUNOR_TEST(TestInsertion)
#include "tst_insertion.moc"
