#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/DBGrid.h"
#include "data/controls/DBRichEdit.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/engine/Values.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

// The phrase picker and the standard conclusions on a real store, pasting
// into the report of an exam made today.
class TestInsertion : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TDataModule1* dm = nullptr;
    const QString phrase1 = QString::fromUtf8("Sem alterações.");
    const QString phrase2 = "CIV pequena.";

    int storedCount(const char* table)
    {
        return store->connect("CHECK")->query(QString("select count(*) from ") + table).rows.at(0).at(0).toInt();
    }

    // The exam being edited, its report "Antes XX depois" with XX selected.
    void editReportWithSelection()
    {
        dm->TableEco->edit();
        dm->TableEcoEco1->setValue("Antes XX depois");
        QTextCursor c(MainForm->Editor->document());
        c.setPosition(6);
        c.setPosition(8, QTextCursor::KeepAnchor);
        MainForm->Editor->setTextCursor(c);
    }

    // Runs a main-window command as F5 and F8 do while the main window is active.
    void fromMainWindow(QAction* command)
    {
        QApplication::setActiveWindow(MainForm);
        command->trigger();
    }

    // The way each window pastes: Enter in the phrase list, "usar conclusão".
    void paste(const QString& window)
    {
        if (window == "phrase")
            QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
        else
            QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        if (!QByteArray(QTest::currentDataTag()).startsWith("empty")) {
            auto db = store->connect("SEED");
            db->execute("insert into frase (frase, outros) values (:a, 'uso frequente'), (:b, null)", {phrase1, phrase2});
            QTextDocument body;
            QTextCursor c(&body);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            c.insertText("Normal", bold);
            c.insertText(" para a idade.", QTextCharFormat());
            db->execute("insert into conclusao (nome, descricao) values ('Normal', :d)", {richtext::save(&body)});
        }
        Startup startup(*Application::instance());
        answerBoxes([&] { startup.build(); });
        dm = DataModule1;
        clock_::set([] { return engine::values::wallClock(QDate(2026, 5, 4), QTime(9, 0)); });
        dm->TablePac->insert();
        dm->TablePacNOME->setValue("ANA");
        dm->TablePac->post();
        dm->TableEco->insert();
        dm->TableEco->post();
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
        QCOMPARE(QApplication::focusWidget(), Form1->DBGrid1);
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Down);
        const QRect row2 = Form1->DBGrid1->visualRect(Form1->DBGrid1->model()->index(1, 0));
        QTest::mouseDClick(Form1->DBGrid1->viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(MainForm->Editor->toPlainText(), "Antes " + phrase1 + phrase2 + " depois");
        QCOMPARE(QApplication::clipboard()->text(), phrase2);
        QVERIFY(Form1->isVisible());
        QCOMPARE(QApplication::focusWidget(), Form1->DBGrid1);

        // Esc hides the picker; it opens again on the same phrase.
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Escape);
        QVERIFY(!Form1->isVisible());
        fromMainWindow(MainForm->Frases1);
        QVERIFY(Form1->isVisible());
        QCOMPARE(dm->TableFraseFrase->asString(), phrase2);
    }

    void aBrowsedExamOnlyGetsTheClipboard_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("text");
        QTest::newRow("phrase") << "phrase" << phrase1;
        QTest::newRow("conclusion") << "conclusion" << "Normal para a idade.";
    }

    void aBrowsedExamOnlyGetsTheClipboard()
    {
        QFETCH(QString, window);
        QFETCH(QString, text);
        Form1->show();
        FormConc->show();
        paste(window);
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(MainForm->Editor->toPlainText(), QString());
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
    }

    void anEmptyListClearsTheSelectionAndInsertsNothing_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("empty phrases") << "phrase";
        QTest::newRow("empty conclusions") << "conclusion";
    }

    void anEmptyListClearsTheSelectionAndInsertsNothing()
    {
        QFETCH(QString, window);
        QApplication::clipboard()->setText("antigo");
        editReportWithSelection();
        Form1->show();
        FormConc->show();
        paste(window);
        QCOMPARE(QApplication::clipboard()->text(), QString());
        QCOMPARE(MainForm->Editor->toPlainText(), QString("Antes  depois"));
    }

    void ctrlDeleteAsksBeforeDeletingAPhrase_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("Cancel keeps") << int(QMessageBox::Cancel) << 2;
        QTest::newRow("OK deletes") << int(QMessageBox::Ok) << 1;
    }

    void ctrlDeleteAsksBeforeDeletingAPhrase()
    {
        QFETCH(int, answer);
        QFETCH(int, left);
        Form1->show();
        const QStringList boxes = answerBoxes(
            [&] { QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier); },
            {QMessageBox::StandardButton(answer)});
        QCOMPARE(boxes, QStringList{"Delete record?"});
        QCOMPARE(storedCount("frase"), left);
        QCOMPARE(dm->TableFrase->recordCount(), left);
    }

    void aConclusionGoesInAsPlainTextUnsavedChangesIncluded()
    {
        editReportWithSelection();
        fromMainWindow(MainForm->Concluses1);
        QVERIFY(FormConc->isVisible());
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(MainForm->Editor->toPlainText(), QString("Antes Normal para a idade. depois"));
        for (QTextBlock::iterator it = MainForm->Editor->document()->firstBlock().begin(); !it.atEnd(); ++it)
            QCOMPARE(it.fragment().charFormat().fontWeight(), int(QFont::Normal));

        // Typed into the body and not saved: it goes in as typed.
        FormConc->PreConclusao->setFocus();
        FormConc->PreConclusao->moveCursor(QTextCursor::End);
        QTest::keyClicks(FormConc->PreConclusao, " Sem mais.");
        QTest::mouseClick(FormConc->BitBtn1, Qt::LeftButton);
        QCOMPARE(dm->TableConc->state(), DataSetState::Edit);
        QVERIFY(FormConc->isVisible());
        dm->TableEco->post();
        QTextDocument stored;
        richtext::load(&stored, store->connect("CHECK")->query("select eco1 from eco").rows.at(0).at(0).toString());
        QCOMPARE(stored.toPlainText(), QString("Antes Normal para a idade.Normal para a idade. Sem mais. depois"));
    }
};

VELUNOR_TEST(TestInsertion)
#include "tst_insertion.moc"
