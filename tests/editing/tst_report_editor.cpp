#include "app/Main.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/MainWindow.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBLookupComboBox.h"
#include "data/controls/DBMemo.h"
#include "data/controls/DBRichEdit.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/engine/Values.h"
#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"
#include "search/Pesqt2.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

// The report editor of the main window on a real store: editing rules,
// the stored form of the report, the format bar, the template seeding, the
// commands that open the pickers, and the page that keeps the templates.
class TestReportEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    const QDate today{2026, 12, 9};
    TDataModule1* dm = nullptr;

    // A patient with one exam made `daysAgo` days before today, with `report`.
    void addPatientWithExam(const QString& name, int daysAgo, const QVariant& report)
    {
        setTickingClock(today.addDays(-daysAgo));
        dm->TablePac->insert();
        dm->TablePacNOME->setValue(name);
        dm->TablePac->post();
        dm->TableEco->insert();
        dm->TableEcoEco1->setValue(report);
        dm->TableEco->post();
        setTickingClock(today);
    }

    // The current exam's report as the store holds it.
    QString storedReport()
    {
        auto db = store->connect("CHECK");
        const auto r = db->query("select eco1 from eco where codigopaciente = :p and codigoexame = :e",
                                 {dm->TableEcoCodigoPaciente->value(), dm->TableEcoCodigoExame->value()});
        return r.rows.empty() ? QString() : r.rows.front().front().toString();
    }

    // Types text as keys (accented letters too, which QTest::keyClicks refuses).
    void typeIntoEditor(const QString& text)
    {
        MainForm->Editor->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, c == '\t' ? Qt::Key_Tab : 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(MainForm->Editor, &press);
        }
    }

    std::vector<engine::Row> storedTemplates()
    {
        return store->connect("CHECK")->query("select relatorio from tipoexame order by id").rows;
    }

    void pressTypeButton(DBNavigator::Button button)
    {
        QTest::mouseClick(MainForm->DBNavigator3->button(button), Qt::LeftButton);
    }

    void chooseType(int row, QList<QMessageBox::StandardButton> answers, QStringList* boxes)
    {
        *boxes = answerBoxes(
            [&] {
                MainForm->DBLookupComboBox2->setFocus();
                controls::runReported([&] { MainForm->DBLookupComboBox2->dropDown(); });
                dm->TableTipoEx->setCurrentRow(row);
                controls::runReported([&] { MainForm->DBLookupComboBox2->closeList(true); });
            },
            answers);
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        {
            auto db = store->connect("SEED");
            db->execute("insert into tipoexame (tipo, relatorio) values ('Transtorácico', 'Situs solitus.\tNormal.'), "
                        "('Fetal', 'Feto único.')");
        }
        QVERIFY(showMainWindow());
        dm = DataModule1;
        MainForm->activateWindow();
        setTickingClock(today);
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        store.reset();
    }

    void theEditorTakesChangesOnlyWhileTheExamIsEdited()
    {
        addPatientWithExam("ANA", 0, QVariant());
        typeIntoEditor("xyz");
        QCOMPARE(MainForm->Editor->toPlainText(), QString());
        QApplication::clipboard()->setText("colado");
        MainForm->Editor->pasteFromClipboard();
        QCOMPARE(MainForm->Editor->toPlainText(), QString());

        MainForm->DBNavigator2->click(DBNavigator::Edit);
        typeIntoEditor("Sem alterações.");
        QApplication::clipboard()->setText(" Colado\tcom tab.");
        MainForm->Editor->pasteFromClipboard();
        MainForm->DBNavigator2->click(DBNavigator::Post);
        const QString stored = storedReport();
        QVERIFY2(richtext::isRtf(stored), qPrintable(stored));
        QTextDocument doc;
        richtext::load(&doc, stored);
        QCOMPARE(doc.toPlainText(), QString::fromUtf8("Sem alterações. Colado\tcom tab."));
    }

    void anUntouchedReportIsNotWrittenBack()
    {
        addPatientWithExam("ANA", 0, "Texto simples de um modelo.");
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        dm->TableEcoPeso->setValue(3100);
        MainForm->Editor->setFocus();
        MainForm->DBEdit1->setFocus(); // leaving the editor changes nothing
        MainForm->DBNavigator2->click(DBNavigator::Post);
        QCOMPARE(storedReport(), QString("Texto simples de um modelo."));
        QCOMPARE(MainForm->Editor->toPlainText(), QString("Texto simples de um modelo."));
    }

    void aFormattedReportComesBackAsItWasWritten()
    {
        addPatientWithExam("ANA", 0, QVariant());
        addPatientWithExam("RUI", 0, QVariant());
        dm->TablePac->first();
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        typeIntoEditor("Normal ");
        QTest::mouseClick(MainForm->ToolButton10, Qt::LeftButton);
        typeIntoEditor("CIV");
        QTest::mouseClick(MainForm->ToolButton10, Qt::LeftButton);
        typeIntoEditor(" pequena.");
        MainForm->DBNavigator2->click(DBNavigator::Post);
        dm->TablePac->next();
        QCOMPARE(MainForm->Editor->toPlainText(), QString());
        dm->TablePac->prior();
        const QTextBlock block = MainForm->Editor->document()->firstBlock();
        QCOMPARE(block.text(), QString("Normal CIV pequena."));
        QStringList bold;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().fontWeight() >= QFont::Bold)
                bold << it.fragment().text();
        QCOMPARE(bold, QStringList{"CIV"});
    }

    // A paragraph split by Enter, or by the measurements block inserted in
    // its middle, writes the groups kept for it once.
    void splittingAParagraphKeepsItsUnknownGroupOnce()
    {
        const QString group = "{\\*\\velunorteste um}";
        for (const bool byEnter : {true, false}) {
            addPatientWithExam(byEnter ? "ANA" : "RUI", 0, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard " + group + "Antes depois\\par}");
            MainForm->DBNavigator2->click(DBNavigator::Edit);
            QTextCursor middle(MainForm->Editor->document());
            middle.setPosition(6);
            MainForm->Editor->setTextCursor(middle);
            if (byEnter)
                QTest::keyClick(MainForm->Editor, Qt::Key_Return);
            else
                MainForm->Editor->insertFragment(QTextDocumentFragment::fromPlainText("Medidas"));
            MainForm->DBNavigator2->click(DBNavigator::Post);
            const QString stored = storedReport();
            QVERIFY2(stored.count(group) == 1 && stored.contains("depois"), qPrintable(stored));
        }
    }

    // Dots fill the gap a tab leaves before a right stop that asks for them;
    // a stop without a leader leaves its gap blank.
    void theEditorDrawsTabLeaders()
    {
        addPatientWithExam("ANA", 0, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\tqr\\tldot\\tx5760 Aorta\\tab 20\\par"
                                     "\\pard\\tqr\\tx5760 Aorta\\tab 20\\par}");
        DBRichEdit* editor = MainForm->Editor;
        const QImage shown = editor->viewport()->grab().toImage();
        auto inkInGap = [&](const QTextBlock& block) {
            QTextCursor at(block);
            at.setPosition(block.position() + 5);
            const QRect before = editor->cursorRect(at);
            at.setPosition(block.position() + 6);
            const QRect after = editor->cursorRect(at);
            int ink = 0;
            for (int y = before.top(); y <= before.bottom(); ++y)
                for (int x = before.right() + 2; x < after.left() - 2; ++x)
                    ink += qGray(shown.pixel(x, y)) < 128;
            return ink;
        };
        const QTextBlock dotted = editor->document()->firstBlock();
        QVERIFY2(inkInGap(dotted) > 20, qPrintable(QString::number(inkInGap(dotted))));
        QCOMPARE(inkInGap(dotted.next()), 0);
    }

    void savingReleasesTheButtonsButTheHeldFormatKeepsItsStyle()
    {
        addPatientWithExam("ANA", 0, QVariant());
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        QTest::mouseClick(MainForm->ToolButton10, Qt::LeftButton);
        typeIntoEditor("negrito");
        MainForm->DBNavigator2->click(DBNavigator::Post);
        for (QToolButton* b : {MainForm->ToolButton10, MainForm->ToolButton12, MainForm->ToolButton14})
            QVERIFY(!b->isChecked());
        // Italic now applies bold italic: the held format still holds bold.
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        QTest::mouseClick(MainForm->ToolButton14, Qt::LeftButton);
        QVERIFY(MainForm->FormatFont.fontItalic());
        QCOMPARE(MainForm->FormatFont.fontWeight(), int(QFont::Bold));
        QCOMPARE(MainForm->Editor->currentCharFormat().fontWeight(), int(QFont::Bold));
        // pressing Bold twice clears it
        QTest::mouseClick(MainForm->ToolButton10, Qt::LeftButton);
        QTest::mouseClick(MainForm->ToolButton10, Qt::LeftButton);
        QCOMPARE(MainForm->FormatFont.fontWeight(), int(QFont::Normal));
        QVERIFY(MainForm->FormatFont.fontItalic());
    }

    void aFormatButtonAppliesTheWholeHeldFormatToTheSelection()
    {
        addPatientWithExam("ANA", 0, QVariant());
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        QTextCursor c(MainForm->Editor->document());
        QTextCharFormat courier;
        courier.setFontFamilies(QStringList{"Courier New"});
        courier.setFontPointSize(20);
        courier.setFontStrikeOut(true);
        c.insertText("grande", courier);
        c.select(QTextCursor::Document);
        MainForm->Editor->setTextCursor(c);
        QTest::mouseClick(MainForm->ToolButton12, Qt::LeftButton);
        const QTextCharFormat f = MainForm->Editor->document()->firstBlock().begin().fragment().charFormat();
        QVERIFY(f.fontUnderline());
        QVERIFY(!f.fontStrikeOut());
        QCOMPARE(f.fontFamilies().toStringList().value(0), QString("Arial"));
    }

    // A report from a word processor, with a word typed into it and saved,
    // keeps its table, picture and indent; the format bar's measurement
    // commands and rich text inserted at the caret are stored too.
    void theMeasurementCommandsAndWhatTheReportHeldAreStored()
    {
        QImage wide(2000, 100, QImage::Format_RGB32);
        wide.fill(Qt::darkBlue);
        QTemporaryDir files;
        const QString picture = files.filePath("eco.png");
        QVERIFY(wide.save(picture));
        addPatientWithExam("ANA", 0, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\li720 Recuado 4 cm2\\par"
                                     "\\trowd\\cellx2000\\cellx4000\\pard\\intbl A\\cell B\\cell\\row"
                                     "\\pard{\\pict\\wmetafile8\\picwgoal567\\pichgoal283 0100}\\par}");
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        QTextCursor c = MainForm->Editor->document()->find("2");
        MainForm->Editor->setTextCursor(c);
        QTest::mouseClick(MainForm->ToolButton17, Qt::LeftButton); // superscript
        QTest::mouseClick(MainForm->ToolButton21, Qt::LeftButton); // indent
        c.movePosition(QTextCursor::End);
        MainForm->Editor->setTextCursor(c);
        typeIntoEditor(" fim");
        QTextDocument measures;
        QTextCursor m(&measures);
        QTextBlockFormat tabbed;
        tabbed.setTabPositions({QTextOption::Tab(96, QTextOption::RightTab)});
        m.setBlockFormat(tabbed);
        m.insertText("AE\t2,1 cm");
        QVERIFY(MainForm->Editor->insertFragment(QTextDocumentFragment(&measures)));
        QString error;
        MainForm->Editor->edit([&](QTextCursor& at) { richtext::insertPictureFile(at, picture, 641, &error); });
        QCOMPARE(error, QString());
        MainForm->DBNavigator2->click(DBNavigator::Post);

        QTextDocument stored;
        richtext::load(&stored, storedReport());
        const QTextBlock first = stored.firstBlock();
        QCOMPARE(first.blockFormat().leftMargin(), 96.0); // 720 twips, one step more
        QCOMPARE(stored.find("2").charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
        QVERIFY(QTextCursor(stored.findBlockByNumber(1)).currentTable());
        QVERIFY(stored.toPlainText().contains("fim"));
        const QTextBlock measured = stored.find("AE").block();
        QCOMPARE(measured.blockFormat().tabPositions().value(0).position, 96.0);
        int pictures = 0;
        for (const QTextFormat& f : stored.allFormats()) {
            if (!richtext::isPicture(f) || !stored.toRawText().contains(QChar::ObjectReplacementCharacter))
                continue;
            ++pictures;
            if (f.stringProperty(richtext::PictureKind) == "pngblip")
                QCOMPARE(qRound(richtext::pictureSize(f).width()), 641); // scaled to the body's width
        }
        QVERIFY(pictures >= 2);
    }

    void choosingATypeSeedsTheReport()
    {
        // a new exam with an empty report takes the template without a question
        addPatientWithExam("ANA", 0, QVariant());
        dm->TableEco->insert();
        QStringList boxes;
        chooseType(0, {}, &boxes);
        QCOMPARE(boxes, QStringList());
        QCOMPARE(dm->TableEcoEco1->asString(), QString("Situs solitus.\tNormal."));
        QCOMPARE(MainForm->Editor->toPlainText(), QString("Situs solitus.\tNormal."));
        QCOMPARE(dm->TableEcoModoD->asString(), dm->TableTipoExId->asString());

        // a report present: No keeps it, Yes replaces all of it
        chooseType(1, {QMessageBox::No}, &boxes);
        QCOMPARE(boxes, QStringList{QString::fromUtf8("Deseja sobrepôr o modelo seleccionado ?")});
        QCOMPARE(dm->TableEcoEco1->asString(), QString("Situs solitus.\tNormal."));
        chooseType(1, {QMessageBox::Yes}, &boxes);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(dm->TableEcoEco1->asString(), QString::fromUtf8("Feto único."));

        // dismissed with Escape: still asked, the highlighted type's template
        boxes = answerBoxes(
            [&] {
                MainForm->DBLookupComboBox2->dropDown();
                dm->TableTipoEx->setCurrentRow(0);
                MainForm->DBLookupComboBox2->closeList(false);
            },
            {QMessageBox::Yes});
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(dm->TableEcoEco1->asString(), QString("Situs solitus.\tNormal."));

        // saved as the plain text until the report is next edited and saved
        dm->TableEco->post();
        QCOMPARE(storedReport(), QString("Situs solitus.\tNormal."));
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        typeIntoEditor("!");
        dm->TableEco->post();
        QVERIFY(richtext::isRtf(storedReport()));
    }

    void escapeAndYesSeedTheTemplateOfTheExamsOwnType()
    {
        addPatientWithExam("ANA", 0, "Relatório.");
        dm->TableEco->edit();
        dm->TableTipoEx->last();
        dm->TableEcoModoD->setValue(dm->TableTipoExId->asString()); // "Fetal", the second type
        dm->TableTipoEx->first();
        const QStringList boxes = answerBoxes(
            [&] {
                MainForm->DBLookupComboBox2->dropDown();
                MainForm->DBLookupComboBox2->closeList(false);
            },
            {QMessageBox::Yes});
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(dm->TableEcoEco1->asString(), QString::fromUtf8("Feto único."));
    }

    void seedingWithoutAnExamBeingEditedFails()
    {
        addPatientWithExam("ANA", 0, "Relatório.");
        QStringList boxes;
        chooseType(0, {QMessageBox::Yes}, &boxes);
        QCOMPARE(boxes, (QStringList{QString::fromUtf8("Deseja sobrepôr o modelo seleccionado ?"),
                                     "TableEco: Dataset not in edit or insert mode."}));
        QCOMPARE(storedReport(), QString::fromUtf8("Relatório."));

        dm->TablePac->insert();
        dm->TablePacNOME->setValue("SEM EXAMES");
        dm->TablePac->post();
        chooseType(0, {}, &boxes);
        QCOMPARE(boxes, QStringList{"Stream write error."});
    }

    void insertingAPhraseFirstPutsTheExamIntoEditing()
    {
        addPatientWithExam("ANTIGO", 2, "Relatório antigo.");
        QStringList boxes = answerBoxes([&] { MainForm->inserirFrases1->trigger(); });
        QCOMPARE(boxes, QStringList{QString::fromUtf8("ATENÇÃO: este EXAME não pode ser alterado!")});
        QVERIFY(!Form1->isVisible());
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);

        addPatientWithExam("ONTEM", 1, QVariant());
        MainForm->activateWindow();
        QApplication::setActiveWindow(MainForm);
        MainForm->inserirFrases1->trigger();
        QCOMPARE(dm->TableEco->state(), DataSetState::Edit);
        QVERIFY(Form1->isVisible());
        dm->TableEco->cancel();
        Form1->hide();

        // a patient without exams gets a new exam, and the conclusions show
        dm->TablePac->insert();
        dm->TablePacNOME->setValue("NOVO");
        dm->TablePac->post();
        QApplication::setActiveWindow(MainForm);
        MainForm->InserirConcluses1->trigger();
        QCOMPARE(dm->TableEco->state(), DataSetState::Insert);
        QVERIFY(FormConc->isVisible());
        dm->TableEco->cancel();
        FormConc->hide();

        // from another window the phrases show without editing the exam
        FormT2Pesq->show();
        QApplication::setActiveWindow(FormT2Pesq);
        MainForm->Frases1->trigger();
        QVERIFY(Form1->isVisible());
        QCOMPARE(dm->TableEco->state(), DataSetState::Browse);
    }

    // --- the page "Modelos de Relatório" ---

    void aTemplateIsTypedSavedOnMovingAndSeedsANewExam()
    {
        addPatientWithExam("ANA", 0, QVariant());
        MainForm->PageControl1->setCurrentWidget(MainForm->TabSheet2);
        dm->TableTipoEx->first();
        QTest::mouseClick(MainForm->DBMemo1->viewport(), Qt::LeftButton);
        QTest::keyClick(MainForm->DBMemo1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(MainForm->DBMemo1, "Linha 1\tA");
        QCOMPARE(dm->TableTipoEx->state(), DataSetState::Edit);
        QTest::keyClick(MainForm->DBMemo1, Qt::Key_Return);
        QTest::keyClicks(MainForm->DBMemo1, "Linha 2");
        QCOMPARE(QApplication::focusWidget(), MainForm->DBMemo1); // Tab typed a tab
        pressTypeButton(DBNavigator::Next);
        QCOMPARE(storedTemplates().at(0).at(0), QVariant("Linha 1\tA\nLinha 2"));

        dm->TableEco->insert();
        QStringList boxes;
        chooseType(0, {}, &boxes);
        QCOMPARE(dm->TableEcoEco1->asString(), QString("Linha 1\tA\nLinha 2"));
    }

    void aNewTypeWithAnEmptyTemplateSeedsNothing()
    {
        addPatientWithExam("ANA", 0, QString::fromUtf8("Relatório."));
        pressTypeButton(DBNavigator::Insert);
        QTest::keyClicks(MainForm->DBEdit9, "Vazio");
        pressTypeButton(DBNavigator::Post);
        QCOMPARE(storedTemplates().at(2).at(0), QVariant());

        dm->TableEco->edit();
        QStringList boxes;
        chooseType(2, {QMessageBox::Yes}, &boxes);
        QCOMPARE(dm->TableEcoEco1->asString(), QString());
    }

    void aDeletedTypeLeavesItsExamsWithAnEmptyType()
    {
        addPatientWithExam("ANA", 0, QVariant());
        MainForm->DBNavigator2->click(DBNavigator::Edit);
        QStringList boxes;
        chooseType(0, {}, &boxes);
        MainForm->DBNavigator2->click(DBNavigator::Post);
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString::fromUtf8("Transtorácico"));
        // saving another type leaves the exam's type shown
        dm->TableTipoEx->last();
        dm->TableTipoEx->edit();
        dm->TableTipoExTipo->setValue("Fetal gemelar");
        dm->TableTipoEx->post();
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString::fromUtf8("Transtorácico"));

        dm->TableTipoEx->first();
        QCOMPARE(answerBoxes([&] { pressTypeButton(DBNavigator::Delete); }, {QMessageBox::Ok}),
                 QStringList{"Delete record?"});
        QCOMPARE(storedTemplates().size(), size_t(1));
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString());
    }
};

VELUNOR_TEST(TestReportEditor)
#include "tst_report_editor.moc"
