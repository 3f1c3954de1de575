#include "app/Main.h"
#include "app/Startup.h"
#include "common/AdminTool.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "course/CourseChart.h"
#include "course/FormEvolucao.h"
#include "data/Clock.h"
#include "data/DM.h"
#include "data/Field.h"
#include "data/PatientCourse.h"
#include "editing/MeasurementsPage.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"
#include "platform/reporting/PreviewWindow.h"
#include "platform/ui/Application.h"

#include <QChart>
#include <QGraphicsView>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using engine::values::wallClock;

namespace {

// Ana, born on 15 January 2020, seen at 1, 2½ and 4 years: her aortic
// annulus (in medida) and her aortic root (in the exam's own column).
struct Visit {
    QDate date;
    QVariant grams, cm;
    double annulus, root;
};
const Visit kAna[] = {
    {QDate(2021, 1, 15), 10000, 75, 10.0, 15.0},
    {QDate(2022, 7, 15), 12500, 88, 11.5, 17.0},
    {QDate(2024, 1, 15), 16000, 103, 13.8, 19.5},
};
const QDate kAnaBirth(2020, 1, 15);

// Worked out by hand (python) from Haycock's BSA and the PHN 2017 annulus row:
// BSA = 0.024265 * H^0.3964 * W^0.5378, z = (X cm / sqrt(BSA) - 1.48) / 0.14.
const QString kAnaCsv = "data;idade_meses;valor;unidade;sc;referencia;z\n"
                        "2021-01-15;12.0;10;mm;0.46;phn2017;-0.08\n"
                        "2022-07-15;30.0;11.5;mm;0.56;phn2017;0.44\n"
                        "2024-01-15;48.0;13.8;mm;0.68;phn2017;1.41\n";

} // namespace

