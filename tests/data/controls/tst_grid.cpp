#include "ControlsFixture.h"
#include "common/Dialogs.h"
#include "common/TestMain.h"
#include "data/Query.h"
#include "data/controls/DBGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// The grid over real record sets: the patients (browsing), a query's result
// (columns from the result) and the standard conclusions (edited in place).
class TestGrid : public QObject {
    Q_OBJECT

    std::unique_ptr<ControlsFixture> data;
    std::unique_ptr<TestWindow> window;
    DBGrid* grid = nullptr;
    QLineEdit* elsewhere = nullptr;

    QString currentName() const { return data->pac->fieldByName("NOME")->value().toString(); }

    void clickRow(int row)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QStringList cells(int column) const
    {
        QStringList out;
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            out << grid->model()->index(row, column).data().toString();
        return out;
    }

private slots:
    void init()
    {
        data = std::make_unique<ControlsFixture>();
        for (const char* name : {"ANA", "BIA", "RUI", "ZECA"})
            data->addPatient(name);
        data->pac->first();
        window = std::make_unique<TestWindow>();
        grid = window->add(new DBGrid);
        elsewhere = window->add(new QLineEdit);
    }

    void cleanup()
    {
        window.reset();
        data.reset();
    }

    void theGridFollowsTheCursorAndMovesIt()
    {
        grid->addColumn("NOME", "Nome", 200, Qt::AlignCenter, true);
        grid->setRowSelect(true);
        grid->setDataSource(data->pacSource.get());
        window->show();
        QCOMPARE(cells(0), (QStringList{"ANA", "BIA", "RUI", "ZECA"}));
        QCOMPARE(grid->currentIndex().row(), 0);
        data->pac->last();
        QCOMPARE(grid->currentIndex().row(), 3);
        QCOMPARE(grid->model()->headerData(3, Qt::Vertical).toString(), QString("\u25B6"));
        QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toString(), QString());
        QVERIFY(grid->selectionModel()->isRowSelected(3, {}));

        clickRow(1);
        QCOMPARE(currentName(), QString("BIA"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(currentName(), QString("RUI"));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(currentName(), QString("ANA"));

        data->pac->edit();
        QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toString(), QString("I"));
        data->pac->fieldByName("NOME")->setValue("ANABELA");
        QCOMPARE(grid->model()->index(0, 0).data().toString(), QString("ANABELA"));
        data->pac->cancel();
        QCOMPARE(grid->model()->index(0, 0).data().toString(), QString("ANA"));

        // the caller's column
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("Nome"));
        QCOMPARE(grid->columnWidth(0), 200);
        QVERIFY(grid->model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    }

    void aBrowsingGridNeitherTypesNorInserts()
    {
        grid->setDataSource(data->pacSource.get());
        window->show();
        QCOMPARE(grid->model()->columnCount(), 3); // one per field
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QString("NOME"));
        grid->setFocus();
        QSignalSpy keys(grid, &DBGrid::keyPress);
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClicks(grid, "r"); // neither typed nor searched for
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(currentName(), QString("ANA"));
        QCOMPARE(data->pac->state(), DataSetState::Browse);
        QCOMPARE(data->pac->recordCount(), 4);
        QVERIFY(!grid->isEditingCell());
        QCOMPARE(keys.size(), 2);
        QCOMPARE(keys.at(0).at(0).value<QChar>(), QChar('r'));
        QCOMPARE(keys.at(1).at(0).value<QChar>(), QChar('\r'));

