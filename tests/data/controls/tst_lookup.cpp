#include "ControlsFixture.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "data/controls/DBLookupComboBox.h"

#include <QListView>
#include <QSignalSpy>
#include <QTest>

// The exam pane's two lookup boxes over real record sets: the doctor (from
// the read-only list of active doctors) and the exam type.
class TestLookup : public QObject {
    Q_OBJECT

    std::unique_ptr<ControlsFixture> data;
    std::unique_ptr<TestWindow> window;
    DBLookupComboBox* doctor = nullptr;
    DBLookupComboBox* type = nullptr;
    int ana = 0, bruno = 0, carlos = 0; // doctors; Bruno is no longer active
    int doppler = 0, fetal = 0, fetalTardio = 0, pediatrico = 0;
    int listMoves = 0;
    qint64 now = 100000;

    QString currentDoctor() const { return data->med->fieldByName("NOME")->value().toString(); }
    QString currentType() const { return data->tipo->fieldByName("Tipo")->value().toString(); }
    QVariant examField(const char* name) const { return data->eco->fieldByName(name)->value(); }

    void type_(DBLookupComboBox* box, const QString& text, qint64 pause = 100)
    {
        for (QChar c : text) {
            now += pause;
            QTest::keyClick(box, c.toLatin1());
        }
    }

private slots:
    void init()
    {
        data = std::make_unique<ControlsFixture>();
        ana = data->addDoctor("DRA. ANA", true);
        bruno = data->addDoctor("DR. BRUNO", false);
        carlos = data->addDoctor("DR. CARLOS", true);
        doppler = data->addType("Doppler");
        fetal = data->addType("Fetal");
        fetalTardio = data->addType("Fetal tardio");
        pediatrico = data->addType("Pediátrico");
        data->addPatient("RUI");
        data->addExam(QDate(2026, 1, 1), ana, QString::number(doppler));
        data->addExam(QDate(2026, 1, 2), ana, QString::number(fetal));
        data->addExam(QDate(2026, 1, 3), bruno, QString::number(fetal));
        data->addExam(QDate(2026, 1, 4));
        data->eco->first();

        window = std::make_unique<TestWindow>();
        doctor = window->add(new DBLookupComboBox);
        doctor->setObjectName("DBLookupComboBox1");
        doctor->setListSource(data->medSource.get());
        doctor->setKeyField("CODIGO");
        doctor->setListField("NOME");
        doctor->setDataSource(data->ecoSource.get());
        doctor->setDataField("Executor");
        type = window->add(new DBLookupComboBox);
        type->setListSource(data->tipoSource.get());
        type->setKeyField("Id");
        type->setListField("Tipo");
        type->setDataSource(data->ecoSource.get());
        type->setDataField("ModoD");
        window->show();

        listMoves = 0;
        data->med->beforeScroll = [this](Dataset&) { ++listMoves; };
        DBLookupComboBox::setClock([this] { return now; });
    }

    void cleanup()
    {
        DBLookupComboBox::setClock({});
        window.reset();
        data.reset();
    }

    void theKeyFollowsTheExamAndPositionsTheList()
    {
        QCOMPARE(doctor->text(), QString("DRA. ANA"));
        QCOMPARE(currentDoctor(), QString("DRA. ANA"));
        QCOMPARE(type->text(), QString("Doppler"));
        QCOMPARE(type->keyValue().toString(), QString::number(doppler));

        // The next exam has the same doctor: the doctors are not moved again.
        data->med->last();
        listMoves = 0;
        data->eco->next();
        QCOMPARE(listMoves, 0);
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        QCOMPARE(doctor->text(), QString("DRA. ANA"));
        QCOMPARE(type->text(), QString("Fetal"));
        QCOMPARE(currentType(), QString("Fetal"));

        // An inactive doctor is not in the list: nothing shows, the list stays.
        data->eco->next();
        QCOMPARE(doctor->text(), QString());
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        // No doctor at all: no lookup.
        listMoves = 0;
        data->eco->next();
        QCOMPARE(doctor->text(), QString());
        QCOMPARE(listMoves, 0);
        QCOMPARE(type->text(), QString());
        QCOMPARE(currentType(), QString("Fetal"));

        // Back to a known doctor, and the field changing while editing.
        data->eco->first();
        QCOMPARE(currentDoctor(), QString("DRA. ANA"));
        data->eco->edit();
        data->eco->fieldByName("Executor")->setValue(carlos);
        QCOMPARE(doctor->text(), QString("DR. CARLOS"));
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        data->eco->cancel();
        QCOMPARE(doctor->text(), QString("DRA. ANA"));
    }

    void aListOpenedLaterShowsTheKey()
    {
        data->med->close();
        data->eco->next();
        data->eco->first(); // the key is unchanged while the doctors are closed
        QCOMPARE(doctor->text(), QString());
        data->med->open();
        QCOMPARE(doctor->text(), QString("DRA. ANA"));
    }

