// The program coming up on the benchmark store (100 000 patients, 1 000 000
// exams) and working in it: the time from the start of the process to the
// main window shown, the memory it then holds, and moving the current patient
// (the exams following) with the main window shown.
// Goals: start-up under 1 s, under 150 MB, a move under 2 ms.
//
//   bench_startup ALIAS        (scripts/bench creates and registers the store)
//
// The program connects to the alias "Dorvica2" only: the store of ALIAS is
// registered as "Dorvica2" in a registry of the benchmark's own, under a
// temporary XDG_CONFIG_HOME.

#include "app/Main.h"
#include "app/Startup.h"
#include "Program.h"
#include "data/DM.h"
#include "platform/ui/Application.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

QElapsedTimer sinceMain;

// CPU seconds used and wall seconds since the process was started, as the
// kernel counts them (to a clock tick): this includes loading the program
// and its libraries, before main().
struct ProcessTimes {
    double cpu = -1, wall = -1;
};

ProcessTimes processTimes()
{
    ProcessTimes t;
    QFile stat("/proc/self/stat"), uptime("/proc/uptime");
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return t;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double tick = double(sysconf(_SC_CLK_TCK));
    if (fields.size() < 20)
        return t;
    t.cpu = (fields[11].toDouble() + fields[12].toDouble()) / tick; // utime, stime
    const double started = fields[19].toDouble() / tick;            // starttime, since boot
    t.wall = uptime.readAll().split(' ').value(0).toDouble() - started;
    return t;
}

// What /proc/self/status says of the memory, in megabytes: VmRSS, VmHWM, and
// of the resident memory the private part (RssAnon) and the part that maps
// files (RssFile: the program's libraries, and the store's pages that SQLite
// reads through its memory map; the system can drop these at any time).
struct Memory {
    double rss = -1, hwm = -1, anon = -1, file = -1;
};

Memory memory()
{
    QFile status("/proc/self/status");
    Memory m;
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        const double mb = parts[1].toDouble() / 1024;
        if (parts[0] == "VmRSS:")
            m.rss = mb;
        else if (parts[0] == "VmHWM:")
            m.hwm = mb;
        else if (parts[0] == "RssAnon:")
            m.anon = mb;
        else if (parts[0] == "RssFile:")
            m.file = mb;
    }
    return m;
}

struct Moves {
    double average = 0, median = 0, max = 0;
};

