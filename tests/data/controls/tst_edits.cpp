#include "ControlsFixture.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBMemo.h"
#include "platform/engine/EngineError.h"
#include "platform/ui/Application.h"

#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

// The single-line edit and the memo over the patient, exam and exam-type
// record sets: what typing does under automatic editing and without it,
// and how changed text reaches the field.
class TestEdits : public QObject {
    Q_OBJECT

    std::unique_ptr<ControlsFixture> data;
    std::unique_ptr<TestWindow> window;
    QLineEdit* elsewhere = nullptr;

    DBEdit* edit(DataSource* source, const QString& field)
    {
        auto* e = window->add(new DBEdit);
        e->setDataSource(source);
        e->setDataField(field);
        return e;
    }

    DBMemo* memo(DataSource* source, const QString& field)
    {
        auto* m = window->add(new DBMemo);
        m->setDataSource(source);
        m->setDataField(field);
        return m;
    }

    void focus(QWidget* w)
    {
        w->setFocus();
        QVERIFY(w->hasFocus());
    }

    QVariant value(Table& table, const char* field) { return table.fieldByName(field)->value(); }

private slots:
    void init()
    {
        data = std::make_unique<ControlsFixture>();
        window = std::make_unique<TestWindow>();
        elsewhere = window->add(new QLineEdit);
        data->addPatient("RUI");
        data->addExam(QDate(2026, 1, 5), {}, {}, 1234);
    }

    void cleanup()
    {
        window.reset();
        data.reset();
    }

