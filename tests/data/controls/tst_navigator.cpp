#include "ControlsFixture.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "data/controls/DBNavigator.h"
#include "platform/engine/EngineError.h"
#include "platform/ui/SilentAbort.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using Button = DBNavigator::Button;

// The record navigator over real record sets: which buttons it offers in
// each state of its cursor, what pressing them does, and when its click
// notification runs.
class TestNavigator : public QObject {
    Q_OBJECT

    std::unique_ptr<ControlsFixture> data;
    std::unique_ptr<TestWindow> window;
    DBNavigator* nav = nullptr;
    std::unique_ptr<QSignalSpy> clicks;

    QStringList enabledButtons() const
    {
        QStringList out;
        for (int i = 0; i < DBNavigator::ButtonCount; ++i)
            if (nav->button(Button(i))->isEnabled())
                out << DBNavigator::buttonName(Button(i));
        return out;
    }

    QList<Button> notified() const
    {
        QList<Button> out;
        for (const QList<QVariant>& call : *clicks)
            out << call.at(0).value<Button>();
        return out;
    }

private slots:
    void init()
    {
        data = std::make_unique<ControlsFixture>();
        window = std::make_unique<TestWindow>();
        nav = window->add(new DBNavigator);
        nav->setObjectName("DBNavigator2");
        clicks = std::make_unique<QSignalSpy>(nav, &DBNavigator::clicked);
        window->show();
    }

    void cleanup()
    {
        clicks.reset();
        window.reset();
        data.reset();
    }

    void buttonsFollowTheCursorState()
    {
        QCOMPARE(enabledButtons(), QStringList{}); // no data source
        nav->setDataSource(data->pacSource.get());
        QCOMPARE(enabledButtons(), (QStringList{"Insert", "Edit", "Refresh"})); // empty
        data->addPatient("ANA");
        data->addPatient("BIA");
        data->addPatient("RUI");
        data->pac->first();
        QCOMPARE(enabledButtons(), (QStringList{"Next", "Last", "Insert", "Delete", "Edit", "Refresh"}));
        data->pac->next();
        QCOMPARE(enabledButtons(),
                 (QStringList{"First", "Prior", "Next", "Last", "Insert", "Delete", "Edit", "Refresh"}));
        data->pac->last();
        QCOMPARE(enabledButtons(), (QStringList{"First", "Prior", "Insert", "Delete", "Edit", "Refresh"}));
        data->pac->edit();
        QCOMPARE(enabledButtons(),
                 (QStringList{"First", "Prior", "Insert", "Delete", "Post", "Cancel", "Refresh"}));
        data->pac->cancel();
        data->pac->insert();
        QCOMPARE(enabledButtons(), (QStringList{"First", "Prior", "Next", "Last", "Insert", "Delete", "Post",
                                                "Cancel", "Refresh"}));
        data->pac->cancel();
        data->pac->close();
        QCOMPARE(enabledButtons(), QStringList{});
        data->pac->open();
        QCOMPARE(enabledButtons(), (QStringList{"Next", "Last", "Insert", "Delete", "Edit", "Refresh"}));
    }

    void aReadOnlyCursorOffersOnlyMoving()
    {
        data->addDoctor("DRA. ANA", true);
        data->addDoctor("DR. RUI", true);
        nav->setDataSource(data->medSource.get());
        data->med->first();
        QCOMPARE(enabledButtons(), (QStringList{"Next", "Last"}));
    }

    void pressingRunsPastTheEnd()
    {
        // Reaching the last record by Next is not yet the end; one more Next is.
        data->addPatient("ANA");
        data->addPatient("BIA");
        data->pac->first();
        nav->setDataSource(data->pacSource.get());
        nav->button(Button::Next)->click();
        QCOMPARE(data->pac->fieldByName("NOME")->value().toString(), QString("BIA"));
        nav->button(Button::Next)->click();
        QVERIFY(!nav->button(Button::Next)->isEnabled());
        QVERIFY(!nav->button(Button::Last)->isEnabled());
        QCOMPARE(notified(), (QList<Button>{Button::Next, Button::Next}));
    }

