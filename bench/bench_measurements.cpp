// The measurements page:
//   - recomputing every z-score of an exam, as each key typed into a value
//     does; goal under 1 ms (the computation alone, and with the page's
//     grid updated and repainted);
//   - opening the page on an exam of the benchmark store (100 000 patients,
//     1 000 000 exams): its measurements read, judged and painted; and moving
//     to another exam with the page shown; goal under 20 ms each.
//
//   bench_measurements ALIAS   (scripts/bench creates and registers the store)

#include "Program.h"
#include "app/Main.h"
#include "clinical/Exam.h"
#include "data/DM.h"
#include "editing/MeasurementsPage.h"
#include "platform/engine/Database.h"
#include "platform/ui/Application.h"

#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <time.h>
#include <vector>

namespace {

// The main thread's CPU time in ms: on a busy machine the wall time also
// holds the time the thread waited for a processor.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Times {
    std::vector<double> wall, cpu;
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    // Times `work` alone, after `setup`.
    void add(const std::function<void()>& work, const std::function<void()>& setup = {})
    {
        if (setup)
            setup();
        const double c = cpuMs();
        QElapsedTimer t;
        t.start();
        work();
        wall.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - c);
    }
    void report(const char* what, double goal) const
    {
        std::printf("  %-52s %7.3f ms %7.3f ms   (goal: under %g ms: %s)\n", what, median(wall), median(cpu), goal,
                    bench::verdict(median(wall) < goal));
    }
};

// `step`, then the events it posted, the page's repaint among them.
std::function<void()> shown(std::function<void()> step)
{
    return [step] {
        step();
        QCoreApplication::processEvents();
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_measurements ALIAS\n");
        return 2;
    }
    QTemporaryDir config;
    if (!bench::pointDorvica2At(QString::fromLocal8Bit(argv[1]), config, "bench_measurements"))
        return 1;
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);

    // --- the computation alone ---------------------------------------------------
    clinical::Values values;
    for (const clinical::Site& s : clinical::sites())
        if (s.quantity == clinical::Quantity::Length)
            values.insert(s.code, 15.0);
    const clinical::Body body = clinical::examBody(24000.0, 120.0, 96, values);
    Times alone;
    for (int run = 0; run < 2000; ++run)
        alone.add([&] { clinical::judgeExam(values, body, {}); });
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average %.1f on %d processors: the wall time includes waiting for one\n", load[0],
                QThread::idealThreadCount());
    std::printf("%-54s %10s %10s\n", "", "wall", "CPU");
    std::printf("%-54s %10s %10s\n", "every z-score of an exam, computed", "median", "median");
    alone.report(qPrintable(QString("%1 values, %2 sites").arg(values.size()).arg(clinical::sites().size() - 1)), 1);

    // --- the page on the benchmark store ----------------------------------------
    QTimer boxes;
    bench::closeBoxes(boxes, "bench_measurements");
    Startup startup(app);
    if (!bench::buildProgram(startup, argv[0]))
        return 1;
    MainForm->show();
    QCoreApplication::processEvents();
    int patient = 0;
    {
        auto db = engine::Database::connect("Dorvica2", "BENCH");
        patient = db->query("select max(codigopaciente) from medida").rows.at(0).at(0).toInt();
        std::printf("store: %s patients, %s exams, %s values in medida\n",
                    qPrintable(db->query("select count(*) from bddid").rows[0][0].toString()),
                    qPrintable(db->query("select count(*) from eco").rows[0][0].toString()),
                    qPrintable(db->query("select count(*) from medida").rows[0][0].toString()));
    }
    if (!DataModule1->TablePac->locate("NF", patient, {})) {
        std::fprintf(stderr, "bench_measurements: no measured patient in the store\n");
        return 1;
    }
    MeasurementsPage* page = MainForm->TabSheetMedicoes;
    QTabWidget* tabs = MainForm->PageControl2;
    int move = 0;
    auto otherExam = [&] { move++ % 2 ? DataModule1->TableEco->prior() : DataModule1->TableEco->next(); };
    // From the report to the page, on another exam each time, so that its
    // measurements are read from the store.
    Times opening, moving, movingReport, keys;
    for (int run = 0; run < 40; ++run)
        opening.add(shown([&] { tabs->setCurrentWidget(page); }), [&] {
            tabs->setCurrentWidget(MainForm->TabSheet7);
            otherExam();
            QCoreApplication::processEvents();
        });
    for (int run = 0; run < 40; ++run)
        moving.add(shown(otherExam));
    // The same moves with the report shown instead: what is not the page's.
    tabs->setCurrentWidget(MainForm->TabSheet7);
    for (int run = 0; run < 40; ++run)
        movingReport.add(shown(otherExam));
    tabs->setCurrentWidget(page);

    // Keys typed into a value of a new exam (never saved): each one judges
    // every site again and repaints what changed.
    DataModule1->TableEco->insert();
    QCoreApplication::processEvents();
    QTableView* grid = page->GridMedicoes;
    const QModelIndex cell = grid->model()->index(11, 1); // the aortic annulus
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    QWidget* editor = grid->indexWidget(cell);
    for (int run = 0; run < 200 && editor; ++run) {
        const bool erase = run % 3 == 2;
        QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_1, Qt::NoModifier, erase ? "" : "1");
        keys.add(shown([&] { QCoreApplication::sendEvent(editor, &press); }));
    }
    DataModule1->TableEco->cancel();

    std::printf("%-54s %10s %10s\n", qPrintable(QString("the page (patient %1)").arg(patient)), "median", "median");
    opening.report("opening it on an exam (read, judged, painted)", 20);
    moving.report("moving to another exam with it shown", 20);
    std::printf("  %-52s %7.3f ms %7.3f ms\n", "  the same with the report shown instead", Times::median(movingReport.wall),
                Times::median(movingReport.cpu));
    keys.report(qPrintable(QString("a key typed into a value (%1 keys)").arg(keys.wall.size())), 1);
    app.destroyComponents();
    return 0;
}