    void theOpenListMovesTheListCursor()
    {
        QSignalSpy closeUps(doctor, &DBLookupComboBox::closeUp);
        data->med->last();
        doctor->setFocus();
        QTest::keyClick(doctor, Qt::Key_F4);
        QVERIFY(doctor->isDroppedDown());
        QCOMPARE(currentDoctor(), QString("DRA. ANA")); // opened on the key's row
        QListView* list = doctor->listView();
        QCOMPARE(list->model()->rowCount(), 2); // active doctors only
        QCOMPARE(list->currentIndex().row(), 0);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(currentDoctor(), QString("DRA. ANA"));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        QTest::keyClick(list, Qt::Key_Escape); // closes without choosing
        QVERIFY(!doctor->isDroppedDown());
        QCOMPARE(closeUps.size(), 1);
        QCOMPARE(examField("Executor").toInt(), ana);
        QCOMPARE(doctor->text(), QString("DRA. ANA"));

        // An exam without a doctor opens the list on its first row.
        data->eco->last();
        data->med->last();
        doctor->dropDown();
        QCOMPARE(currentDoctor(), QString("DRA. ANA"));
        // The pointer moves the selection, and the list cursor with it.
        const QRect second = list->visualRect(list->model()->index(1, 0));
        QTest::mouseMove(list->viewport(), second.center());
        QCOMPARE(currentDoctor(), QString("DR. CARLOS"));
        doctor->closeList(false);
        QCOMPARE(closeUps.size(), 2);
    }

    void theListOpensOnTheRowOfTheKey()
    {
        data->addExam(QDate(2026, 1, 5), carlos, QString::number(pediatrico));
        QCOMPARE(doctor->text(), QString("DR. CARLOS"));
        struct Case {
            DBLookupComboBox* box;
            Dataset* list;
            QString row;
        };
        for (const Case& c : {Case{doctor, data->med.get(), "DR. CARLOS"}, Case{type, data->tipo.get(), "Pediátrico"}}) {
            c.list->first();
            c.box->setFocus();
            QTest::keyClick(c.box, Qt::Key_F4);
            QVERIFY(c.box->isDroppedDown());
            QCOMPARE(c.list->fieldByName(c.box->listField())->value().toString(), c.row);
            QCOMPARE(c.box->listView()->currentIndex().row(), c.list->recNo());
            QTest::keyClick(c.box->listView(), Qt::Key_Escape);
            QCOMPARE(c.list->fieldByName(c.box->listField())->value().toString(), c.row);
        }
    }

