// The window "Evolução" on a patient with 50 exams, each with some thirty
// measurements:
//   - opening it from the main window: the patient's exams read, the course
//     computed, the figure laid out and the window painted; goal under 100 ms;
//   - choosing another measurement in the open window;
//   - composing the printed A4 page (the figure drawn at 200 dpi).
//
//   bench_course   (on a store of its own, in a temporary directory, with
//                   2 000 other patients of 10 exams each)

#include "Measure.h"
#include "Program.h"
#include "app/Main.h"
#include "course/CoursePage.h"
#include "course/FormEvolucao.h"
#include "data/DM.h"
#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"

#include <QListWidget>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <time.h>

namespace {

// The main thread's CPU time in ms: on a busy machine the wall time also
// holds the time the thread waited for a processor.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Timed {
    bench::Figures wall;
    double cpu; // median, ms
};

Timed timed(int repetitions, const std::function<void()>& work)
{
    std::vector<double> cpu;
    const bench::Figures wall = bench::measure(repetitions, [&] {
        const double start = cpuMs();
        work();
        cpu.push_back(cpuMs() - start);
    });
    std::sort(cpu.begin(), cpu.end());
    return {wall, cpu[cpu.size() / 2]};
}

void report(const char* what, const Timed& t, double goal = 0)
{
    std::printf("  %-34s wall median %6.1f ms, best %6.1f ms; CPU median %6.1f ms", what, t.wall.median, t.wall.min,
                t.cpu);
    if (goal > 0)
        std::printf("   (goal: under %g ms: %s)", goal, bench::verdict(t.wall.median < goal));
    std::printf("\n");
}

// The patient of 50 exams is number 1; the others fill the indexes.
void fillStore(engine::Database& db)
{
    for (const auto& def : schema::allTables())
        db.createTable(def);
    std::vector<const clinical::Site*> inMedida;
    for (const clinical::Site& s : clinical::sites())
        if (!s.examColumn && s.quantity == clinical::Quantity::Length)
            inMedida.push_back(&s);
    db.driver().begin();
    for (int patient = 1; patient <= 2001; ++patient) {
        const QDateTime birth = engine::values::wallClock(QDate(2010, 1, 1).addDays(patient));
        db.execute("insert into bddid (nome, dnasc) values (:n, :d)", {QString("PACIENTE %1").arg(patient), birth});
        const int exams = patient == 1 ? 50 : 10;
        for (int e = 0; e < exams; ++e) {
            const QDate date = QDate(2010, 3, 1).addDays(patient + e * 90);
            const QDateTime key = engine::values::wallClock(date, QTime(9, 0));
            const double cm = 55 + e * 2.2, grams = 4500 + e * 800;
            db.execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Peso, Altura, "
                       "Ao, Ved, Ves, Siv, Pp, Ae, Vd) values (:p, :k, :d, :w, :h, :ao, :ved, :ves, :siv, :pp, :ae, :vd)",
                       {patient, key, date, grams, cm, 12 + e * 0.3, 22 + e * 0.5, 14 + e * 0.3, 4 + e * 0.05,
                        4 + e * 0.05, 14 + e * 0.3, 8 + e * 0.2});
            if (patient != 1)
                continue;
            for (const clinical::Site* s : inMedida)
                db.execute("insert into medida (codigopaciente, codigoexame, codigo, valor) values (:p, :k, :c, :v)",
                           {patient, key, QString(s->code), 5 + std::fmod(e * 0.37 + s->code[0], 15.0)});
        }
    }
    db.driver().commit();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config, storeDir;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    engine::AliasRegistry registry;
    registry.set({"Dorvica2", "sqlite", {{"path", storeDir.path()}}});
    registry.save();
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);
    fillStore(*engine::Database::connect("Dorvica2", "FILL", true));

    installFormEvolucao();
    QTimer boxes;
    bench::closeBoxes(boxes, "bench_course");
    Startup startup(app);
    if (!bench::buildProgram(startup, argv[0]))
        return 1;
    MainForm->show();
    QCoreApplication::processEvents();
    DataModule1->TablePac->locate("NF", 1, {});

    auto window = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<FormEvolucao*>(w))
                return form;
        return static_cast<FormEvolucao*>(nullptr);
    };
    // From the main window's entry to the window painted.
    const Timed opening = timed(15, [&] {
        if (FormEvolucao* open = window())
            delete open;
        MainForm->Evolucao1Click("ao");
        QCoreApplication::processEvents();
        window()->repaint();
    });
    FormEvolucao* form = window();
    int row = 0;
    const Timed choosing = timed(15, [&] {
        form->ListaMedicoes->setCurrentRow(++row % form->ListaMedicoes->count());
        form->repaint();
    });
    const Timed composing = timed(5, [&] { coursepage::compose(form->history(), form->shownCourse()); });

    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average %.1f on %d processors; %zu exams, %d measurements in the list\n", load[0],
                QThread::idealThreadCount(), form->history().exams.size(), form->ListaMedicoes->count());
    report("opening Evolução on 50 exams", opening, 100);
    report("choosing another measurement", choosing);
    report("composing the printed page", composing);
    Application::instance()->destroyComponents();
    return 0;
}
