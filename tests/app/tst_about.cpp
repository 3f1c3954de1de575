#include "app/Main.h"
#include "app/Startup.h"
#include "app/acerca.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "platform/ui/Application.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// The about box, opened from the main window's help menu.
class TestAbout : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        Startup startup(*Application::instance());
        answerBoxes([&] { startup.build(); });
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
    }

    void cleanup()
    {
        Application::instance()->destroyComponents();
        store.reset();
    }

    void eachWayOfClosingBringsTheEntryBackAndTheNextOpeningBuildsAFreshBox_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("Alt+S") << int(Qt::Key_S) << int(Qt::AltModifier);
        QTest::newRow("click") << 0 << 0;
    }

    void eachWayOfClosingBringsTheEntryBackAndTheNextOpeningBuildsAFreshBox()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        MainForm->Acercade1->trigger();
        QPointer<TFormAcerca> box = FormAcerca;
        QVERIFY(box && !box->isModal());
        QVERIFY(QTest::qWaitForWindowActive(box));
        QCOMPARE(QApplication::focusWidget(), box->BitBtn1);
        QVERIFY(!MainForm->Acercade1->isEnabled());

        if (key)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        else
            QTest::mouseClick(box->BitBtn1, Qt::LeftButton);
        QTRY_VERIFY(!box);
        QVERIFY(!FormAcerca);
        QVERIFY(MainForm->Acercade1->isEnabled());

        MainForm->Acercade1->trigger();
        QVERIFY(FormAcerca && FormAcerca->isVisible());
    }
};

VELUNOR_TEST(TestAbout)
#include "tst_about.moc"