    void aChoiceIsStoredOnlyWhileEditing()
    {
        QSignalSpy closeUps(doctor, &DBLookupComboBox::closeUp);
        doctor->setFocus();
        QTest::keyClick(doctor, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(doctor->isDroppedDown());
        QTest::keyClick(doctor->listView(), Qt::Key_Down);
        QTest::keyClick(doctor->listView(), Qt::Key_Return);
        QCOMPARE(closeUps.size(), 1); // the notification runs all the same
        QCOMPARE(examField("Executor").toInt(), ana);
        QCOMPARE(data->eco->state(), DataSetState::Browse);
        QCOMPARE(doctor->text(), QString("DRA. ANA"));

        data->eco->edit();
        doctor->dropDown();
        QTest::keyClick(doctor->listView(), Qt::Key_Down);
        QTest::keyClick(doctor->listView(), Qt::Key_Enter);
        QCOMPARE(examField("Executor").toInt(), carlos);
        QCOMPARE(doctor->text(), QString("DR. CARLOS"));
        QCOMPARE(closeUps.size(), 2);

        // A click on a row chooses it.
        doctor->dropDown();
        QListView* list = doctor->listView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QVERIFY(!doctor->isDroppedDown());
        QCOMPARE(examField("Executor").toInt(), ana);
        QCOMPARE(closeUps.size(), 3);

        // A read-only box stores nothing.
        doctor->setReadOnly(true);
        doctor->dropDown();
        QTest::keyClick(doctor->listView(), Qt::Key_Down);
        QTest::keyClick(doctor->listView(), Qt::Key_Return);
        QCOMPARE(examField("Executor").toInt(), ana);
        QCOMPARE(closeUps.size(), 4);
    }

    void aClickOpensAndAClickElsewhereDoesNotChoose()
    {
        QSignalSpy closeUps(doctor, &DBLookupComboBox::closeUp);
        data->eco->edit();
        QTest::mouseClick(doctor, Qt::LeftButton, {}, QPoint(doctor->width() - 5, doctor->height() / 2));
        QVERIFY(doctor->isDroppedDown());
        QVERIFY(doctor->hasFocus() || doctor->listView()->hasFocus());
        QTest::keyClick(doctor->listView(), Qt::Key_Down);
        QWidget* popup = doctor->listView()->window();
        QVERIFY(popup->isVisible());
        // a click outside the list, on the box itself: closed, not reopened
        const QPoint onBox = popup->mapFromGlobal(doctor->mapToGlobal(QPoint(5, doctor->height() / 2)));
        QTest::mouseClick(popup, Qt::LeftButton, {}, onBox);
        QVERIFY(!popup->isVisible());
        QVERIFY(!doctor->isDroppedDown());
        QCOMPARE(closeUps.size(), 1);
        QCOMPARE(examField("Executor").toInt(), ana);
        QCOMPARE(currentDoctor(), QString("DR. CARLOS")); // the list cursor stays where the list left it
    }

    void automaticEditingStartsEditingOnAChoice()
    {
        auto autoEco = ControlsFixture::source("DataSourceEcoAuto", data->eco.get(), true);
        type->setDataSource(autoEco.get());
        type->dropDown();
        QTest::keyClick(type->listView(), Qt::Key_Down);
        QTest::keyClick(type->listView(), Qt::Key_Return);
        QCOMPARE(data->eco->state(), DataSetState::Edit);
        QCOMPARE(examField("ModoD").toString(), QString::number(fetal));
        QCOMPARE(type->text(), QString("Fetal"));
        type->setDataSource(nullptr);
        QCOMPARE(type->text(), QString());
    }

    void typingSearchesTheList()
    {
        data->eco->edit();
        type->setFocus();
        type_(type, "f");
        QCOMPARE(type->searchText(), QString("f"));
        QCOMPARE(currentType(), QString("Fetal"));
        QCOMPARE(examField("ModoD").toString(), QString::number(fetal));
        type_(type, "ETAL T");
        QCOMPARE(type->searchText(), QString("fETAL T"));
        QCOMPARE(examField("ModoD").toString(), QString::number(fetalTardio));
        QCOMPARE(type->text(), QString("Fetal tardio"));
        type_(type, "x"); // no row: the search text does not grow
        QCOMPARE(type->searchText(), QString("fETAL T"));
        QCOMPARE(currentType(), QString("Fetal tardio"));

        QTest::keyClick(type, Qt::Key_Backspace);
        QCOMPARE(type->searchText(), QString());
        type_(type, "p");
        QCOMPARE(type->text(), QString("Pediátrico"));
        QTest::keyClick(type, Qt::Key_Escape);
        QCOMPARE(type->searchText(), QString());

        // A pause of 2000 ms continues the search; a longer one starts afresh.
        type_(type, "d");
        type_(type, "o", 2000);
        QCOMPARE(type->searchText(), QString("do"));
        type_(type, "f", 2001);
        QCOMPARE(type->searchText(), QString("f"));
        QCOMPARE(currentType(), QString("Fetal"));

        // The search text holds 32 characters at most.
        const QString longName = QString(40, 'z');
        data->addType(longName); // saving the type ends the exam's edit
        data->eco->edit();
        type_(type, "z", 2001);
        type_(type, QString(34, 'z'));
        QCOMPARE(type->searchText(), QString(32, 'z'));
        QCOMPARE(type->text(), longName);
    }

    void searchingABrowsedExamStoresNothing()
    {
        type->setFocus();
        type_(type, "p");
        QCOMPARE(currentType(), QString("Pediátrico"));
        QCOMPARE(examField("ModoD").toString(), QString::number(doppler));
        QCOMPARE(type->text(), QString("Doppler"));
    }

    void theCallersBackgroundShows()
    {
        // focus elsewhere, so that the text area is not highlighted
        type->setFocus();
        const QColor pale(255, 255, 189);
        QPalette palette = doctor->palette();
        palette.setColor(QPalette::Base, pale);
        doctor->setPalette(palette);
        QCOMPARE(doctor->grab().toImage().pixelColor(4, doctor->height() / 2), pale);

        const QColor yellow(255, 255, 121);
        auto* other = window->add(new DBLookupComboBox);
        palette = other->palette();
        palette.setColor(QPalette::Window, yellow);
        other->setPalette(palette);
        other->setAutoFillBackground(true);
        QCOMPARE(other->grab().toImage().pixelColor(4, other->height() / 2), yellow);

        // A pane's colour does not show through a box that has none of its own.
        palette = window->widget.palette();
        palette.setColor(QPalette::Window, QColor(192, 192, 192));
        window->widget.setPalette(palette);
        type->setAutoFillBackground(true);
        doctor->setFocus();
        QCOMPARE(type->grab().toImage().pixelColor(4, type->height() / 2), type->palette().color(QPalette::Base));
        QVERIFY(type->palette().color(QPalette::Base) != QColor(192, 192, 192));
    }
};

VELUNOR_TEST(TestLookup)
#include "tst_lookup.moc"
