#include "app/Main.h"
#include "app/acerca.h"
#include "app/Startup.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBLookupComboBox.h"
#include "data/controls/DBNavigator.h"
#include "editing/MeasurementsPage.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"
#include "search/Pesqt2.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using engine::values::wallClock;
using Button = DBNavigator::Button;

namespace {

// The practice's clock during every test: a Tuesday morning.
const QDate kToday(2026, 3, 10);
const QDateTime kNow = wallClock(kToday, QTime(10, 30, 0, 250));

const QString kCloseQuestion = QString::fromUtf8("Existem alterações por gravar. Deseja gravá-las antes de sair?");

// A modal box as it showed itself.
struct SeenBox {
    QString title;
    QString text;
    QStringList buttons; // sorted
    QString defaultButton;
};

// How a test answers one box; none given: its default button.
using Answer = std::function<void(QMessageBox*)>;

Answer pressButton(const QString& text)
{
    return [text](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == text) {
                b->click();
                return;
            }
        QTest::qFail(qPrintable("no button " + text), __FILE__, __LINE__);
        box->reject();
    };
}

Answer pressKey(Qt::Key key)
{
    return [key](QMessageBox* box) { QTest::keyClick(box, key); };
}

// Answers the modal message boxes that open while `action` runs, in order,
// and tells what they showed. Nothing waits for a person.
QList<SeenBox> answering(const std::function<void()>& action, QList<Answer> answers = {})
{
    QList<SeenBox> seen;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        SeenBox s{box->windowTitle(), box->text(), {}, box->defaultButton() ? box->defaultButton()->text() : QString()};
        for (QAbstractButton* b : box->buttons())
            s.buttons << b->text();
        s.buttons.sort();
        seen << s;
        const Answer answer = answers.isEmpty() ? Answer() : answers.takeFirst();
        QPointer<QMessageBox> guard(box);
        QTimer::singleShot(0, box, [guard, answer] {
            if (!guard)
                return;
            if (answer) {
                answer(guard);
                return;
            }
            QAbstractButton* b = guard->defaultButton();
            if (!b)
                b = guard->buttons().value(0);
            if (b)
                b->click();
        });
    });
    timer.start();
    action();
    timer.stop();
    return seen;
}

QStringList texts(const QList<SeenBox>& boxes)
{
    QStringList out;
    for (const SeenBox& b : boxes)
        out << b.text;
    return out;
}

QStringList enabledButtons(const DBNavigator* nav)
{
    QStringList out;
    for (Button b : nav->visibleButtons())
        if (nav->button(b)->isEnabled())
            out << DBNavigator::buttonName(b);
    return out;
}

// A weight or height as the field shows it: thousands grouped by the locale's separator.
QString grouped(const char* thousands, const char* rest) { return QString(thousands) + QChar(0xa0) + rest; }

} // namespace

// The main window of the whole program, brought up by the start-up sequence
// on a real store and driven as the user drives it: the frame, the patient
// and exam panes, their navigators and lookups, the hint display, the menu
// shortcuts and the question asked when the window closes on unsaved work.
class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<Startup> startup;
    std::unique_ptr<engine::Database> checking;

    // Patients, in name order: Ana (born, three exams), Beatriz (no birth
    // date, one exam), Carlos (born, no exams).
    int ana = 0, beatriz = 0, carlos = 0;
    // Doctors: Jorge is no longer active.
    int helena = 0, jorge = 0, miguel = 0;
    int ecocardiograma = 0, fetal = 0;
    // Ana's exams, in their order: yesterday's and today's with Dra. Helena,
    // a later one today with Dr. Jorge.
    QDateTime exam1, exam2, exam3;
    int doctorMoves = 0;

    // --- the store ------------------------------------------------------------

    int insertReturning(engine::Database& db, const QString& insert, const QVariantList& values,
                        const QString& select, const QVariantList& key)
    {
        db.execute(insert, values);
        return db.query(select, key).rows.at(0).at(0).toInt();
    }

    void seed()
    {
        auto db = store->connect("SEED");
        auto patient = [&](const char* name, const QVariant& birth) {
            return insertReturning(*db, "insert into bddid (nome, dnasc) values (:n, :d)", {name, birth},
                                   "select nf from bddid where nome = :n", {name});
        };
        ana = patient("ANA MARIA COSTA", wallClock(QDate(2025, 1, 20)));
        beatriz = patient("BEATRIZ SOUSA", QVariant());
        carlos = patient("CARLOS NUNES", wallClock(QDate(2025, 12, 1)));
        auto doctor = [&](const char* name, bool active) {
            return insertReturning(*db, "insert into medico (nome, activo) values (:n, :a)", {name, active},
                                   "select codigo from medico where nome = :n", {name});
        };
        helena = doctor("DRA. HELENA", true);
        jorge = doctor("DR. JORGE", false);
        miguel = doctor("DR. MIGUEL", true);
        auto type = [&](const char* name) {
            return insertReturning(*db, "insert into tipoexame (tipo) values (:t)", {name},
                                   "select id from tipoexame where tipo = :t", {name});
        };
        ecocardiograma = type("Ecocardiograma");
        fetal = type("Fetal");
        auto exam = [&](int patient, const QDateTime& code, int doctor, int type, const QVariant& peso,
                        const QVariant& altura) {
            db->execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Idade, Peso, Altura, Executor, ModoD)"
                        " values (:p, :c, :d, :i, :w, :h, :e, :t)",
                        {double(patient), code, code.date(), 13, peso, altura, double(doctor), QString::number(type)});
        };
        exam1 = wallClock(kToday.addDays(-1), QTime(9, 0));
        exam2 = wallClock(kToday, QTime(9, 0));
        exam3 = wallClock(kToday, QTime(9, 30));
        exam(ana, exam1, helena, ecocardiograma, 5200, 61);
        exam(ana, exam2, helena, fetal, 5300, 62);
        exam(ana, exam3, jorge, ecocardiograma, QVariant(), QVariant());
        exam(beatriz, wallClock(kToday, QTime(8, 0)), miguel, fetal, 3100, 50);
    }

    engine::Database& store_()
    {
        if (!checking)
            checking = store->connect("CHECK");
        return *checking;
    }

    // A patient's stored exams in their order: CodigoExame, DataExame,
    // Idade, Peso, Altura, Executor, ModoD.
    std::vector<engine::Row> storedExams(int patient)
    {
        return store_()
            .query("select CodigoExame, DataExame, Idade, Peso, Altura, Executor, ModoD from eco"
                   " where CodigoPaciente = :p order by CodigoExame",
                   {double(patient)})
            .rows;
    }

    QString storedName(int patient)
    {
        return store_().query("select nome from bddid where nf = :n", {patient}).rows.at(0).at(0).toString();
    }

    // --- the window -----------------------------------------------------------

    QToolButton* navButton(DBNavigator* nav, Button b)
    {
        auto* button = MainForm->findChild<QToolButton*>(nav->objectName() + "_" + DBNavigator::buttonName(b));
        if (!button)
            QTest::qFail("navigator button not found", __FILE__, __LINE__);
        return button;
    }

    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void click(DBNavigator* nav, Button b) { click(navButton(nav, b)); }

    // Puts the keyboard focus into a control as the user does, with a click
    // (a lookup box would open its list on a click: it gets the focus as the
    // Tab key gives it).
    void focusInto(QWidget* w)
    {
        if (qobject_cast<DBLookupComboBox*>(w))
            w->setFocus(Qt::TabFocusReason);
        else
            click(w);
        QCOMPARE(QApplication::focusWidget(), w);
    }

    // Typing over the whole text of an edit.
    void retype(DBEdit* edit, const QString& text)
    {
        focusInto(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }

    // Closes the main window from inside the program's own event loop, as
    // the user does (the window's close button, or "&Saír"), answering the
    // boxes that open. True when the window closed and the program's loop
    // ended with it.
    bool closeMainWindow(QList<SeenBox>* boxes, QList<Answer> answers = {}, bool throughMenu = false)
    {
        QTimer::singleShot(0, [&] {
            *boxes = answering(
                [&] {
                    if (throughMenu)
                        MainForm->FileExitItem->trigger();
                    else
                        MainForm->close();
                },
                answers);
            // A window that stayed open keeps the loop running: end it here.
            if (MainForm->isVisible())
                QCoreApplication::exit(7);
        });
        const int code = Application::instance()->run();
        return code == 0 && !MainForm->isVisible();
    }

    QString shownHint() const { return MainForm->StatusPanels[0]->text(); }

    // Opens "&Acções" with a click on its title in the menu bar.
    QMenu* openFileMenu()
    {
        QMenuBar* bar = MainForm->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(MainForm->FileMenu->menuAction()).center());
        if (!QTest::qWaitForWindowExposed(MainForm->FileMenu))
            QTest::qFail("the menu did not open", __FILE__, __LINE__);
        return MainForm->FileMenu;
    }