    void typingStartsEditingUnderAutomaticEditing()
    {
        DBEdit* nome = edit(data->pacSource.get(), "NOME");
        nome->setCharCaseUpper(true);
        window->show();
        QVERIFY(nome->isReadOnly());
        focus(nome);
        // a key that changes nothing starts nothing
        QTest::keyClick(nome, Qt::Key_End);
        QCOMPARE(data->pac->state(), DataSetState::Browse);

        // The exam's pending change is saved before the patient is edited.
        data->eco->edit();
        data->eco->fieldByName("Altura")->setValue(52);
        QTest::keyClicks(nome, "z");
        QCOMPARE(data->pac->state(), DataSetState::Edit);
        QCOMPARE(data->eco->state(), DataSetState::Browse);
        QCOMPARE(value(*data->eco, "Altura").toInt(), 52);
        QVERIFY(!nome->isReadOnly());
        QCOMPARE(nome->text(), QString("RUIZ")); // typed at the caret, in capitals

        QApplication::clipboard()->setText(" da silva");
        QTest::keyClick(nome, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(nome->text(), QString("RUIZ DA SILVA"));

        // the field takes the text when the record is saved
        data->pac->post();
        QCOMPARE(value(*data->pac, "NOME").toString(), QString("RUIZ DA SILVA"));
        QVERIFY(nome->isReadOnly());
    }

    void aStringFieldLimitsTheLength()
    {
        DBEdit* nome = edit(data->pacSource.get(), "NOME");
        window->show();
        focus(nome);
        QTest::keyClicks(nome, QString(60, 'a'));
        QCOMPARE(nome->text().size(), 50); // the field's size
        nome->setMaxTextLength(10);
        QCOMPARE(nome->maxLength(), 10);
        DBEdit* peso = edit(data->ecoSource.get(), "Peso");
        QVERIFY(peso->maxLength() > 50); // a number has no size
    }

    void typingIntoABrowsedExamChangesNothing()
    {
        DBEdit* peso = edit(data->ecoSource.get(), "Peso");
        window->show();
        focus(peso);
        const QString before = peso->text();
        QTest::keyClicks(peso, "5");
        QTest::keyClick(peso, Qt::Key_Backspace);
        QTest::keyClick(peso, Qt::Key_Delete);
        QCOMPARE(peso->text(), before);
        QCOMPARE(data->eco->state(), DataSetState::Browse);
        QVERIFY(!peso->isTextModified());

        // once the exam is being edited, typing goes in; letters do not
        data->eco->edit();
        QVERIFY(!peso->isReadOnly());
        peso->selectAll();
        QTest::keyClicks(peso, "1a5x00");
        QCOMPARE(peso->text(), QString("1500"));
        focus(elsewhere);
        QCOMPARE(value(*data->eco, "Peso").toInt(), 1500);
        QCOMPARE(data->eco->state(), DataSetState::Edit); // written, not saved
    }

    void displayTextUnlessChangingWithFocus()
    {
        DBEdit* peso = edit(data->ecoSource.get(), "Peso");
        window->show();
        QCOMPARE(peso->text(), QString("1\u00a0234")); // the display format groups thousands
        focus(peso);
        QCOMPARE(peso->text(), QString("1\u00a0234"));
        data->eco->edit();
        QCOMPARE(peso->text(), QString("1234"));
        focus(elsewhere);
        QCOMPARE(peso->text(), QString("1\u00a0234"));
        focus(peso);
        QCOMPARE(peso->text(), QString("1234"));
        data->eco->cancel();
        QCOMPARE(peso->text(), QString("1\u00a0234"));
    }

    void aRefusedTextKeepsTheFocus()
    {
        DBEdit* peso = edit(data->ecoSource.get(), "Peso");
        window->show();
        data->eco->edit();
        focus(peso);
        peso->selectAll();
        QTest::keyClicks(peso, "2147483648");
        QCOMPARE(answerBox([&] { elsewhere->setFocus(); }),
                 QString("2147483648 is not a valid value for field 'Peso'. The allowed range is -2147483648 to "
                         "2147483647."));
        QApplication::processEvents(); // the window is active again once the box has gone
        QCOMPARE(QApplication::focusWidget(), peso);
        QCOMPARE(peso->selectedText(), QString("2147483648"));
        QCOMPARE(value(*data->eco, "Peso").toInt(), 1234);

        // Saving writes the text first, and a refusal stops the saving.
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, data->eco->post());
        QCOMPARE(data->eco->state(), DataSetState::Edit);
        QCOMPARE(peso->text(), QString("2147483648"));

        // Escape puts the field's value back, and the focus can leave.
        QTest::keyClick(peso, Qt::Key_Escape);
        QCOMPARE(peso->text(), QString("1234"));
        QVERIFY(!peso->isTextModified());
        QCOMPARE(answerBoxes([&] { focus(elsewhere); }), QStringList{});
        data->eco->post();
        QCOMPARE(value(*data->eco, "Peso").toInt(), 1234);
    }

    void escapeStaysInsideADialog()
    {
        QDialog dialog;
        auto* nome = new DBEdit(&dialog);
        nome->setDataSource(data->pacSource.get());
        nome->setDataField("NOME");
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        nome->setFocus();
        QTest::keyClicks(nome, "X");
        QCOMPARE(nome->text(), QString("RUIX"));
        QTest::keyClick(nome, Qt::Key_Escape);
        QCOMPARE(nome->text(), QString("RUI"));
        QVERIFY(dialog.isVisible());
        data->pac->cancel();
    }

    void nothingShowsWithoutARecord()
    {
        DBEdit* peso = edit(data->ecoSource.get(), "Peso");
        DBEdit* nome = edit(data->pacSource.get(), "NOME");
        window->show();
        data->addPatient("SEM EXAMES");
        QCOMPARE(peso->text(), QString());
        data->pac->first();
        QCOMPARE(peso->text(), QString("1\u00a0234"));
        data->pac->close();
        QCOMPARE(nome->text(), QString());
        QCOMPARE(peso->text(), QString());
        QVERIFY(nome->isReadOnly());
        focus(nome);
        QTest::keyClicks(nome, "A");
        QCOMPARE(nome->text(), QString());
    }

