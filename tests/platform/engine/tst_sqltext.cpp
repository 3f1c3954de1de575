#include "common/TestMain.h"
#include "common/TestStore.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/SqlText.h"

#include <QTest>

using engine::EngineError;
using engine::sqltext::Dialect;

class TestSqlText : public QObject {
    Q_OBJECT

private slots:
    // Where a statement ends depends on the store's rules for comments,
    // quoted names and literals: each text is one statement to one store
    // and two to the other, or two to both.
    void endsAStatementWhereTheStoreDoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("oneOnSqlite");
        QTest::addColumn<bool>("oneOnPostgres");
        QTest::newRow("comment ended by a carriage return")
            << "select 1 --c\r; delete from bddid" << true << false;
        QTest::newRow("bracketed name") << "select 1 [; delete from bddid; --]" << true << false;
        QTest::newRow("back-quoted name") << "select 1 `; delete from bddid; --`" << true << false;
        QTest::newRow("escape string") << "select E'\\'; delete from bddid; --'" << false << true;
        QTest::newRow("E ending a non-ASCII name")
            << QString::fromUtf8("select ·E'\\'; delete from bddid; --'") << false << false;
        QTest::newRow("nested comment") << "select 1 /* /* */ ; delete from bddid; */" << false << true;
        QTest::newRow("non-ASCII dollar tag") << QString::fromUtf8("select $€$;$€$") << false << true;
        QTest::newRow("final semicolon and comment") << "select 1; -- fim\n;" << true << true;
    }
    void endsAStatementWhereTheStoreDoes()
    {
        QFETCH(QString, text);
        QFETCH(bool, oneOnSqlite);
        QFETCH(bool, oneOnPostgres);
        auto isOne = [&](Dialect dialect) {
            try {
                engine::sqltext::singleStatement(text, dialect);
                return true;
            } catch (const EngineError&) {
                return false;
            }
        };
        QCOMPARE(isOne(Dialect::Sqlite), oneOnSqlite);
        QCOMPARE(isOne(Dialect::Postgres), oneOnPostgres);
    }

    // Valid statements the check once refused or the cast rewrite broke.
    void runsValidStatements()
    {
        TestStore store;
        store.createTables();
        auto db = store.connect("BDC");
        db->execute("insert into bddid (nome) values ('ANABELA')");
        QString nested = "nome";
        for (int i = 0; i < 20; ++i)
            nested = "cast(" + nested + " as char(3))";
        const auto casts = db->query("select cast(nome -- o nome\n as char(3)), " + nested + " from bddid");
        QCOMPARE(casts.rows.front()[0].toString(), QString("ANA"));
        QCOMPARE(casts.rows.front()[1].toString(), QString("ANA"));
        if (TestStore::isPostgres()) {
            QCOMPARE(db->query("select 1 /* a /* b */ ; */").rows.front()[0].toInt(), 1);
            QCOMPARE(db->query(QString::fromUtf8("select $€$;$€$")).rows.front()[0].toString(), ";");
        } else {
            QCOMPARE(db->query("select 1 as [a;b]").columns.front(), QString("a;b"));
        }
    }
};

VELUNOR_TEST(TestSqlText)
#include "tst_sqltext.moc"