private slots:
    void init()
    {
        clock_::set([] { return kNow; });
        store = std::make_unique<TestStore>();
        store->createTables();
        seed();
        startup = std::make_unique<Startup>(*Application::instance());
        QCOMPARE(texts(answering([&] { startup->build(); })), QStringList());
        QVERIFY(MainForm && DataModule1);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        doctorMoves = 0;
        DataModule1->TableMed->beforeScroll = [this](Dataset&) { ++doctorMoves; };
        QCOMPARE(DataModule1->TablePacNOME->asString(), QString("ANA MARIA COSTA"));
        QCOMPARE(DataModule1->TableEcoCodigoExame->value().toDateTime(), exam1);
    }

    void cleanup()
    {
        Application::instance()->destroyComponents();
        checking.reset();
        startup.reset();
        store.reset();
        clock_::set({});
    }

    // --- the frame ------------------------------------------------------------

    void theFrameCarriesItsCaptionPagesMenusAndNavigatorHints()
    {
        QCOMPARE(MainForm->windowTitle(), QString::fromUtf8("Relatório Velunor / Fetal - ver. 1.1.0.0 (stand alone)"));
        QCOMPARE(MainForm->frameGeometry().size(), QSize(707, 555));
        const QRect screen = MainForm->screen()->availableGeometry();
        QVERIFY((MainForm->frameGeometry().center() - screen.center()).manhattanLength() <= 2);
        QCOMPARE(MainForm->PageControl1->currentWidget(), MainForm->TabSheet1);
        QCOMPARE(MainForm->PageControl1->tabText(0), QString("Pacientes"));
        QCOMPARE(MainForm->PageControl1->tabText(1), QString::fromUtf8("Modelos de Relatório"));
        QCOMPARE(MainForm->PageControl1->tabPosition(), QTabWidget::West);

        // Menus: entry, caption, shortcut, enabled, hint.
        struct Entry {
            const char* name;
            const char* caption;
            QKeySequence shortcut;
            bool enabled;
            const char* hint;
        };
        const QList<Entry> acções = {
            {"FileNewItem", "&Pesquisar Pacientes", QKeySequence("Ctrl+F"), true, "Pesquisar Paciente"},
            {"PesquisarExamespordia1", "Pesquisar Exames por &Dia", QKeySequence("Ctrl+D"), true, ""},
            {"N1", "", {}, true, ""},
            {"NovoPaciente1", "&Novo Paciente", QKeySequence("Ctrl+N"), false, ""},
            {"NovoExame1", "Novo &Exame", QKeySequence("Ctrl+E"), true, ""},
            {"FileOpenItem", "", {}, true, ""},
            {"FilePrintItem", "&Imprimir", QKeySequence("Ctrl+P"), true, "Imprimir Relatório"},
            {"VerAntes1", "Ver Antes", {}, true, ""},
            {"ExportarPDF1", "Exportar PDF...", {}, true, "Exportar o relatório para PDF"},
            {"FilePrintSetupItem", "C&onfig. Impressora", {}, true, "Configurar a Impressora"},
            {"N4", "", {}, true, ""},
            {"FileExitItem", "&Saír", {}, true, "Exit this application"},
        };
        const QList<Entry> ver = {
            {"Pacientes1", "&Pacientes", {}, true, ""},
            {"Recebidos1", "Documentos do &ecógrafo...", {}, true,
             "Documentos recebidos do ecógrafo por atribuir a um paciente ou exame"},
            {"N8", "", {}, true, ""},
            {"Frases1", "&Frases", QKeySequence("F5"), true, ""},
            {"Concluses1", "&Conclusões", QKeySequence("F8"), true, ""},
            {"N5", "", {}, true, ""},
            {"Evolucao1", "E&volução", {}, true, "Evolução de uma medição nos exames do paciente"},
        };
        const QList<Entry> ajuda = {
            {"Acercade1", "A&cerca de...", {}, true, ""},
            {"N3", "", {}, true, ""},
            {"Ajuda2", "&Ajuda", {}, false, ""},
        };
        QStringList bar;
        for (QAction* a : MainForm->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{QString::fromUtf8("&Acções"), "&Ver", "Aju&da"}));
        auto compareMenu = [](QMenu* menu, const QList<Entry>& expected) {
            const QList<QAction*> actions = menu->actions();
            QCOMPARE(actions.size(), expected.size());
            for (int i = 0; i < expected.size(); ++i) {
                const Entry& e = expected[i];
                QAction* a = actions[i];
                QCOMPARE(a->objectName(), QString(e.name));
                QCOMPARE(a->isSeparator(), QString(e.caption).isEmpty());
                if (a->isSeparator())
                    continue;
                QCOMPARE(a->text(), QString::fromUtf8(e.caption));
                QCOMPARE(a->shortcut(), e.shortcut);
                QCOMPARE(a->isEnabled(), e.enabled);
                QCOMPARE(a->statusTip(), QString::fromUtf8(e.hint));
            }
        };
        compareMenu(MainForm->FileMenu, acções);
        compareMenu(MainForm->Ver1, ver);
        compareMenu(MainForm->Ajuda1, ajuda);

        // The navigators' buttons and hints.
        auto buttonsAndHints = [this](DBNavigator* nav) {
            QStringList out;
            for (Button b : nav->visibleButtons())
                out << DBNavigator::buttonName(b) + ": " + navButton(nav, b)->toolTip();
            return out;
        };
        QCOMPARE(buttonsAndHints(MainForm->DBNavigator1),
                 (QStringList{"First: Primeiro Paciente", "Prior: Paciente Anterior", "Next: Próximo Paciente",
                              "Last: Último Paciente", "Insert: Novo Paciente", "Post: Gravar Paciente",
                              "Cancel: Cancelar Paciente"}));
        QCOMPARE(buttonsAndHints(MainForm->DBNavigator2),
                 (QStringList{"Prior: Exame Anterior", "Next: Próximo Exame", "Insert: Novo Exame",
                              "Delete: Apagar Exame", "Edit: Editar Exame", "Post: Gravar Exame",
                              "Cancel: Cancelar Exame"}));
    }

    void theStatusBarHoldsItsFourPanels()
    {
        QCOMPARE(MainForm->statusBar()->height(), 23);
        const int widths[4] = {350, 140, 110, 90};
        const Qt::Alignment aligned[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
        for (int i = 0; i < 4; ++i) {
            QLabel* panel = MainForm->StatusPanels[i];
            QCOMPARE(panel->objectName(), QString("StatusPanel%1").arg(i));
            QVERIFY(panel->isVisible());
            QCOMPARE(panel->width(), widths[i]);
            QCOMPARE(panel->alignment() & Qt::AlignHorizontal_Mask, aligned[i]);
            if (i > 0) // side by side, never over each other
                QCOMPARE(panel->x(), MainForm->StatusPanels[i - 1]->geometry().right() + 1);
        }
        QCOMPARE(MainForm->StatusPanels[0]->text(), QString());
        QCOMPARE(MainForm->StatusPanels[1]->text(), QString::fromUtf8("Relatório Ecocardiográfico"));
        QVERIFY(!MainForm->StatusPanels[2]->text().isEmpty());
        QCOMPARE(MainForm->StatusPanels[3]->text(), QString::fromUtf8("versão 2.6.5.0"));
    }

    void theToolbarLinesUpItsButtonsAndThePatientNavigator()
    {
        // The toolbar, left to right: gaps, dividers, buttons and the navigator.
        QStringList order;
        for (QAction* a : MainForm->ToolBar1->actions())
            if (QWidget* w = MainForm->ToolBar1->widgetForAction(a))
                order << w->objectName();
        QCOMPARE(order, (QStringList{"ToolButton4", "BotaoPsq", "ToolButton9", "ToolButton5", "ToolButton1",
                                     "ToolButton8", "ToolButton3", "BotaoPrn", "ToolButton2", "ToolButton6",
                                     "ToolButton7", "DBNavigator1"}));
        const QList<std::pair<const char*, int>> gaps = {{"ToolButton4", 25}, {"ToolButton9", 8}, {"ToolButton1", 8},
                                                         {"ToolButton3", 20}, {"ToolButton2", 8}, {"ToolButton7", 14}};
        for (const auto& [name, width] : gaps)
            QCOMPARE(MainForm->ToolBar1->findChild<QWidget*>(name)->width(), width);
        struct Tool {
            QToolButton* button;
            const char* caption;
            const char* hint;
        };
        for (const Tool& t : {Tool{MainForm->BotaoPsq, "pacientes", "pesquisa de paciente"},
                              Tool{MainForm->ToolButton5, "exames", "pesquisa por exames"},
                              Tool{MainForm->ToolButton8, "avançada", "pesquisa avançada de pacientes..."},
                              Tool{MainForm->BotaoPrn, "imprimir", "imprimir relatório"},
                              Tool{MainForm->ToolButton6, "pré-visualisar", "pré-visualisar relatório"}}) {
            QCOMPARE(t.button->text(), QString::fromUtf8(t.caption));
            QCOMPARE(t.button->toolTip(), QString::fromUtf8(t.hint));
            QCOMPARE(t.button->size(), QSize(68, 36));
        }
        QCOMPARE(MainForm->DBNavigator1->size(), QSize(273, 36));
        QCOMPARE(MainForm->ToolBar1->height(), 39);
        QCOMPARE(MainForm->PageControl1->geometry().top(), MainForm->ToolBar1->geometry().bottom() + 1);
    }

    // --- navigators -----------------------------------------------------------

    void theNavigatorsFollowBrowseEditInsertAndAClosedExamTable()
    {
        DBNavigator* patients = MainForm->DBNavigator1;
        DBNavigator* exams = MainForm->DBNavigator2;
        // First patient, first of her three exams.
        QCOMPARE(enabledButtons(patients), (QStringList{"Next", "Last", "Insert"}));
        QCOMPARE(enabledButtons(exams), (QStringList{"Next", "Insert", "Delete", "Edit"}));

        click(exams, Button::Next);
        QCOMPARE(enabledButtons(exams), (QStringList{"Prior", "Next", "Insert", "Delete", "Edit"}));
        click(exams, Button::Edit);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Edit);
        QCOMPARE(enabledButtons(exams), (QStringList{"Prior", "Next", "Insert", "Delete", "Post", "Cancel"}));
        click(exams, Button::Cancel);
        QCOMPARE(enabledButtons(exams), (QStringList{"Prior", "Next", "Insert", "Delete", "Edit"}));

        // Typing into the name puts the patient into editing.
        focusInto(MainForm->DBEdit1);
        QTest::keyClick(MainForm->DBEdit1, Qt::Key_End);
        QCOMPARE(enabledButtons(patients), (QStringList{"Next", "Last", "Insert"}));
        QTest::keyClicks(MainForm->DBEdit1, "S");
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Edit);
        QCOMPARE(enabledButtons(patients), (QStringList{"Next", "Last", "Insert", "Post", "Cancel"}));
        click(patients, Button::Cancel);
        QCOMPARE(MainForm->DBEdit1->text(), QString("ANA MARIA COSTA"));
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);

        // The last patient has no exams: only Insert and Edit (which inserts).
        click(patients, Button::Last);
        QCOMPARE(DataModule1->TablePacNOME->asString(), QString("CARLOS NUNES"));
        QCOMPARE(enabledButtons(patients), (QStringList{"First", "Prior", "Insert"}));
        QCOMPARE(enabledButtons(exams), (QStringList{"Insert", "Edit"}));
        QCOMPARE(MainForm->DBEdit5->text(), QString());
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString());

        // A new patient: all seven patient buttons; no exams yet.
        click(patients, Button::Insert);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Insert);
        QCOMPARE(enabledButtons(patients),
                 (QStringList{"First", "Prior", "Next", "Last", "Insert", "Post", "Cancel"}));
        QCOMPARE(enabledButtons(exams), (QStringList{"Insert", "Edit"}));
        click(patients, Button::Cancel);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);

        // The exam table closed: every exam button off, the patient's still on,
        // and "Novo Exame" does nothing and shows nothing.
        click(patients, Button::First);
        DataModule1->TableEco->close();
        QCOMPARE(enabledButtons(exams), QStringList());
        QCOMPARE(enabledButtons(patients), (QStringList{"Next", "Last", "Insert"}));
        QCOMPARE(MainForm->DBEdit8->text(), QString());
        QCOMPARE(texts(answering([] { QTest::keyClick(MainForm, Qt::Key_E, Qt::ControlModifier); })), QStringList());
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Inactive);
        QCOMPARE(storedExams(ana).size(), size_t(3));
    }

    // --- typing into the panes ------------------------------------------------

    void typingTheNameSettlesThePendingExamFirst_data()
    {
        QTest::addColumn<QString>("pending");
        QTest::newRow("a new exam is saved") << "new";
        QTest::newRow("a changed exam is saved") << "changed";
        QTest::newRow("an untouched exam is dropped") << "untouched";
    }

    void typingTheNameSettlesThePendingExamFirst()
    {
        QFETCH(QString, pending);
        if (pending == "new") {
            click(MainForm->DBNavigator2, Button::Insert);
            QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        } else {
            click(MainForm->DBNavigator2, Button::Edit);
            QCOMPARE(DataModule1->TableEco->state(), DataSetState::Edit);
            if (pending == "changed")
                retype(MainForm->DBEdit5, "4800");
        }

        focusInto(MainForm->DBEdit1);
        QTest::keyClick(MainForm->DBEdit1, Qt::Key_End);
        QTest::keyClicks(MainForm->DBEdit1, " lopes");
        QCOMPARE(MainForm->DBEdit1->text(), QString("ANA MARIA COSTA LOPES"));
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Edit);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);

        const std::vector<engine::Row> exams = storedExams(ana);
        if (pending == "new") {
            QCOMPARE(exams.size(), size_t(4));
            QCOMPARE(exams.back().at(0).toDateTime(), kNow); // the new exam's stamp
            QCOMPARE(exams.back().at(1).toDate(), kToday);
        } else {
            QCOMPARE(exams.size(), size_t(3));
            QCOMPARE(exams.front().at(3).toInt(), pending == "changed" ? 4800 : 5200);
        }

        // The patient's own change is saved by its Post, in capitals.
        click(MainForm->DBNavigator1, Button::Post);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);
        QCOMPARE(storedName(ana), QString("ANA MARIA COSTA LOPES"));
    }

    void theWeightTakesTypingOnlyWhileTheExamIsEditedAndWithinRange()
    {
        DBEdit* peso = MainForm->DBEdit5;
        QCOMPARE(peso->text(), grouped("5", "200"));

        // Browsing: keys change nothing.
        focusInto(peso);
        QTest::keyClicks(peso, "9");
        QTest::keyClick(peso, Qt::Key_Backspace);
        QCOMPARE(peso->text(), grouped("5", "200"));
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);
        QVERIFY(!peso->isTextModified());

        click(MainForm->DBNavigator2, Button::Edit);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Edit);
        retype(peso, "2147483648");
        const QList<SeenBox> boxes = answering([&] { QTest::keyClick(peso, Qt::Key_Tab); });
        QCOMPARE(texts(boxes), QStringList{"2147483648 is not a valid value for field 'Peso'. "
                                           "The allowed range is -2147483648 to 2147483647."});
        QCOMPARE(boxes[0].title, QString("Velunor"));
        QApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), peso);
        QCOMPARE(peso->selectedText(), QString("2147483648"));
        QCOMPARE(DataModule1->TableEcoPeso->value().toInt(), 5200);

        // An adolescent's weight goes through, is stored, and the
        // measurements page computes the body surface area with it.
        QTest::keyClicks(peso, "45000");
        QCOMPARE(texts(answering([&] { QTest::keyClick(peso, Qt::Key_Tab); })), QStringList());
        QCOMPARE(QApplication::focusWidget(), MainForm->DBEdit6);
        retype(MainForm->DBEdit6, "152");
        click(MainForm->DBNavigator2, Button::Post);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);
        QCOMPARE(storedExams(ana).front().at(3).toInt(), 45000);
        QCOMPARE(peso->text(), grouped("45", "000"));
        MainForm->PageControl2->setCurrentWidget(MainForm->TabSheetMedicoes);
        QCOMPARE(MainForm->TabSheetMedicoes->LabelCorpo->text(),
                 QString::fromUtf8("Peso: 45 kg    Altura: 152 cm    SC: 1,38 m² (Haycock)"));
    }

    // --- lookups --------------------------------------------------------------

    void theDoctorLookupMovesTheDoctorsOnlyForAnotherDoctor()
    {
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString("DRA. HELENA"));
        QCOMPARE(DataModule1->TableMedNOME->asString(), QString("DRA. HELENA"));
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString("Ecocardiograma"));

        // The next exam has the same doctor: the doctors are not moved again.
        click(MainForm->DBNavigator2, Button::Next);
        QCOMPARE(DataModule1->TableEcoCodigoExame->value().toDateTime(), exam2);
        QCOMPARE(doctorMoves, 0);
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString("DRA. HELENA"));
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString("Fetal"));
        QCOMPARE(DataModule1->TableTipoExTipo->asString(), QString("Fetal"));

        // A doctor no longer active is not in the list: the box is empty and
        // the doctors stay where they were.
        click(MainForm->DBNavigator2, Button::Next);
        QCOMPARE(DataModule1->TableEcoExecutor->value().toInt(), jorge);
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString());
        QCOMPARE(DataModule1->TableMedNOME->asString(), QString("DRA. HELENA"));
        QCOMPARE(MainForm->DBLookupComboBox2->text(), QString("Ecocardiograma"));

        // Another patient's exam with another doctor moves them.
        click(MainForm->DBNavigator1, Button::Next);
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString("DR. MIGUEL"));
        QCOMPARE(DataModule1->TableMedNOME->asString(), QString("DR. MIGUEL"));
    }

    // --- hints ----------------------------------------------------------------

    void theFirstPanelShowsTheHintUnderThePointer()
    {
        QTest::mouseMove(MainForm->BotaoPsq);
        QTRY_COMPARE(shownHint(), QString("pesquisa de paciente"));
        QTest::mouseMove(navButton(MainForm->DBNavigator1, Button::Insert));
        QTRY_COMPARE(shownHint(), QString("Novo Paciente"));
        // A disabled button still gives its hint.
        QVERIFY(!navButton(MainForm->DBNavigator1, Button::Post)->isEnabled());
        QTest::mouseMove(navButton(MainForm->DBNavigator1, Button::Post));
        QTRY_COMPARE(shownHint(), QString("Gravar Paciente"));
        QTest::mouseMove(MainForm->DBEdit1);
        QTRY_COMPARE(shownHint(), QString());
        QTest::mouseMove(MainForm->Label71);
        QTRY_COMPARE(shownHint(), QString::fromUtf8("apagar médico"));
        QTest::mouseMove(navButton(MainForm->DBNavigator2, Button::Edit));
        QTRY_COMPARE(shownHint(), QString("Editar Exame"));
        QTest::mouseMove(MainForm->DBEdit8);
        QTRY_COMPARE(shownHint(), QString());
    }

    void aHighlightedMenuEntryShowsItsHint()
    {
        QMenu* menu = openFileMenu();
        menu->setActiveAction(MainForm->FilePrintSetupItem);
        QTRY_COMPARE(shownHint(), QString("Configurar a Impressora"));
        menu->setActiveAction(MainForm->VerAntes1);
        QTRY_COMPARE(shownHint(), QString());
        menu->setActiveAction(MainForm->FileExitItem);
        QTRY_COMPARE(shownHint(), QString("Exit this application"));
        // and under the mouse pointer
        QTest::mouseMove(menu, menu->actionGeometry(MainForm->FilePrintItem).center());
        QTRY_COMPARE(shownHint(), QString::fromUtf8("Imprimir Relatório"));
        QTest::qWait(20); // the idle pass that follows the pointer must not clear it
        QCOMPARE(shownHint(), QString::fromUtf8("Imprimir Relatório"));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QTRY_COMPARE(shownHint(), QString());
    }

    void theOtherPanelsStayWhileAMenuEntryIsHighlighted()
    {
        QMenu* menu = openFileMenu();
        menu->setActiveAction(MainForm->FilePrintSetupItem);
        QTRY_COMPARE(shownHint(), QString("Configurar a Impressora"));
        for (int i = 0; i < 4; ++i)
            QVERIFY2(MainForm->StatusPanels[i]->isVisible(), qPrintable(QString("panel %1 hidden").arg(i)));
        QCOMPARE(MainForm->statusBar()->currentMessage(), QString());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        for (int i = 0; i < 4; ++i)
            QVERIFY(MainForm->StatusPanels[i]->isVisible());
    }

    // --- commands -------------------------------------------------------------

    void menuShortcutsActFromTheOtherWindowsOfTheProgram()
    {
        click(MainForm->BotaoPsq);
        QVERIFY(FormT2Pesq->isVisible());
        QCOMPARE(FormT2Pesq->PageControl1->currentIndex(), 0);
        QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
        QWidget* keys = QApplication::focusWidget() ? QApplication::focusWidget() : FormT2Pesq;
        QCOMPARE(keys->window(), static_cast<QWidget*>(FormT2Pesq));

        // Ctrl+N belongs to a disabled entry: nothing happens.
        QCOMPARE(texts(answering([&] { QTest::keyClick(keys, Qt::Key_N, Qt::ControlModifier); })), QStringList());
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);
        QCOMPARE(DataModule1->TablePac->recordCount(), 3);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);

        // Ctrl+E starts a new exam of the current patient.
        QTest::keyClick(keys, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        QCOMPARE(DataModule1->TableEcoCodigoPaciente->value().toInt(), ana);
        QCOMPARE(DataModule1->TableEcoCodigoExame->value().toDateTime(), kNow);
        QVERIFY(FormT2Pesq->isActiveWindow());
        click(MainForm->DBNavigator2, Button::Cancel);
        QCOMPARE(DataModule1->TableEco->recordCount(), 3);

        // While a modal box is open the menu takes no shortcut.
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        DataSetState whileOpen = DataSetState::Inactive;
        const QList<SeenBox> boxes = answering([&] { click(MainForm->Label71); },
                                               {[&](QMessageBox* box) {
                                                   QTest::keyClick(box, Qt::Key_E, Qt::ControlModifier);
                                                   whileOpen = DataModule1->TableEco->state();
                                                   box->buttons().value(0)->click();
                                               }});
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(whileOpen, DataSetState::Browse);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);
    }

    void theSearchAndAboutCommandsOpenTheirWindows()
    {
        click(MainForm->ToolButton5);
        QVERIFY(FormT2Pesq->isVisible());
        QCOMPARE(FormT2Pesq->PageControl1->currentIndex(), 1);
        QVERIFY(QTest::qWaitForWindowActive(FormT2Pesq));
        QTest::keyClick(FormT2Pesq, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(FormT2Pesq->PageControl1->currentIndex(), 0);
        QTest::keyClick(FormT2Pesq, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(FormT2Pesq->PageControl1->currentIndex(), 1);
        FormT2Pesq->close();
        QVERIFY(MainForm->isVisible());

        // One about box at a time: the entry is off until the box closes.
        // Esc, Enter and Alt+S close it, and every opening builds a new box.
        for (const QKeyCombination key : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::Key_Return),
                                          QKeyCombination(Qt::ALT | Qt::Key_S)}) {
            MainForm->Acercade1->trigger();
            QPointer<TFormAcerca> about = FormAcerca;
            QVERIFY(about && about->isVisible() && !about->isModal());
            QVERIFY(!MainForm->Acercade1->isEnabled());
            QVERIFY(QTest::qWaitForWindowActive(about));
            QCOMPARE(QApplication::focusWidget(), about->BitBtn1);
            QTest::keyClick(about->BitBtn1, key.key(), key.keyboardModifiers());
            QTRY_VERIFY(!about);
            QVERIFY(!FormAcerca);
            QVERIFY(MainForm->Acercade1->isEnabled());
        }
    }

    void insertingAPatientPutsTheFocusOnTheName()
    {
        focusInto(MainForm->DBEdit8);
        click(MainForm->DBNavigator1, Button::Insert);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Insert);
        QCOMPARE(QApplication::focusWidget(), MainForm->DBEdit1);
        QCOMPARE(MainForm->DBEdit1->text(), QString());
        QTest::keyClicks(MainForm->DBEdit1, "rita pereira");
        QCOMPARE(MainForm->DBEdit1->text(), QString("RITA PEREIRA"));
        click(MainForm->DBNavigator1, Button::Post);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);
        const int rita = DataModule1->TablePacCODIGO->value().toInt();
        QCOMPARE(storedName(rita), QString("RITA PEREIRA"));
        QCOMPARE(DataModule1->TableEco->recordCount(), 0);

        // An Insert refused by the exam's pending text leaves the focus where it was.
        click(MainForm->DBNavigator1, Button::First);
        click(MainForm->DBNavigator2, Button::Edit);
        retype(MainForm->DBEdit6, "40000");
        const QStringList shown = texts(answering([&] { click(MainForm->DBNavigator1, Button::Insert); }));
        QCOMPARE(shown, QStringList{"40000 is not a valid value for field 'Altura'. The allowed range is -32768 to 32767."});
        QCOMPARE(MainForm->focusWidget(), MainForm->DBEdit6);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Browse);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Edit);
        QTest::keyClick(MainForm->DBEdit6, Qt::Key_Escape);
        click(MainForm->DBNavigator2, Button::Cancel);
    }

    void theRedCrossClearsTheDoctorOnlyWhileTheExamIsEdited()
    {
        // Browsing: the message, and the doctor stays.
        const QList<SeenBox> refused = answering([&] { click(MainForm->Label71); });
        QCOMPARE(texts(refused), QStringList{QString::fromUtf8("Operação permitida só em modo de Edição/Inserção")});
        QCOMPARE(refused[0].title, QString("Velunor"));
        QCOMPARE(refused[0].buttons.size(), 1);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);
        QCOMPARE(DataModule1->TableEcoExecutor->value().toInt(), helena);
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString("DRA. HELENA"));

        // Editing: the doctor goes; Cancel brings it back.
        click(MainForm->DBNavigator2, Button::Edit);
        QCOMPARE(texts(answering([&] { click(MainForm->Label71); })), QStringList());
        QVERIFY(DataModule1->TableEcoExecutor->isNull());
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString());
        click(MainForm->DBNavigator2, Button::Cancel);
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString("DRA. HELENA"));
        QCOMPARE(DataModule1->TableEcoExecutor->value().toInt(), helena);

        // Post keeps the emptied doctor.
        click(MainForm->DBNavigator2, Button::Edit);
        click(MainForm->Label71);
        click(MainForm->DBNavigator2, Button::Post);
        QVERIFY(storedExams(ana).front().at(5).isNull());
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString());
    }

    void theExamDateIsColouredWhileItHasTheFocus()
    {
        const QColor paleYellow(255, 255, 189), typeYellow(255, 255, 121), navy(0, 0, 128);
        DBEdit* date = MainForm->DBEdit8;
        DBLookupComboBox* type = MainForm->DBLookupComboBox2;
        auto background = [](QWidget* w) { return w->palette().color(QPalette::Base); };
        auto ink = [](QWidget* w) { return w->palette().color(QPalette::Text); };
        // What is painted, well inside the frame and right of any text.
        auto painted = [](QWidget* w) {
            return w->grab().toImage().pixelColor(w->width() - 4, w->height() / 2);
        };

        QCOMPARE(background(date), paleYellow);
        QCOMPARE(ink(date), QColor(Qt::black));
        QCOMPARE(painted(date), paleYellow);
        focusInto(date);
        QCOMPARE(background(date), QColor(Qt::white));
        QCOMPARE(ink(date), navy);
        QCOMPARE(painted(date), QColor(Qt::white));

        QTest::keyClick(date, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), MainForm->DBLookupComboBox1);
        QCOMPARE(background(date), paleYellow);
        QCOMPARE(ink(date), QColor(Qt::black));
        QCOMPARE(painted(date), paleYellow);

        QCOMPARE(background(type), typeYellow);
        QTest::keyClick(MainForm->DBLookupComboBox1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), type);
        QCOMPARE(background(type), typeYellow);
        QCOMPARE(ink(type), QColor(Qt::black));
        QTest::keyClick(type, Qt::Key_Tab);
        QVERIFY(!type->hasFocus());
        QCOMPARE(background(type), typeYellow);
    }

    void theTabKeyFollowsThePageOrder()
    {
        QList<QWidget*> order{MainForm->DBEdit1, MainForm->DBEdit3, MainForm->DBEdit5, MainForm->DBEdit6,
                              MainForm->DBEdit8, MainForm->DBLookupComboBox1, MainForm->DBLookupComboBox2};
        // The report editor, where the page has it, comes last.
        if (auto* editor = MainForm->findChild<QWidget*>("Editor"))
            order << editor;

        focusInto(order.first());
        QStringList visited{order.first()->objectName()};
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QStringList expected;
        for (QWidget* w : order)
            expected << w->objectName();
        QCOMPARE(visited, expected);
    }

    void theTabKeyNeverStopsOnTheToolbar()
    {
        QWidget* last = MainForm->findChild<QWidget*>("Editor");
        if (!last)
            last = MainForm->DBLookupComboBox2;
        // Backwards from the name round to the page's last field.
        focusInto(MainForm->DBEdit1);
        QTest::keyClick(MainForm->DBEdit1, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), last->objectName());
        // No button of the toolbar is a Tab-key stop.
        for (QToolButton* b : MainForm->ToolBar1->findChildren<QToolButton*>())
            QVERIFY2(!(b->focusPolicy() & Qt::TabFocus), qPrintable(b->objectName()));
    }

    // --- a typical exam ---------------------------------------------------------

    void aNewExamIsStoredWithItsStampPatientAndValues()
    {
        // Carlos, born 99 days ago, has no exams yet.
        click(MainForm->DBNavigator1, Button::Last);
        QCOMPARE(DataModule1->TablePacNOME->asString(), QString("CARLOS NUNES"));
        QTest::keyClick(MainForm, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        QCOMPARE(MainForm->DBEdit8->text(), QString("10/03/2026"));
        QCOMPARE(DataModule1->TableEcoDataExame->value().toDate(), kToday);
        QCOMPARE(MainForm->DBEdit4->text(), QString("3"));
        QCOMPARE(MainForm->DBLookupComboBox1->text(), QString());

        // The doctor from the list: it opens on the first active doctor.
        DBLookupComboBox* doctor = MainForm->DBLookupComboBox1;
        click(doctor);
        QVERIFY(doctor->isDroppedDown());
        QCOMPARE(DataModule1->TableMedNOME->asString(), QString("DRA. HELENA"));
        QTest::keyClick(doctor->listView(), Qt::Key_Down);
        QTest::keyClick(doctor->listView(), Qt::Key_Return);
        QVERIFY(!doctor->isDroppedDown());
        QCOMPARE(doctor->text(), QString("DR. MIGUEL"));

        // The type by typing its first letters.
        DBLookupComboBox* type = MainForm->DBLookupComboBox2;
        focusInto(type);
        QTest::keyClicks(type, "fe");
        QCOMPARE(type->text(), QString("Fetal"));

        retype(MainForm->DBEdit5, "3400");
        retype(MainForm->DBEdit6, "52");
        click(MainForm->DBNavigator2, Button::Post);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);

        const std::vector<engine::Row> exams = storedExams(carlos);
        QCOMPARE(exams.size(), size_t(1));
        const engine::Row& e = exams.front();
        QCOMPARE(e.at(0).toDateTime(), kNow);
        QCOMPARE(e.at(1).toDate(), kToday);
        QCOMPARE(e.at(2).toInt(), 3);
        QCOMPARE(e.at(3).toInt(), 3400);
        QCOMPARE(e.at(4).toInt(), 52);
        QCOMPARE(e.at(5).toInt(), miguel);
        QCOMPARE(e.at(6).toString(), QString::number(fetal));
        QCOMPARE(MainForm->DBEdit5->text(), grouped("3", "400"));
        QCOMPARE(storedExams(ana).size(), size_t(3));
    }

    // --- closing ----------------------------------------------------------------

    void closingWithNothingPendingAsksNothing()
    {
        // An exam put into editing and left unchanged is nothing to save.
        click(MainForm->DBNavigator2, Button::Edit);
        QList<SeenBox> boxes;
        QVERIFY(closeMainWindow(&boxes, {}, true));
        QCOMPARE(texts(boxes), QStringList());
        QCOMPARE(storedExams(ana).front().at(3).toInt(), 5200);
    }

    void closingAndSavingStoresEveryPendingChange()
    {
        // The patient's name typed, then the exam's weight typed and left in
        // the control: both are pending when the window closes.
        focusInto(MainForm->DBEdit1);
        QTest::keyClick(MainForm->DBEdit1, Qt::Key_End);
        QTest::keyClicks(MainForm->DBEdit1, " lopes");
        click(MainForm->DBNavigator2, Button::Edit);
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Edit);
        retype(MainForm->DBEdit5, "4100");

        QList<SeenBox> boxes;
        QVERIFY(closeMainWindow(&boxes, {pressKey(Qt::Key_Return)}));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        QCOMPARE(boxes[0].title, QString("Velunor"));
        QCOMPARE(boxes[0].buttons, (QStringList{"Cancelar", "Não", "Sim"}));
        QCOMPARE(boxes[0].defaultButton, QString("Sim"));
        QCOMPARE(storedName(ana), QString("ANA MARIA COSTA LOPES"));
        QCOMPARE(storedExams(ana).front().at(3).toInt(), 4100);
    }

    void closingAndDiscardingLeavesNoTrace()
    {
        QTest::keyClick(MainForm, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        retype(MainForm->DBEdit5, "3900");

        QList<SeenBox> boxes;
        QVERIFY(closeMainWindow(&boxes, {pressButton(QString::fromUtf8("Não"))}));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        QCOMPARE(storedExams(ana).size(), size_t(3));
    }

    void cancellingTheQuestionKeepsTheWindowAndTheTypedText()
    {
        // Text typed into the name and not yet written into the field counts.
        focusInto(MainForm->DBEdit1);
        QTest::keyClick(MainForm->DBEdit1, Qt::Key_End);
        QTest::keyClicks(MainForm->DBEdit1, " lopes");

        QList<SeenBox> boxes;
        QVERIFY(!closeMainWindow(&boxes, {pressKey(Qt::Key_Escape)}));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        QVERIFY(MainForm->isVisible());
        QCOMPARE(DataModule1->TablePac->state(), DataSetState::Edit);
        QCOMPARE(MainForm->DBEdit1->text(), QString("ANA MARIA COSTA LOPES"));

        QVERIFY(!closeMainWindow(&boxes, {pressButton("Cancelar")}, true));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        QVERIFY(MainForm->isVisible());
        QCOMPARE(storedName(ana), QString("ANA MARIA COSTA"));

        // The work goes on, and is saved as usual.
        click(MainForm->DBNavigator1, Button::Post);
        QCOMPARE(storedName(ana), QString("ANA MARIA COSTA LOPES"));
    }

    void aSaveThatFailsOnClosingKeepsTheWindowOpen()
    {
        QTest::keyClick(MainForm, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        DataModule1->TableEcoCodigoExame->clear();

        QList<SeenBox> boxes;
        QVERIFY(!closeMainWindow(&boxes));
        QCOMPARE(texts(boxes), (QStringList{kCloseQuestion, "Field 'CodigoExame' must have a value."}));
        QVERIFY(MainForm->isVisible());
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Insert);
        QCOMPARE(storedExams(ana).size(), size_t(3));

        // Cancelled on the navigator, the window closes without a question.
        click(MainForm->DBNavigator2, Button::Cancel);
        QVERIFY(closeMainWindow(&boxes));
        QCOMPARE(texts(boxes), QStringList());
        QCOMPARE(storedExams(ana).size(), size_t(3));
    }

    void textTheFieldRefusesIsStillAskedAbout()
    {
        // A height out of range typed, the focus still in its control.
        click(MainForm->DBNavigator2, Button::Edit);
        retype(MainForm->DBEdit6, "40000");
        const QString refused = "40000 is not a valid value for field 'Altura'. The allowed range is -32768 to 32767.";

        // Saving fails on the text: its error, and the window stays.
        QList<SeenBox> boxes;
        QVERIFY(!closeMainWindow(&boxes));
        QCOMPARE(texts(boxes), (QStringList{kCloseQuestion, refused}));
        QVERIFY(MainForm->isVisible());

        // Discarding closes, and nothing reaches the store.
        QVERIFY(closeMainWindow(&boxes, {pressButton(QString::fromUtf8("Não"))}));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        QCOMPARE(storedExams(ana).front().at(4).toInt(), 61);
    }

    void aStoreThatRefusesTheSaveKeepsTheWindowOpen()
    {
        // An exam type being changed while another program removed its table.
        DataModule1->TableTipoEx->first();
        DataModule1->TableTipoEx->edit();
        DataModule1->TableTipoExTipo->setValue("Doppler");
        store_().execute("drop table tipoexame");

        QList<SeenBox> boxes;
        QVERIFY(!closeMainWindow(&boxes));
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text, kCloseQuestion);
        QVERIFY(!boxes[1].text.isEmpty());
        QCOMPARE(boxes[1].title, QString("Velunor"));
        QCOMPARE(DataModule1->TableTipoEx->state(), DataSetState::Edit);

        // Discarding still closes.
        QVERIFY(closeMainWindow(&boxes, {pressButton(QString::fromUtf8("Não"))}));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
    }

    void theQuestionCoversExamTypesConclusionsAndPhrasesToo_data()
    {
        QTest::addColumn<QString>("record");
        QTest::newRow("exam type") << "type";
        QTest::newRow("conclusion") << "conclusion";
        QTest::newRow("phrase") << "phrase";
    }

    void theQuestionCoversExamTypesConclusionsAndPhrasesToo()
    {
        QFETCH(QString, record);
        if (record == "type") {
            DataModule1->TableTipoEx->first();
            DataModule1->TableTipoEx->edit();
            DataModule1->TableTipoExTipo->setValue("Ecocardiograma pediátrico");
        } else if (record == "conclusion") {
            QVERIFY(DataModule1->TableConc->active());
            DataModule1->TableConc->insert();
            DataModule1->TableConcNome->setValue("Normal");
        } else {
            DataModule1->TableFrase->insert();
            DataModule1->TableFraseFrase->setValue("Sem alterações.");
        }
        QList<SeenBox> boxes;
        QVERIFY(closeMainWindow(&boxes));
        QCOMPARE(texts(boxes), QStringList{kCloseQuestion});
        if (record == "type")
            QCOMPARE(store_().query("select tipo from tipoexame where id = :i", {ecocardiograma}).rows.at(0).at(0),
                     QVariant(QString::fromUtf8("Ecocardiograma pediátrico")));
        else
            QCOMPARE(store_().query(record == "phrase" ? "select frase from frase" : "select nome from conclusao").rows.size(),
                     size_t(1));
    }
};

VELUNOR_TEST(TestMainWindow)
#include "tst_mainwindow.moc"
