#include "app/ClosingBackup.h"
#include "app/Startup.h"
#include "course/FormEvolucao.h"
#include "platform/ui/Application.h"

#include <QTimer>

// The entry point: the application object (step 1), then the start-up
// sequence. A start-up that fails shows the fatal-error report and ends the
// process with exit code 1; a normal end gives 0, and starts the day's
// automatic copy of an SQLite store, which goes on after the program ends.
int main(int argc, char** argv)
{
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);
    installFormEvolucao();
    Startup startup(app);
    try {
        startup.build();
    } catch (...) {
        Startup::showFatal(std::current_exception(), QString::fromLocal8Bit(argv[0]));
        return 1;
    }
    ClosingBackup backup;
    QTimer::singleShot(0, &app, [&backup] { backup.reportAtStart(); });
    const int code = startup.run();
    backup.start();
    return code;
}