// The window "Evolução" and what it shows: a patient's course computed from
// the store, the odd cases, the admin tool's CSV and picture, the printed
// page, and a click on a point making its exam the current one.
class TestCourse : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<engine::Database> seeding;

    int addPatient(const QString& name, const QDate& birth)
    {
        seeding->execute("insert into bddid (nome, dnasc) values (:n, :d)",
                         {name, birth.isValid() ? QVariant(wallClock(birth)) : QVariant()});
        return seeding->query("select nf from bddid where nome = :n", {name}).rows.at(0).at(0).toInt();
    }

    QDateTime addExam(int patient, const Visit& v)
    {
        const QDateTime key = wallClock(v.date, QTime(10, 0));
        seeding->execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Peso, Altura, Ao) "
                         "values (:p, :k, :d, :w, :h, :ao)",
                         {double(patient), key, v.date, v.grams, v.cm, v.root});
        seeding->execute("insert into medida (codigopaciente, codigoexame, codigo, valor) "
                         "values (:p, :k, 'anel_ao', :v)",
                         {double(patient), key, v.annulus});
        return key;
    }

    int addAna()
    {
        const int ana = addPatient("ANA COSTA", kAnaBirth);
        for (const Visit& v : kAna)
            addExam(ana, v);
        return ana;
    }

    FormEvolucao* window() const
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<FormEvolucao*>(w); form && form->isVisible())
                return form;
        return nullptr;
    }

    void startProgram(int patient)
    {
        installFormEvolucao();
        Startup startup(*Application::instance());
        answerBoxes([&] { startup.build(); });
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        QVERIFY(DataModule1->TablePac->locate("NF", patient, {}));
    }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        seeding = store->connect("SEED");
    }

    void cleanup()
    {
        clock_::set({});
        Application::instance()->destroyComponents();
        seeding.reset();
        store.reset();
    }

    void aKnownCourseIsReadFromTheStore()
    {
        const course::PatientHistory ana = course::readHistory(*seeding, addAna());
        QCOMPARE(ana.name, QString("ANA COSTA"));
        QCOMPARE(ana.birth, kAnaBirth);
        std::vector<QString> sites;
        for (const clinical::Site* s : course::measuredSites(ana))
            sites.push_back(s->code);
        QCOMPARE(sites, (std::vector<QString>{"ao", "anel_ao"}));

        const course::Course annulus = course::courseOf(ana, *clinical::findSite("anel_ao"));
        QVERIFY(annulus.byAge);
        QCOMPARE(int(annulus.points.size()), 3);
        const struct {
            double months, bsa, z, predicted, upper;
        } expected[] = {
            {12.0246, 0.463505, -0.079757, 10.076020, 11.982294},
            {29.9630, 0.556790, 0.436969, 11.043518, 13.132832},
            {48.0000, 0.676776, 1.410554, 12.175423, 14.478882},
        };
        for (int i = 0; i < 3; ++i) {
            const course::CoursePoint& p = annulus.points[size_t(i)];
            QCOMPARE(p.date, kAna[i].date);
            QCOMPARE(p.value, kAna[i].annulus);
            QVERIFY(std::abs(*p.ageMonths - expected[i].months) < 1e-4);
            QVERIFY(std::abs(*p.bsa - expected[i].bsa) < 1e-6);
            QVERIFY2(std::abs(*p.z - expected[i].z) < 1e-5, qPrintable(QString::number(*p.z)));
            QVERIFY(std::abs(p.normal->predicted() - expected[i].predicted) < 1e-5);
            QVERIFY(std::abs(p.normal->valueAt(2) - expected[i].upper) < 1e-5);
        }
        QCOMPARE(course::csv(annulus), kAnaCsv);
        // The aortic root from the exam's own column, judged by Detroit 2008.
        const course::Course root = course::courseOf(ana, *clinical::findSite("ao"));
        QCOMPARE(root.points.back().value, 19.5);
        QCOMPARE(root.points.back().normal->reference, clinical::Reference::Detroit2008);
    }

    void theOddCasesShowWhatThereIs()
    {
        const struct {
            const char* name;
            QDate birth;
            std::vector<Visit> visits;
            const char* site;
            int points, zScores;
            bool byAge;
            const char* why; // the table's reason for the first point without a z-score
        } cases[] = {
            {"NO EXAM WITH IT", kAnaBirth, {kAna[0]}, "tp", 0, 0, true, ""},
            {"ONE EXAM", kAnaBirth, {kAna[1]}, "anel_ao", 1, 1, true, ""},
            {"NO WEIGHT", kAnaBirth, {kAna[0], {QDate(2022, 2, 1), QVariant(), 85, 11, 16}}, "anel_ao", 2, 1, true,
             "Sem peso e altura"},
            {"NO BIRTH DATE", QDate(), {kAna[0], kAna[2]}, "anel_ao", 2, 2, false, ""},
        };
        for (const auto& c : cases) {
            const int patient = addPatient(c.name, c.birth);
            for (const Visit& v : c.visits)
                addExam(patient, v);
            const course::Course shown =
                course::courseOf(course::readHistory(*seeding, patient), *clinical::findSite(c.site));
            QVERIFY2(int(shown.points.size()) == c.points, c.name);
            QVERIFY2(shown.byAge == c.byAge, c.name);
            int zScores = 0;
            QString why;
            for (const course::CoursePoint& p : shown.points) {
                zScores += p.z.has_value();
                QVERIFY2(p.ageMonths.has_value() == c.byAge, c.name);
                if (!p.z && why.isEmpty())
                    why = p.why;
            }
            QVERIFY2(zScores == c.zScores, c.name);
            QVERIFY2(why.left(int(qstrlen(c.why))) == QString::fromUtf8(c.why),
                     qPrintable(QString(c.name) + ": " + why));
            // The figure draws every case, on the exams' dates when the birth date is missing.
            QCOMPARE(CourseChart::picture(shown).size(), QSize(1600, 1000));
            CourseChart chart;
            chart.show(shown);
            const QString xTitle = chart.valuesChart()->axes(Qt::Horizontal).at(0)->titleText();
            QVERIFY2(xTitle.startsWith(c.byAge ? "Idade" : "Data do exame (falta a data de nascimento"),
                     qPrintable(xTitle));
        }
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, course::readHistory(*seeding, 999));
    }

    void theAdminToolWritesTheCsvAndThePicture()
    {
        const QString ana = QString::number(addAna());
        QTemporaryDir dir;
        const QString png = dir.filePath("ana.png");
        const AdminRun run = runAdmin({"trend", "Dorvica2", ana, "anel_ao", "--csv", "--png", png});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(run.out, kAnaCsv);

        const QImage picture(png);
        QCOMPARE(picture.size(), QSize(1600, 1000));
        // The measured values' line and points inside the upper plot.
        int drawn = 0;
        for (int y = 120; y < 500; ++y)
            for (int x = 130; x < 1550; ++x) {
                const QColor c = picture.pixelColor(x, y);
                drawn += std::abs(c.red() - CourseChart::kValueColour.red()) < 20
                    && std::abs(c.green() - CourseChart::kValueColour.green()) < 20
                    && std::abs(c.blue() - CourseChart::kValueColour.blue()) < 20;
            }
        QVERIFY2(drawn > 500, qPrintable(QString::number(drawn)));

        const AdminRun wrong = runAdmin({"trend", "Dorvica2", ana, "aorta"});
        QCOMPARE(wrong.code, 2);
        QVERIFY(wrong.err.contains(QString::fromUtf8("não existe")));
        const AdminRun text = runAdmin({"trend", "Dorvica2", ana, "anel_ao"});
        QVERIFY2(text.out.contains(QString::fromUtf8("2024-01-15  4 anos")) && text.out.contains("z +1,41 (PHN 2017)"),
                 qPrintable(text.out));
    }

    // From either entry; a click on a point settles the pending edit, as
    // every move does, and makes the point's exam current.
    void aClickOnAPointMakesItsExamCurrent()
    {
        const int ana = addAna();
        clock_::set([] { return wallClock(kAna[2].date, QTime(11, 0)); }); // the last exam may still change
        startProgram(ana);
        DataModule1->TableEco->last();
        DataModule1->TableEco->edit();
        DataModule1->TableEcoPeso->setValue(16500);

        MainForm->PageControl2->setCurrentWidget(MainForm->TabSheetMedicoes);
        MeasurementsPage* page = MainForm->TabSheetMedicoes;
        const auto& rows = page->judged();
        const auto annulus = std::find_if(rows.begin(), rows.end(), [](const clinical::Judged& j) {
            return j.site->code == QLatin1String("anel_ao");
        });
        page->GridMedicoes->setCurrentIndex(page->GridMedicoes->model()->index(int(annulus - rows.begin()), 1));
        QTest::mouseClick(page->BotaoEvolucao, Qt::LeftButton);
        FormEvolucao* form = window();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(form->shownCourse().site->code, "anel_ao");
        QCOMPARE(form->ListaMedicoes->count(), 2);
        QCOMPARE(form->GridEvolucao->rowCount(), 3);
        QCOMPARE(form->GridEvolucao->item(2, 4)->text(), QString("+1,41"));

        QGraphicsView* view = form->GraficoEvolucao;
        const QPoint first = view->mapFromScene(form->chart()->valuePosition(0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(DataModule1->TableEcoCodigoExame->value().toDateTime(), wallClock(kAna[0].date, QTime(10, 0)));
        QCOMPARE(DataModule1->TableEco->state(), DataSetState::Browse);
        QCOMPARE(seeding->query("select peso from eco where dataexame = :d", {kAna[2].date}).rows.at(0).at(0).toInt(),
                 16500);
        QTRY_COMPARE(form->GridEvolucao->selectionModel()->selectedRows().value(0).row(), 0);

        // The menu entry opens the same window, on the measurement it shows.
        MainForm->Evolucao1->trigger();
        QCOMPARE(window(), form);
        QCOMPARE(form->shownCourse().site->code, "anel_ao");
    }

    void theFigurePrintsOnOneA4Page()
    {
        startProgram(addAna());
        MainForm->Evolucao1->trigger();
        FormEvolucao* form = window();
        QVERIFY(form);
        form->showSite("anel_ao");
        QTemporaryDir dir;
        QVERIFY(form->saveImage(dir.filePath("ana.pdf")));
        QVERIFY(form->saveImage(dir.filePath("ana.png")));
        QCOMPARE(QImage(dir.filePath("ana.png")).size(), QSize(1600, 1000));

        QProcess text;
        text.start("pdftotext", {"-layout", dir.filePath("ana.pdf"), "-"});
        QVERIFY(text.waitForFinished());
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& expected : {QString::fromUtf8("Evolução: Anel aórtico (mm)"), QString("Nome: ANA COSTA"),
                                        "Data Nasc.: " + kAnaBirth.toString(shortDateFormat())})
            QVERIFY2(words.contains(expected), qPrintable(words));
        QProcess info;
        info.start("pdfinfo", {dir.filePath("ana.pdf")});
        QVERIFY(info.waitForFinished());
        const QString pdf = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(pdf.contains(QRegularExpression("Pages:\\s+1\\n")) && pdf.contains("(A4)"),
                 qPrintable(pdf));

        form->preview();
        reporting::PreviewWindow* preview = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<reporting::PreviewWindow*>(w))
                preview = p;
        QVERIFY(preview);
        QCOMPARE(preview->pageCount(), 1);
        preview->close();
    }
};

VELUNOR_TEST(TestCourse)
#include "tst_course.moc"
