#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "data/DM.h"
#include "insertion/frase.h"
#include "platform/engine/EngineError.h"
#include "platform/ui/Application.h"
#include "search/Pesqt2.h"

#include <QTest>
#include <QTimer>

// The start-up sequence in this process, on a real store.
class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
    }

    void cleanup()
    {
        Application::instance()->destroyComponents();
        store.reset();
    }

    void buildsEverythingInOrderAndRunsUntilTheMainWindowCloses()
    {
        Startup startup(*Application::instance());
        QMap<int, int> bar;
        connect(&startup, &Startup::stepReached, [&](int step, int position) { bar[step] = position; });
        QStringList built;
        QObject listening;
        connect(Application::instance(), &Application::componentRegistered, &listening,
                [&](QObject* o) { built << o->objectName(); });
        QCOMPARE(answerBoxes([&] { startup.build(); }), QStringList());

        // ten single steps take the bar from 0 to its maximum
        QCOMPARE(bar.value(3), 2);
        QCOMPARE(bar.value(7), 4);
        QCOMPARE(bar.value(9), 6);
        QCOMPARE(bar.value(11), 8);
        QCOMPARE(bar.value(13), 10);
        QCOMPARE(bar.value(14), 10);
        QCOMPARE(Application::instance()->title(), QString("Velunor"));
        QCOMPARE(built, (QStringList{"MainForm", "FormPesqAV", "FormConc", "Relatorio", "DataModule1", "FormT2Pesq",
                                     "Form1"}));
        QCOMPARE(Application::instance()->mainWindow(), MainForm);

        // Only the main window shows; closing it ends the loop although another
        // window of the program is open.
        QStringList visible;
        QStringList destroyed;
        for (const QString& name : built)
            connect(Application::instance()->component(name), &QObject::destroyed,
                    [&destroyed, name] { destroyed << name; });
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    visible << w->objectName();
            FormT2Pesq->show();
            MainForm->close();
        });
        QCOMPARE(startup.run(), 0);
        QCOMPARE(visible, QStringList{"MainForm"});
        QCOMPARE(destroyed, (QStringList{"Form1", "FormT2Pesq", "DataModule1", "Relatorio", "FormConc", "FormPesqAV",
                                         "MainForm"}));
        QVERIFY(!MainForm && !DataModule1 && !Form1);
    }

    void aFailingTableWarnsAndTheProgramStillStarts()
    {
        store->connect("ADMIN")->execute("drop table frase");
        Startup startup(*Application::instance());
        const QStringList warnings = answerBoxes([&] { startup.build(); });
        QCOMPARE(warnings, QStringList{TDataModule1::openWarning("Frase.db").replace('\r', '\n')});
        QVERIFY(MainForm && Form1);
        QVERIFY(!DataModule1->TableFrase->active());
        QVERIFY(DataModule1->TableMed->active());
    }

    void aMissingAliasEndsTheStartUpBeforeTheMainWindowShows()
    {
        engine::AliasRegistry registry;
        registry.load();
        registry.remove("Dorvica2");
        registry.save();
        Startup startup(*Application::instance());
        QStringList warnings;
        std::exception_ptr error;
        warnings = answerBoxes([&] {
            try {
                startup.build();
            } catch (...) {
                error = std::current_exception();
            }
        });
        QVERIFY(error);
        QCOMPARE(warnings, QStringList()); // no guarded warning at all
        QVERIFY(MainForm && !MainForm->isVisible());
        QVERIFY(!DataModule1);
        const QString text = Startup::fatalText(error, "/opt/velunor/bin/velunor");
        QVERIFY2(text.startsWith("Exception EngineError in module velunor at "), qPrintable(text));
        QVERIFY(text.contains(".\nO alias 'Dorvica2' não está registado"));
        QVERIFY(text.endsWith("."));
    }
};

VELUNOR_TEST(TestStartup)
#include "tst_startup.moc"