        QSignalSpy doubleClicks(grid, &DBGrid::dblClick);
        const QRect cell = grid->visualRect(grid->model()->index(2, 1));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(doubleClicks.size(), 1);
        QCOMPARE(currentName(), QString("RUI"));
        QVERIFY(!grid->isEditingCell());
    }

    void ctrlDeleteDeletes()
    {
        grid->setDataSource(data->pacSource.get());
        window->show();
        grid->setFocus();
        data->pac->last();
        QCOMPARE(answerBoxes([&] { QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier); }), QStringList{});
        QCOMPARE(data->pac->recordCount(), 3);
        QCOMPARE(currentName(), QString("RUI"));

        grid->setConfirmDelete(true);
        QCOMPARE(answerBox([&] { QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier); }, QMessageBox::Cancel),
                 QString("Delete record?"));
        QCOMPARE(data->pac->recordCount(), 3);
        QCOMPARE(answerBox([&] { QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier); }, QMessageBox::Ok),
                 QString("Delete record?"));
        QCOMPARE(cells(1), (QStringList{"ANA", "BIA"}));

        // a read-only cursor is left alone, without a question
        data->addDoctor("DRA. ANA", true);
        grid->setDataSource(data->medSource.get());
        QCOMPARE(answerBoxes([&] { QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier); }), QStringList{});
        QCOMPARE(data->med->recordCount(), 1);
    }

    void aQueryGridTakesItsColumnsFromTheResult()
    {
        Query query("QueryPesqAv", "BDC");
        DataSource source("DataSourcePesqAV");
        source.setDataset(&query);
        grid->setDataSource(&source);
        window->show();
        QCOMPARE(grid->model()->columnCount(), 0);
        query.setSql("select NF, NOME from bddid order by NOME");
        query.open();
        QCOMPARE(grid->model()->columnCount(), 2);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("NF"));
        QCOMPARE(cells(1), (QStringList{"ANA", "BIA", "RUI", "ZECA"}));
        clickRow(2);
        QCOMPARE(query.fieldByName("NOME")->value().toString(), QString("RUI"));

        query.close();
        QCOMPARE(grid->model()->rowCount(), 0);
        query.setSql("select NOME from bddid where NOME like '%A'");
        query.open();
        QCOMPARE(grid->model()->columnCount(), 1);
        QCOMPARE(cells(0), (QStringList{"ANA", "BIA", "ZECA"}));
        grid->setDataSource(nullptr);
    }

    void theConclusionsListEditsInPlace()
    {
        Table conc("TableConc", "BDC", schema::tableConc());
        DataSource source("DataSourceConc");
        source.setDataset(&conc);
        conc.open();
        for (const char* name : {"Normal", "CIA", "CIV", "DSAV"}) {
            conc.insert();
            conc.fieldByName("Nome")->setValue(name);
            conc.post();
        }
        grid->addColumn("Nome", "Tipo de Conclusão", 300, Qt::AlignCenter);
        grid->setEditable(true);
        grid->setConfirmDelete(true);
        grid->setDataSource(&source);
        window->show();
        conc.first();
        conc.next(); // "CIA"

        // Insert adds a row; an untouched one goes when the focus leaves.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(conc.state(), DataSetState::Insert);
        QCOMPARE(grid->model()->rowCount(), 5);
        QCOMPARE(grid->model()->headerData(1, Qt::Vertical).toString(), QString("*"));
        elsewhere->setFocus();
        QCOMPARE(conc.state(), DataSetState::Browse);
        QCOMPARE(cells(0), (QStringList{"Normal", "CIA", "CIV", "DSAV"}));

        // A click below a new row lands on the record clicked.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        clickRow(3);
        QCOMPARE(conc.fieldByName("Nome")->value().toString(), QString("CIV"));

        // Typing into a cell edits the record through its field.
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClicks(grid, "P");
        QVERIFY(grid->isEditingCell());
        QTest::keyClicks(QApplication::focusWidget(), "CA"); // into the cell's editor
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents(); // the editor hands its text over once the key is done
        QVERIFY(!grid->isEditingCell());
        QCOMPARE(conc.fieldByName("Nome")->value().toString(), QString("PCA"));
        elsewhere->setFocus(); // a changed new row stays
        QCOMPARE(conc.state(), DataSetState::Insert);
        conc.post();
        QCOMPARE(conc.recordCount(), 5);

        // An editor still open when the record is saved gives its text first.
        grid->setFocus();
        QTest::keyClicks(grid, "X");
        QCOMPARE(conc.state(), DataSetState::Edit);
        conc.post();
        QCOMPARE(conc.fieldByName("Nome")->value().toString(), QString("X"));
        grid->setDataSource(nullptr);
    }
};

VELUNOR_TEST(TestGrid)
#include "tst_grid.moc"
