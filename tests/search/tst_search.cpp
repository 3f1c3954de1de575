#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/Typing.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBGrid.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"
#include "search/DatePagedQuery.h"
#include "search/Pesq.h"
#include "search/Pesqt2.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using engine::values::wallClock;

namespace {

const QDate kToday(2026, 3, 10);
const QDateTime kNow = wallClock(kToday, QTime(10, 30));

// A column of every record a record set holds, in its order.
QVariantList column(Dataset* d, const QString& field)
{
    QVariantList out;
    const int index = d->fieldByName(field)->index();
    for (int row = 0; row < d->recordCount(); ++row)
        out << d->rowAt(row).value(index);
    return out;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<engine::Database> db;
    std::unique_ptr<Startup> startup;
    // Patients in name order.
    int ana = 0, beatriz = 0, carlos = 0, joao = 0;
    int helena = 0, jorge = 0; // Dr. Jorge is no longer active
    QDateTime anaOld, anaToday;

    int insert(const QString& sql, const QVariantList& values, const QString& select)
    {
        db->execute(sql, values);
        return db->query(select, {values.first()}).rows.at(0).at(0).toInt();
    }
    int patient(const QString& name)
    {
        return insert("insert into bddid (nome) values (:n)", {name}, "select nf from bddid where nome = :n");
    }
    void exam(int patient, const QDateTime& code, const QVariant& doctor, const QVariant& requester = {})
    {
        db->execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Executor, Medico)"
                    " values (:p, :c, :d, :e, :m)",
                    {double(patient), code, code.date(), doctor, requester});
    }

    // 40 more exams over 20 days, and one without a date; the whole list's
    // dates, the undated exam last.
    QVariantList addManyExams()
    {
        for (int i = 0; i < 40; ++i)
            exam(i % 2 ? ana : carlos, wallClock(kToday.addDays(-10 - i / 2), QTime(8, i)), double(helena));
        db->execute("insert into eco (CodigoPaciente, CodigoExame, Executor) values (:p, :c, :e)",
                    {double(beatriz), wallClock(kToday.addDays(-50)), double(helena)});
        QVariantList dates;
        for (const auto& row : db->query(TFormT2Pesq::kExamsByDate).rows)
            if (!row[0].isNull())
                dates << row[0];
        return dates << QVariant();
    }

    // --- the quick search -----------------------------------------------------

    // Opens the search window as the main window's buttons do, on a tab.
    void openSearch(int tab)
    {
        MainForm->BotaoPsqClick(tab == 0 ? MainForm->BotaoPsq : MainForm->ToolButton5);
        QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
    }
    // Leaves the search window for the main window and comes back to it.
    void returnToSearch()
    {
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        FormT2Pesq->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
    }
    QString listedName() { return FormT2Pesq->TablePesqNOME->asString(); }
    int currentPatient() { return DataModule1->TablePacCODIGO->value().toInt(); }

    // --- the advanced search --------------------------------------------------

    TFormPesqAV* openAdvanced()
    {
        MainForm->ToolButton8Click();
        if (!QTest::qWaitForWindowExposed(FormPesqAV))
            QTest::qFail("the advanced search did not show", __FILE__, __LINE__);
        return FormPesqAV;
    }
    // Centred on the main window, but for the window's frame, which is not
    // known until it first shows.
    static bool overMainWindow(const QWidget* w)
    {
        return (w->frameGeometry().center() - MainForm->frameGeometry().center()).manhattanLength() <= 8;
    }
    // Types the text and presses Enter; the patient numbers found, in order.
    QList<int> search(const QString& text)
    {
        TFormPesqAV* w = openAdvanced();
        w->Edit1->setText(text);
        const QStringList errors = answerBoxes([&] { QTest::keyClick(w->Edit1, Qt::Key_Return); });
        if (!errors.isEmpty())
            QTest::qFail(qPrintable(errors.join('\n')), __FILE__, __LINE__);
        QList<int> found;
        for (const QVariant& nf : column(DataModule1->QueryPesqAv, "NF"))
            found << nf.toInt();
        std::sort(found.begin(), found.end());
        return found;
    }