    void deleteAsksFirst()
    {
        data->addPatient("ANA");
        data->addPatient("BIA");
        nav->setDataSource(data->pacSource.get());

        QString title;
        QStringList buttons;
        QTimer inspect;
        inspect.setInterval(10);
        connect(&inspect, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && title.isEmpty()) {
                title = box->windowTitle();
                for (QAbstractButton* b : box->buttons())
                    buttons << QString::number(box->standardButton(b));
            }
        });
        inspect.start();
        QCOMPARE(answerBox([&] { nav->button(Button::Delete)->click(); }, QMessageBox::Cancel),
                 QString("Delete record?"));
        inspect.stop();
        QCOMPARE(title, QString("Confirm"));
        buttons.sort();
        QStringList expected{QString::number(QMessageBox::Ok), QString::number(QMessageBox::Cancel)};
        expected.sort();
        QCOMPARE(buttons, expected);
        QCOMPARE(data->pac->recordCount(), 2); // Cancel keeps the record...
        QCOMPARE(notified(), QList<Button>{Button::Delete}); // ...and still notifies

        QCOMPARE(answerBox([&] { nav->button(Button::Delete)->click(); }, QMessageBox::Ok), QString("Delete record?"));
        QCOMPARE(data->pac->recordCount(), 1);
        QCOMPARE(notified().size(), 2);

        nav->setConfirmDelete(false);
        QCOMPARE(answerBoxes([&] { nav->button(Button::Delete)->click(); }), QStringList{});
        QCOMPARE(data->pac->recordCount(), 0);
    }

    void aRefusedOperationDoesNotNotify()
    {
        data->addPatient("ANA");
        data->addExam(QDate(2026, 1, 5));
        nav->setDataSource(data->ecoSource.get());
        data->eco->beforeEdit = [](Dataset&) { throw SilentAbort(); };

        // A silent abort shows nothing, from a click...
        QCOMPARE(answerBoxes([&] { nav->button(Button::Edit)->click(); }), QStringList{});
        QCOMPARE(data->eco->state(), DataSetState::Browse);
        // ...and stops program code that pressed the button.
        QVERIFY_THROWS_EXCEPTION(SilentAbort, nav->click(Button::Edit));
        QVERIFY(clicks->isEmpty());

        // An error is shown in the error box, and does not notify either.
        data->eco->beforeEdit = nullptr;
        nav->click(Button::Insert);
        QCOMPARE(notified(), QList<Button>{Button::Insert});
        QCOMPARE(answerBox([&] { nav->button(Button::Post)->click(); }),
                 QString("Field 'CodigoExame' must have a value."));
        QCOMPARE(data->eco->state(), DataSetState::Insert);
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, nav->click(Button::Post));
        QCOMPARE(notified(), QList<Button>{Button::Insert});
        nav->click(Button::Cancel);
        QCOMPARE(data->eco->recordCount(), 1);
    }

    void editOnAPatientWithoutExamsInserts()
    {
        data->addPatient("SEM EXAMES");
        nav->setDataSource(data->ecoSource.get());
        QVERIFY(nav->button(Button::Edit)->isEnabled());
        nav->click(Button::Edit);
        QCOMPARE(data->eco->state(), DataSetState::Insert);
        QCOMPARE(notified(), QList<Button>{Button::Edit});
    }

    void aClosedCursorStillNotifies()
    {
        nav->setDataSource(data->pacSource.get());
        data->pac->close();
        nav->click(Button::Next);
        nav->click(Button::Insert);
        QCOMPARE(notified(), (QList<Button>{Button::Next, Button::Insert}));
        QVERIFY(!data->pac->active());
        // without any data source too
        nav->setDataSource(nullptr);
        nav->click(Button::Post);
        QCOMPARE(notified().size(), 3);
    }

    void buttonsHintsAndLayout()
    {
        const QStringList hints{"Primeiro Exame", "Exame Anterior", "Próximo Exame", "Último Exame",
                                "Novo Exame",     "Apagar Exame",   "Editar Exame",  "Gravar Exame",
                                "Cancelar Exame", "Actualizar Exame"};
        nav->setHints(hints);
        nav->setVisibleButtons({Button::Prior, Button::Next, Button::Insert, Button::Delete, Button::Edit,
                                Button::Post, Button::Cancel});
        nav->setFlat(true);
        QCOMPARE(nav->hints(), hints);
        QVERIFY(nav->button(Button::First)->isHidden());
        QCOMPARE(nav->button(Button::First)->toolTip(), QString("Primeiro Exame"));
        QCOMPARE(nav->button(Button::Insert)->objectName(), QString("DBNavigator2_Insert"));
        QCOMPARE(nav->findChild<QToolButton*>("DBNavigator2_Cancel"), nav->button(Button::Cancel));
        QVERIFY(nav->button(Button::Post)->autoRaise());
        QCOMPARE(nav->button(Button::Post)->focusPolicy(), Qt::NoFocus);

        // Seven buttons share 308 pixels: 44 each, edge to edge, full height.
        DBNavigator sized;
        sized.setVisibleButtons(nav->visibleButtons());
        sized.resize(308, 26);
        sized.show();
        int x = 0;
        for (Button b : sized.visibleButtons()) {
            const QRect r = sized.button(b)->geometry();
            QCOMPARE(r.left(), x);
            QCOMPARE(r.width(), 44);
            QCOMPARE(r.height(), 26);
            x = r.right() + 1;
        }
        QCOMPARE(x, 308);
    }
};

VELUNOR_TEST(TestNavigator)
#include "tst_navigator.moc"
