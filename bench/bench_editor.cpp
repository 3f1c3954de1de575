// Moving between two exams whose reports are about 20 pages of formatted
// text, in the real main window: each move loads the other report into the
// editor and paints it. Goal: under 20 ms a move.
//
// It builds its own store in a temporary directory (the alias argument of
// scripts/bench is not used).

#include "Reports.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "data/DM.h"
#include "data/Schema.h"
#include "data/controls/DBRichEdit.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Database.h"
#include "platform/engine/Values.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void createStore(const QString& dir)
{
    engine::Alias alias{"Dorvica2", "sqlite", {{"path", dir}}};
    engine::AliasRegistry registry;
    registry.set(alias);
    registry.save();
    auto db = engine::Database::connect(alias, "SETUP", true);
    for (const auto& def : schema::storedTables())
        db->createTable(def);
    db->execute("insert into bddid (nome) values ('ANA SILVA')");
    for (int i = 0; i < 2; ++i) {
        // Two different reports: the editor keeps a report that is already shown.
        QTextDocument doc;
        QTextCursor(&doc).insertText(QString("Exame %1\n").arg(i + 1));
        bench::buildReport(doc);
        const QString report = richtext::save(&doc);
        db->execute("insert into eco (codigopaciente, codigoexame, dataexame, eco1) values (1, :c, :d, :r)",
                    {engine::values::wallClock(QDate(2026, 12, 1 + i), QTime(10, 0)), QDate(2026, 12, 1 + i),
                     report});
        std::printf("report %d: %lld characters of RTF, %d paragraphs\n", i + 1, qlonglong(report.size()),
                    doc.blockCount());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config, data;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);
    createStore(data.path());

    Startup startup(app);
    startup.build();
    MainForm->show();
    for (int i = 0; i < 200 && !(MainForm->windowHandle() && MainForm->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    std::vector<double> ms;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer t;
        t.start();
        if (i % 2 == 0)
            DataModule1->TableEco->next();
        else
            DataModule1->TableEco->prior();
        MainForm->Editor->repaint(); // lays the report out and paints it
        QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s %8s %8s %8s\n", "operation", "median", "min", "max");
    std::printf("%-44s %6.2f ms %6.2f ms %6.2f ms   (goal: under 20 ms)\n",
                "move to the other exam (load, lay out, paint)", ms[ms.size() / 2], ms.front(), ms.back());
    app.destroyComponents();
    return 0;
}