private slots:
    void init()
    {
        clock_::set([] { return kNow; });
        store = std::make_unique<TestStore>();
        store->createTables();
        db = store->connect("SEED");
        ana = patient("ANA MARIA COSTA");
        beatriz = patient("BEATRIZ SOUSA");
        carlos = patient("CARLOS NUNES");
        joao = patient(QString::fromUtf8("JOÃO D'ÁVILA"));
        helena = insert("insert into medico (nome, activo) values (:n, true)", {"DRA. HELENA"},
                        "select codigo from medico where nome = :n");
        jorge = insert("insert into medico (nome, activo) values (:n, false)", {"DR. JORGE"},
                       "select codigo from medico where nome = :n");
        anaOld = wallClock(kToday.addDays(-2), QTime(9, 0));
        anaToday = wallClock(kToday, QTime(9, 0));
        exam(ana, anaOld, double(helena), "Pediatra");
        exam(ana, anaToday, double(helena));
        exam(beatriz, wallClock(kToday, QTime(8, 0)), double(jorge));
        exam(carlos, wallClock(kToday.addDays(-2), QTime(10, 0)), double(helena));
        // Not listed: without a performing doctor, with one that does not exist.
        exam(carlos, wallClock(kToday.addDays(-1), QTime(9, 0)), QVariant());
        exam(joao, wallClock(kToday.addDays(-1), QTime(11, 0)), 99.0);

        startup = std::make_unique<Startup>(*Application::instance());
        QCOMPARE(answerBoxes([&] { startup->build(); }), QStringList());
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
    }

    void cleanup()
    {
        Application::instance()->destroyComponents();
        startup.reset();
        db.reset();
        store.reset();
        clock_::set({});
    }

    void theNameFieldFindsTheFirstNameBeginningWithIt()
    {
        openSearch(0);
        QTest::keyClicks(FormT2Pesq->Edit1, "car");
        QCOMPARE(FormT2Pesq->Edit1->text(), QString("CAR"));
        QCOMPARE(listedName(), QString("CARLOS NUNES"));
        // A prefix no name has leaves the list where it was.
        QTest::keyClicks(FormT2Pesq->Edit1, "x");
        QCOMPARE(listedName(), QString("CARLOS NUNES"));
        QTest::keyClick(FormT2Pesq->Edit1, Qt::Key_A, Qt::ControlModifier);
        FormT2Pesq->Edit1->insert(QString::fromUtf8("joão")); // as typed, through the field's checks
        QCOMPARE(FormT2Pesq->Edit1->text(), QString::fromUtf8("JOÃO"));
        QCOMPARE(listedName(), QString::fromUtf8("JOÃO D'ÁVILA"));
        // Long prefixes are compared whole.
        FormT2Pesq->Edit1->setText("ANA MARIA COX");
        QCOMPARE(listedName(), QString::fromUtf8("JOÃO D'ÁVILA"));
        FormT2Pesq->Edit1->setText("ANA MARIA COS");
        QCOMPARE(listedName(), QString("ANA MARIA COSTA"));
        // An empty field goes to the first patient; browsing moves only the window's list.
        FormT2Pesq->Edit1->setText("CAR");
        QCOMPARE(listedName(), QString("CARLOS NUNES"));
        FormT2Pesq->Edit1->clear();
        QCOMPARE(listedName(), QString("ANA MARIA COSTA"));
        QCOMPARE(currentPatient(), ana);
    }

    // Leaving the window by a button pressed with the mouse, and coming back
    // by the keyboard: the typing goes where the user types, never to the
    // button (a blank would press it) and on to the current patient's name.
    void everyOpeningPutsTheFocusWhereTheUserTypes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Selecionar") << "BitBtn1";
        QTest::newRow("Cancelar") << "BitBtn2";
        QTest::newRow("advanced search") << "";
    }
    void everyOpeningPutsTheFocusWhereTheUserTypes()
    {
        QFETCH(QString, button);
        MainForm->DBEdit1->setFocus();
        const QVariant name = DataModule1->TablePacNOME->value();
        if (button.isEmpty()) {
            TFormPesqAV* w = openAdvanced();
            QTest::mouseClick(w->BitBtn1, Qt::LeftButton);
            QVERIFY(QApplication::focusWidget() != w->Edit1);
            MainForm->ToolButton8->click(); // while it shows
            typeAtFocus("maria silva", MainForm);
            QCOMPARE(w->Edit1->text(), QString("maria silva"));
        } else {
            QTest::keyClick(MainForm->DBEdit1, Qt::Key_D, Qt::ControlModifier);
            QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
            QCOMPARE(QApplication::focusWidget(), FormT2Pesq->DBGrid2);
            DBGrid* exams = FormT2Pesq->DBGrid2;
            QTest::mouseClick(exams->viewport(), Qt::LeftButton, {}, exams->visualRect(exams->model()->index(2, 1)).center());
            QTest::mouseClick(FormT2Pesq->findChild<QPushButton*>(button), Qt::LeftButton);
            QVERIFY(!FormT2Pesq->isVisible());
            // The desktop gives the main window back its focus.
            MainForm->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(MainForm));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
            QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
            typeAtFocus("maria silva", MainForm);
            QVERIFY(FormT2Pesq->isVisible());
            QCOMPARE(FormT2Pesq->Edit1->text(), QString("MARIA SILVA"));
        }
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);
        if (button != "BitBtn1")
            QCOMPARE(DataModule1->TablePacNOME->value(), name);
    }

    // However the exams page comes to the front of the shown window, a list
    // never read is read, so that a date finds its exams; a list once read
    // stays as read until the next return to the window.
    void theExamsPageReadsAListNeverRead_data()
    {
        QTest::addColumn<bool>("byHand");
        QTest::newRow("tab chosen by hand") << true;
        QTest::newRow("Ctrl+D in the window") << false;
    }
    void theExamsPageReadsAListNeverRead()
    {
        QFETCH(bool, byHand);
        openSearch(0);
        QTabWidget* pages = FormT2Pesq->PageControl1;
        if (byHand) {
            auto* tabs = pages->findChild<QTabBar*>();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        } else {
            QTest::keyClick(FormT2Pesq->Edit1, Qt::Key_D, Qt::ControlModifier);
        }
        QCOMPARE(pages->currentIndex(), 1);
        QCOMPARE(FormT2Pesq->DBGrid2->model()->rowCount(), 4);
        QCOMPARE(answerBoxes([&] { FormT2Pesq->Data->setDate(kToday.addDays(-2)); }), QStringList());
        QCOMPARE(FormT2Pesq->QueryPesq1dataexame->value().toDate(), kToday.addDays(-2));

        exam(beatriz, wallClock(kToday, QTime(12, 0)), double(helena));
        pages->setCurrentIndex(0);
        pages->setCurrentIndex(1);
        QCOMPARE(FormT2Pesq->DBGrid2->model()->rowCount(), 4);
        returnToSearch();
        QCOMPARE(FormT2Pesq->DBGrid2->model()->rowCount(), 5);
    }

    void theExamListShowsExamsWithAKnownDoctorNewestFirst()
    {
        openSearch(1);
        DatePagedQuery* list = FormT2Pesq->QueryPesq1;
        QVERIFY(list->active());
        QCOMPARE(list->recNo(), 0);
        const QVariantList dates = column(list, "dataexame");
        QCOMPARE(dates, (QVariantList{kToday, kToday, kToday.addDays(-2), kToday.addDays(-2)}));
        // Inactive doctors are listed; the requester is the exam's own column.
        const int b = int(column(list, "nf").indexOf(beatriz));
        QCOMPARE(list->rowAt(b).value(list->fieldByName("nome_1")->index()).toString(), QString("DR. JORGE"));
        const int a = int(column(list, "codigoexame").indexOf(anaOld));
        QCOMPARE(list->rowAt(a).value(list->fieldByName("medico")->index()).toString(), QString("Pediatra"));
        QCOMPARE(list->rowAt(a).value(list->fieldByName("nome")->index()).toString(), QString("ANA MARIA COSTA"));
        QCOMPARE(FormT2Pesq->DBGrid2->model()->rowCount(), 4);
    }

    void theDateMovesTheListToItsFirstExam()
    {
        openSearch(1);
        DatePagedQuery* list = FormT2Pesq->QueryPesq1;
        // The picker holds the day the program started.
        QCOMPARE(FormT2Pesq->Data->date(), kToday);
        FormT2Pesq->Data->setDate(kToday.addDays(-2));
        QCOMPARE(list->recNo(), 2);
        QCOMPARE(FormT2Pesq->QueryPesq1dataexame->value().toDate(), kToday.addDays(-2));
        // Yesterday's exams are not in the list: it stays.
        FormT2Pesq->Data->setDate(kToday.addDays(-1));
        QCOMPARE(list->recNo(), 2);
        FormT2Pesq->Data->setDate(kToday.addYears(-5));
        QCOMPARE(list->recNo(), 2);

        // Coming back re-reads the list on its first row; the picker keeps its date.
        returnToSearch();
        QCOMPARE(list->recNo(), 0);
        QCOMPARE(FormT2Pesq->Data->date(), kToday.addYears(-5));
    }

    void selectingMakesTheChosenPatientAndExamCurrent_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("emptyList");
        QTest::newRow("patients") << 0 << false;
        QTest::newRow("exams") << 1 << false;
        QTest::newRow("exams, none listed") << 1 << true;
    }
    void selectingMakesTheChosenPatientAndExamCurrent()
    {
        QFETCH(int, tab);
        QFETCH(bool, emptyList);
        if (emptyList)
            db->execute("delete from medico");
        openSearch(0);
        QTest::keyClicks(FormT2Pesq->Edit1, "bea");
        if (tab == 1) {
            MainForm->BotaoPsqClick(MainForm->ToolButton5);
            returnToSearch();
            FormT2Pesq->Data->setDate(kToday.addDays(-2));
            QTest::keyClick(FormT2Pesq->DBGrid2, Qt::Key_Down); // Carlos's exam or Ana's
        }
        const int chosen = tab == 0 || emptyList ? beatriz : FormT2Pesq->QueryPesq1nf->value().toInt();
        const QVariant chosenExam = FormT2Pesq->QueryPesq1codigoexame->value();
        QTest::keyClick(tab == 0 ? static_cast<QWidget*>(FormT2Pesq->Edit1) : FormT2Pesq->DBGrid2, Qt::Key_Return);
        QVERIFY(!FormT2Pesq->isVisible());
        QCOMPARE(currentPatient(), chosen);
        if (tab == 1 && !emptyList)
            QCOMPARE(DataModule1->TableEcoCodigoExame->value(), chosenExam);
        else
            QCOMPARE(DataModule1->TableEco->recNo(), 0);
    }

    void selectingSettlesThePendingExamFirst_data()
    {
        QTest::addColumn<bool>("saves");
        QTest::newRow("saved") << true;
        QTest::newRow("refused") << false;
    }
    void selectingSettlesThePendingExamFirst()
    {
        QFETCH(bool, saves);
        DataModule1->TableEco->last(); // today's exam, which may change
        DataModule1->TableEco->edit();
        DataModule1->TableEcoPeso->setValue(4200);
        if (!saves)
            DataModule1->TableEcoCodigoExame->clear();
        openSearch(0);
        QTest::keyClicks(FormT2Pesq->Edit1, "car");
        const QStringList boxes = answerBoxes([&] { QTest::mouseClick(FormT2Pesq->BitBtn1, Qt::LeftButton); });
        const QVariant weight = db->query("select peso from eco where codigoexame = :c", {anaToday}).rows.at(0).at(0);
        if (saves) {
            QCOMPARE(boxes, QStringList());
            QVERIFY(!FormT2Pesq->isVisible());
            QCOMPARE(currentPatient(), carlos);
            QCOMPARE(weight.toInt(), 4200);
        } else {
            QCOMPARE(boxes, QStringList{"Field 'CodigoExame' must have a value."});
            QVERIFY(FormT2Pesq->isVisible());
            QCOMPARE(currentPatient(), ana);
            QVERIFY(weight.isNull());
        }
    }

    void cancellingChangesNothing()
    {
        DataModule1->TableEco->last();
        openSearch(0);
        QTest::keyClicks(FormT2Pesq->Edit1, "car");
        QTest::keyClick(FormT2Pesq->DBGrid1, Qt::Key_Escape);
        QVERIFY(!FormT2Pesq->isVisible());
        openSearch(1);
        QTest::keyClick(FormT2Pesq->Data, Qt::Key_Return); // Enter in the picker does nothing
        QVERIFY(FormT2Pesq->isVisible());
        QTest::mouseClick(FormT2Pesq->BitBtn2, Qt::LeftButton);
        QVERIFY(!FormT2Pesq->isVisible());
        QCOMPARE(currentPatient(), ana);
        QCOMPARE(DataModule1->TableEcoCodigoExame->value().toDateTime(), anaToday);
    }

    void returningKeepsThePatientListAndPicksUpNewPatients()
    {
        openSearch(0);
        QTest::keyClicks(FormT2Pesq->Edit1, "car");
        patient("BRUNO ALVES");
        FormT2Pesq->BitBtn2->click();
        openSearch(0);
        QCOMPARE(listedName(), QString("CARLOS NUNES"));
        QCOMPARE(FormT2Pesq->Edit1->text(), QString("CAR"));
        QCOMPARE(FormT2Pesq->TablePesq->recordCount(), 5);
    }

    // --- the exam list, read a part at a time ---------------------------------

    void theShownListGrowsAsItIsScrolled()
    {
        const QVariantList dates = addManyExams();
        FormT2Pesq->QueryPesq1->setPartSize(3);
        openSearch(1);
        DatePagedQuery* list = FormT2Pesq->QueryPesq1;
        QScrollBar* bar = FormT2Pesq->DBGrid2->verticalScrollBar();
        QVERIFY(list->recordCount() < dates.size());
        while (list->hasMore(DatePagedQuery::End::Older)) {
            const int held = list->recordCount();
            bar->setValue(bar->maximum());
            QTRY_VERIFY(list->recordCount() > held);
        }
        QCOMPARE(column(list, "dataexame"), dates);

        // Upwards from a date far down, the rows shown keep their place.
        returnToSearch();
        FormT2Pesq->Data->setDate(kToday.addDays(-20));
        QVERIFY(list->recordCount() < dates.size() / 2); // the rows between were not read
        auto exam = [&](int row) { return list->rowAt(row).value(list->fieldByName("codigoexame")->index()); };
        while (list->hasMore(DatePagedQuery::End::Newer)) {
            const QVariant top = exam(0);
            bar->setValue(0);
            QTRY_VERIFY(exam(0) != top || !list->hasMore(DatePagedQuery::End::Newer));
            if (exam(0) != top)
                QCOMPARE(exam(FormT2Pesq->DBGrid2->rowAt(0)), top);
        }
        QCOMPARE(column(list, "dataexame"), dates);
        QCOMPARE(FormT2Pesq->QueryPesq1dataexame->value(), QVariant(kToday.addDays(-20)));
    }

    // Accented capitals with their plain letter, small letters with capitals:
    // in the main window, in the quick search's list and in what its name
    // field finds, and in the advanced search's hits.
    void patientsFollowThePortugueseOrderEverywhere()
    {
        for (const char* name : {"VICENTE", "ÍRIS", "ÁGUEDA", "GONZAGA", "GONÇALO", "ÉDEN", "ana ribeiro"})
            patient(QString::fromUtf8(name));
        QVariantList order;
        for (const QString& name : QString::fromUtf8("ÁGUEDA,ANA MARIA COSTA,ana ribeiro,BEATRIZ SOUSA,CARLOS NUNES,"
                                                     "ÉDEN,GONÇALO,GONZAGA,ÍRIS,JOÃO D'ÁVILA,VICENTE")
                                       .split(','))
            order << name;
        DataModule1->TablePac->refresh();
        QCOMPARE(column(DataModule1->TablePac, "NOME"), order);
        openSearch(0);
        QCOMPARE(column(FormT2Pesq->TablePesq, "NOME"), order);
        // Typed with or without the accents; past the first eight letters too.
        const std::pair<const char*, const char*> found[] = {
            {"agueda", "ÁGUEDA"},        {"ÁGUEDA", "ÁGUEDA"}, {"iris", "ÍRIS"},
            {"ana r", "ana ribeiro"},    {"gonc", "GONÇALO"},  {"ED", "ÉDEN"},
            {"joao d'avi", "JOÃO D'ÁVILA"}, {"ana ribeiro", "ana ribeiro"}};
        for (const auto& [typed, name] : found) {
            FormT2Pesq->Edit1->clear();
            FormT2Pesq->Edit1->insert(QString::fromUtf8(typed));
            QCOMPARE(listedName(), QString::fromUtf8(name));
        }
        FormT2Pesq->hide();
        search("");
        QCOMPARE(column(DataModule1->QueryPesqAv, "NOME"), order);
    }

    // --- the advanced search --------------------------------------------------

    void theAdvancedSearchFindsTheTextLiterallyInAnyColumn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("found");
        const QList<int> all{ana, beatriz, carlos, joao};
        QTest::newRow("empty: everyone") << "" << all;
        QTest::newRow("lower case") << "sousa" << QList<int>{beatriz};
        QTest::newRow("accented, lower") << QString::fromUtf8("joão") << QList<int>{joao};
        QTest::newRow("accented, mixed") << QString::fromUtf8("João d'Ávila") << QList<int>{joao};
        QTest::newRow("accented, in the store") << QString::fromUtf8("CONCEIÇÃO") << QList<int>{ana};
        QTest::newRow("quote") << QString::fromUtf8("d'ávila") << QList<int>{joao};
        QTest::newRow("statement in the text") << "'; drop table bddid; --" << QList<int>{};
        QTest::newRow("percent inside") << "a%costa" << QList<int>{ana};
        QTest::newRow("underscore, any one character") << "sou_a" << QList<int>{beatriz};
        QTest::newRow("colon") << "rua:7" << QList<int>{carlos};
        QTest::newRow("backslash") << "\\b" << QList<int>{carlos};
        QTest::newRow("escape character") << "!" << QList<int>{beatriz};
        QTest::newRow("digits in a phone number") << "9123" << QList<int>{beatriz};
        QTest::newRow("a date as shown") << "14/03/2019" << QList<int>{ana};
        QTest::newRow("part of a date as shown") << "12/2023" << QList<int>{carlos};
        QTest::newRow("a date as stored") << "2019-03" << QList<int>{};
        QTest::newRow("digits in numbers") << "123" << QList<int>{beatriz, carlos};
    }
    void theAdvancedSearchFindsTheTextLiterallyInAnyColumn()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, found);
        db->execute("update bddid set dnasc = :d, morada = :m where nf = :n",
                    {wallClock(QDate(2019, 3, 14)), QString::fromUtf8("Rua da Conceição"), ana});
        db->execute("update bddid set telef = '912345678', prof = :p where nf = :n", {QString::fromUtf8("Olá!"), beatriz});
        db->execute("update bddid set morada = :m, ncons = 123, d1cons = :d where nf = :n",
                    {"Rua:7 A\\B", QDate(2023, 12, 8), carlos});
        QCOMPARE(search(text), found);
        QVERIFY(FormPesqAV->BitBtn1->isEnabled());
        // Nothing found is said where the hits show, without a box.
        QCOMPARE(FormPesqAV->Label1->text().endsWith("nenhum paciente encontrado."), found.isEmpty());
        QCOMPARE(db->query("select count(*) from bddid").rows.at(0).at(0).toInt(), 4);
    }

    // The pointer shows the work while the statement runs; it and the
    // button come back, whatever the search gives.
    void aSearchShowsItsWorkAndAFailedOneLeavesTheButtonEnabled()
    {
        TFormPesqAV* w = openAdvanced();
        QList<int> shapes;
        QObject watching;
        connect(DataModule1->DataSourcePesqAV, &DataSource::changed, &watching, [&](DataEvent event) {
            if (event == DataEvent::ActiveChanged && DataModule1->QueryPesqAv->active())
                shapes << (QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
        });
        QTest::mouseClick(w->BitBtn1, Qt::LeftButton);
        QCOMPARE(shapes, QList<int>{Qt::WaitCursor});
        QVERIFY(!QApplication::overrideCursor());

        db->execute("alter table bddid rename to pacientes");
        const QString error = answerBox([&] { QTest::mouseClick(w->BitBtn1, Qt::LeftButton); });
        QVERIFY(!error.isEmpty());
        QVERIFY(w->BitBtn1->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!DataModule1->QueryPesqAv->active());
    }

    void aDoubleClickVisitsTheHitAndTheWindowStays()
    {
        QCOMPARE(search("sousa"), QList<int>{beatriz});
        QPointer<TFormPesqAV> w = FormPesqAV;
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(overMainWindow(w)); // the window built at start-up too
        QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, w->DBGrid1->visualRect(w->DBGrid1->model()->index(0, 1)).center());
        QCOMPARE(currentPatient(), beatriz);
        QVERIFY(w && w->isVisible());

        // Closing destroys the window; the next one starts empty and shows the last hits.
        w->close();
        QTRY_VERIFY(!w);
        MainForm->move(MainForm->pos() + QPoint(40, 30));
        TFormPesqAV* again = openAdvanced();
        QVERIFY(overMainWindow(again));
        QCOMPARE(again->Edit1->text(), QString());
        QVERIFY(again->BitBtn1->isEnabled());
        QCOMPARE(again->DBGrid1->model()->rowCount(), 1);
        QCOMPARE(again->DBGrid1->columnTitle(20), QString("NCENTROS"));
        const QString wholeName = QString::fromUtf8("MARIA DA CONCEIÇÃO FERREIRA DE CARVALHO");
        QVERIFY(again->DBGrid1->columnWidth(1) > again->DBGrid1->fontMetrics().horizontalAdvance(wholeName));
        QCOMPARE(again->Image1->pixmap().size(), QSize(194, 110));
        QCOMPARE(again->Image1->pixmap().toImage().pixelColor(2, 2), QColor(Qt::white));
    }
};

VELUNOR_TEST(TestSearch)
#include "tst_search.moc"
