#include "common/TestMain.h"
#include "common/TestStore.h"
#include "platform/engine/AutomaticBackup.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/wait.h>

using engine::AutomaticBackup;

// The copies a closing program makes of an SQLite store, on a real store,
// with the days given instead of read from the clock.
class TestAutomaticBackup : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;

    QStringList copies() const
    {
        return QDir(store->directory() + "/backups").entryList({"velunor-*.db"}, QDir::Files, QDir::Name);
    }

private slots:
    void init()
    {
        if (TestStore::isPostgres())
            QSKIP("automatic copies are made of SQLite stores only");
        store = std::make_unique<TestStore>();
        store->createTables();
        store->connect()->execute("insert into bddid (nome) values ('ANA')");
    }
    void cleanup() { store.reset(); }

    void keepsTheLastSevenDaysAndFourWeeks_data()
    {
        QTest::addColumn<QList<QDate>>("used");
        QTest::addColumn<QStringList>("kept");
        QList<QDate> daily;
        for (QDate d(2024, 1, 1); d <= QDate(2024, 2, 29); d = d.addDays(1))
            daily << d;
        QTest::newRow("every day for two months")
            << daily
            << QStringList{"2024-02-11", "2024-02-18", "2024-02-23", "2024-02-24", "2024-02-25",
                           "2024-02-26", "2024-02-27", "2024-02-28", "2024-02-29"};
        QList<QDate> holiday = daily.mid(0, 41); // to Saturday 10 February
        holiday << QDate(2024, 2, 19) << QDate(2024, 2, 20);
        QTest::newRow("a week away")
            << holiday
            << QStringList{"2024-01-28", "2024-02-04", "2024-02-06", "2024-02-07", "2024-02-08",
                           "2024-02-09", "2024-02-10", "2024-02-19", "2024-02-20"};
    }
    void keepsTheLastSevenDaysAndFourWeeks()
    {
        QFETCH(QList<QDate>, used);
        QFETCH(QStringList, kept);
        AutomaticBackup backup(store->directory());
        QFile other(store->directory() + "/backups/velunor-antes-de-repor-2024-01-01-120000.db");
        QVERIFY(QDir().mkpath(store->directory() + "/backups") && other.open(QIODevice::WriteOnly));
        for (const QDate& day : used) {
            // closed twice that day: one copy
            QVERIFY(backup.run(QDateTime(day, QTime(12, 0))));
            QVERIFY(!backup.due(day));
            QVERIFY(backup.run(QDateTime(day, QTime(19, 30))));
        }
        QStringList expected;
        for (const QString& day : kept)
            expected << "velunor-" + day + ".db";
        expected << QFileInfo(other).fileName(); // not a dated copy: never removed
        QCOMPARE(copies(), expected);
        QVERIFY(backup.takeFailure().isEmpty());
    }

    // A clock once set a month ahead left copies dated in the future: they
    // are kept and counted apart, the day's copy stays, the log gives its
    // size, and the next start hears of them once.
    void copiesDatedInTheFutureAreKeptApart()
    {
        AutomaticBackup backup(store->directory());
        const QDate today(2024, 3, 1);
        for (QDate day = today.addDays(-20); day < today; day = day.addDays(1))
            QVERIFY(backup.run(QDateTime(day, QTime(12, 0))));
        QStringList ahead;
        for (QDate day(2024, 4, 1); day <= QDate(2024, 4, 11); day = day.addDays(1)) {
            QVERIFY(QFile::copy(backup.copyFile(today.addDays(-1)), backup.copyFile(day)));
            ahead << QFileInfo(backup.copyFile(day)).fileName();
        }

        QVERIFY(backup.run(QDateTime(today, QTime(12, 0))));
        QStringList expected;
        for (const char* day : {"2024-02-11", "2024-02-18", "2024-02-24", "2024-02-25", "2024-02-26", "2024-02-27",
                                "2024-02-28", "2024-02-29", "2024-03-01"})
            expected << QString("velunor-%1.db").arg(day);
        QCOMPARE(copies(), expected + ahead);
        QVERIFY(backup.takeFailure().isEmpty());
        QFile log(backup.logFile());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString last = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts).last();
        QVERIFY2(last.startsWith("2024-03-01 12:00:00 cópia velunor-2024-03-01.db gravada (") && !last.contains("(0 kB")
                     && last.contains("guardadas, com data futura: velunor-2024-04-01.db"),
                 qPrintable(last));

        QCOMPARE(backup.takeFutureCopies(today), ahead);
        QVERIFY(backup.takeFutureCopies(today).isEmpty()); // told once
        QVERIFY(QFile::copy(backup.copyFile(today), backup.copyFile(QDate(2024, 5, 1))));
        QCOMPARE(backup.takeFutureCopies(today).size(), ahead.size() + 1); // a new one is told again
        QCOMPARE(backup.takeFutureCopies(QDate(2024, 6, 1)), QStringList()); // the clock has caught up
        QVERIFY(!QFile::exists(store->directory() + "/backups.future"));
    }

    void aFailureIsLoggedAndReportedOnce()
    {
        AutomaticBackup backup(store->directory());
        const QDateTime now(QDate(2024, 3, 1), QTime(18, 0));
        QFile blocker(backup.copiesDirectory()); // a file where the directory goes
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!backup.run(now));
        const QString failure = backup.takeFailure();
        QVERIFY2(failure.contains("2024-03-01 18:00:00") && failure.contains("backups não pode ser criado"),
                 qPrintable(failure));
        QVERIFY(backup.takeFailure().isEmpty());

        // the next copy, in a child process as the closing program starts it
        QVERIFY(!backup.run(now.addDays(1)));
        QVERIFY(blocker.remove());
        const qint64 child = backup.runDetached(now.addDays(1));
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(waitpid(pid_t(child), &status, 0), pid_t(child));
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(backup.runDetached(now.addDays(1)), qint64(-1)); // made already
        QVERIFY(backup.takeFailure().isEmpty());                 // the success cleared the failure

        QFile log(backup.logFile());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith("2024-03-02 18:00:00 a cópia automática falhou"));
        QVERIFY(lines[2].startsWith("2024-03-02 18:00:00 cópia velunor-2024-03-02.db gravada"));

        auto db = store->connect(); // the copy holds the store's patient
        db->execute("attach database :f as copia", {backup.copyFile(now.date().addDays(1))});
        QCOMPARE(db->query("select nome from copia.bddid").rows[0][0].toString(), QString("ANA"));
    }
};

VELUNOR_TEST(TestAutomaticBackup)
#include "tst_automatic_backup.moc"