// Each step moves the current patient and lets the window update and paint.
Moves timeMoves(int count, const std::function<void()>& step)
{
    std::vector<double> ms;
    ms.reserve(count);
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        step();
        QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    Moves m;
    for (double v : ms)
        m.average += v;
    m.average /= count;
    std::sort(ms.begin(), ms.end());
    m.median = ms[ms.size() / 2];
    m.max = ms.back();
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    sinceMain.start();
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup ALIAS\n");
        return 2;
    }
    QTemporaryDir config;
    if (!bench::pointDorvica2At(QString::fromLocal8Bit(argv[1]), config, "bench_startup"))
        return 1;
    const double preparedMs = sinceMain.nsecsElapsed() / 1e6;

    // --- as main() of the program does ----------------------------------------
    QElapsedTimer sinceApplication;
    sinceApplication.start();
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);

    QTimer boxes;
    bench::closeBoxes(boxes, "bench_startup");

    Startup startup(app);
    // Where the time and the memory go, step by step (the steps of Startup).
    struct Step {
        int step;
        double ms, rss;
    };
    std::vector<Step> steps{{1, sinceMain.nsecsElapsed() / 1e6, memory().rss}};
    QObject::connect(&startup, &Startup::stepReached, [&](int step, int) {
        steps.push_back({step, sinceMain.nsecsElapsed() / 1e6, memory().rss});
    });
    if (!bench::buildProgram(startup, argv[0]))
        return 1;
    const double builtMs = sinceMain.nsecsElapsed() / 1e6;

    // Shown: exposed and painted once.
    bool painted = false;
    struct PaintWatch : QObject {
        bool* painted;
        explicit PaintWatch(bool* p) : painted(p) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                *painted = true;
            return false;
        }
    } watch(&painted);
    MainForm->installEventFilter(&watch);
    MainForm->show();
    QElapsedTimer waiting;
    waiting.start();
    while (!(painted && MainForm->windowHandle() && MainForm->windowHandle()->isExposed())
           && waiting.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    MainForm->removeEventFilter(&watch);
    const double shownMs = sinceMain.nsecsElapsed() / 1e6;
    const double fromApplicationMs = sinceApplication.nsecsElapsed() / 1e6;
    const ProcessTimes process = processTimes();
    const Memory shown = memory();
    if (!painted) {
        std::fprintf(stderr, "bench_startup: the main window was not shown within 30 s\n");
        return 1;
    }

    Table* patients = DataModule1->TablePac;
    std::printf("store: alias %s, %d patients; current patient's exams: %d\n", argv[1], patients->recordCount(),
                DataModule1->TableEco->recordCount());
    std::printf("%-52s %10s\n", "start-up", "");
    std::printf("  %-50s %7.0f ms\n", "main() to data module and windows built", builtMs);
    std::printf("  %-50s %7.0f ms   (goal: under 1000 ms: %s)\n", "main() to main window shown", shownMs,
                bench::verdict(shownMs < 1000));
    std::printf("  %-50s %7.0f ms   (of which the benchmark's alias set-up %.0f ms)\n",
                "application object to main window shown", fromApplicationMs, preparedMs);
    if (process.wall >= 0)
        std::printf("  %-50s %7.0f ms wall, %.0f ms CPU (kernel clock ticks)\n", "process start to main window shown",
                    process.wall * 1000, process.cpu * 1000);
    std::printf("%-52s\n", "start-up steps: time since main(), VmRSS (growth)");
    const char* what[] = {"", "application object", "splash shown", "", "", "", "windows before the data module",
                          "", "data module: connection, tables opened", "", "search window", "", "phrase picker",
                          "", "", "splash gone"};
    double before = steps.front().rss;
    for (const Step& s : steps) {
        if (s.step >= int(std::size(what)) || !*what[s.step])
            continue;
        const double grown = s.rss - before;
        before = s.rss;
        std::printf("  %2d %-47s %7.0f ms %7.1f MB (%+.1f MB)\n", s.step, what[s.step], s.ms, s.rss, grown);
    }
    std::printf("%-52s\n", "memory with the main window shown");
    std::printf("  %-50s %7.1f MB   (goal: under 150 MB: %s)\n", "VmRSS", shown.rss, bench::verdict(shown.rss < 150));
    std::printf("  %-50s %7.1f MB\n", "VmHWM (peak)", shown.hwm);
    std::printf("  %-50s %7.1f MB private (RssAnon), %.1f MB mapped files (RssFile)\n", "of VmRSS", shown.anon,
                shown.file);

    // --- moving the current patient --------------------------------------------
    const int count = std::min(1000, patients->recordCount() - 1);
    if (count < 1) {
        std::printf("too few patients to move\n");
        app.destroyComponents();
        return 0;
    }
    patients->first();
    QCoreApplication::processEvents();
    int exams = 0;
    const Moves forward = timeMoves(count, [&] {
        patients->next();
        exams += DataModule1->TableEco->recordCount();
    });
    const Moves backward = timeMoves(count, [&] {
        patients->prior();
        exams += DataModule1->TableEco->recordCount();
    });
    std::printf("%-52s %8s %8s %8s\n", "moving the current patient (exams following)", "average", "median", "max");
    std::printf("  %-50s %5.3f ms %5.3f ms %5.2f ms   (goal: under 2 ms: %s)\n",
                qPrintable(QString("next, %1 moves").arg(count)), forward.average, forward.median, forward.max,
                bench::verdict(forward.average < 2));
    std::printf("  %-50s %5.3f ms %5.3f ms %5.2f ms   (goal: under 2 ms: %s)\n",
                qPrintable(QString("prior, %1 moves").arg(count)), backward.average, backward.median, backward.max,
                bench::verdict(backward.average < 2));
    std::printf("  (%d exams shown on the way)\n", exams);
    const Memory after = memory();
    std::printf("  %-50s %7.1f MB VmRSS (%.1f MB private, %.1f MB mapped files), %.1f MB VmHWM\n",
                "memory after the moves", after.rss, after.anon, after.file, after.hwm);

    app.destroyComponents();
    return 0;
}