    void windowsBuiltBeforeTheDataModuleBindByName()
    {
        DBEdit* nome = window->add(new DBEdit);
        nome->setDataSourceName("DataModule1.DataSourcePac");
        nome->setDataField("NOME");
        DBMemo* relatorio = window->add(new DBMemo);
        relatorio->setDataSourceName("DataModule1.DataSourceTipoEx");
        relatorio->setDataField("Relatorio");
        QCOMPARE(nome->dataSource(), nullptr);

        QObject module;
        module.setObjectName("DataModule1");
        auto* source = new DataSource("DataSourcePac", &module);
        source->setDataset(data->pac.get());
        Application::instance()->registerComponent(&module);
        QCOMPARE(nome->dataSource(), source);
        QCOMPARE(nome->text(), QString("RUI"));
        QCOMPARE(relatorio->dataSource(), nullptr); // a member the module lacks stays unbound
    }

    void programShortcutsWinOverTheEditsOwnKeys()
    {
        DBEdit* nome = edit(data->pacSource.get(), "NOME");
        auto overridden = [&](int key) {
            QKeyEvent shortcut(QEvent::ShortcutOverride, key, Qt::ControlModifier);
            shortcut.ignore();
            QApplication::sendEvent(nome, &shortcut);
            return shortcut.isAccepted();
        };
        QVERIFY(!overridden(Qt::Key_E)); // "Novo Exame", whatever the desktop binds in edits
        QVERIFY(!overridden(Qt::Key_F));
        QVERIFY(overridden(Qt::Key_C)); // copy stays the edit's

        // Left to shortcuts that did not take it (no window active), such a
        // key does nothing in the edit: it neither deletes nor starts editing.
        data->addType("Doppler");
        DBMemo* relatorio = memo(data->tipoSource.get(), "Relatorio");
        window->show();
        for (QWidget* w : std::initializer_list<QWidget*>{nome, relatorio}) {
            focus(w);
            QTest::keyClick(w, Qt::Key_Home);
            for (Qt::Key key : {Qt::Key_D, Qt::Key_K, Qt::Key_H})
                QTest::keyClick(w, key, Qt::ControlModifier);
        }
        QCOMPARE(nome->text(), QString("RUI"));
        QCOMPARE(data->pac->state(), DataSetState::Browse);
        QCOMPARE(data->tipo->state(), DataSetState::Browse);
    }

    void aMemoEditsLikeAnEdit()
    {
        data->addType("Doppler");
        DBMemo* relatorio = memo(data->tipoSource.get(), "Relatorio");
        DBMemo* report = memo(data->ecoSource.get(), "Eco1");
        window->show();

        // the exam's report refuses typing while the exam is browsed
        focus(report);
        QTest::keyClicks(report, "abc");
        QCOMPARE(report->toPlainText(), QString());
        QCOMPARE(data->eco->state(), DataSetState::Browse);

        // the template starts editing its type; Tab is a character here
        focus(relatorio);
        QTest::keyClicks(relatorio, "Normal");
        QTest::keyClick(relatorio, Qt::Key_Tab);
        QTest::keyClick(relatorio, Qt::Key_Return);
        QTest::keyClicks(relatorio, "fim");
        QCOMPARE(data->tipo->state(), DataSetState::Edit);
        QCOMPARE(QApplication::focusWidget(), relatorio);
        QCOMPARE(relatorio->toPlainText(), QString("Normal\t\nfim"));
        focus(elsewhere);
        QCOMPARE(value(*data->tipo, "Relatorio").toString(), QString("Normal\t\nfim"));

        focus(relatorio);
        QTest::keyClicks(relatorio, "!");
        QTest::keyClick(relatorio, Qt::Key_Escape);
        QCOMPARE(relatorio->toPlainText(), QString("Normal\t\nfim"));
        QTest::keyClick(relatorio, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(relatorio, ".");
        data->tipo->post(); // the memo's text goes in on saving
        QCOMPARE(value(*data->tipo, "Relatorio").toString(), QString("Normal\t\nfim."));
    }
};

VELUNOR_TEST(TestEdits)
#include "tst_edits.moc"
