#include "common/AdminTool.h"
#include "common/TestMain.h"
#include "common/TestStore.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

// Another program at work on the store: each transaction adds a patient and
// a phrase, so that a consistent copy holds as many of one as of the other.
class Writer {
public:
    explicit Writer(const engine::Alias& alias) : m_thread([this, alias] { work(alias); }) {}
    ~Writer() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Returns once `count` transactions are done.
    void waitFor(int count) const
    {
        while (m_written < count && m_error.empty())
            std::this_thread::yield();
    }
    int written() const { return m_written; }
    QString error() const { return QString::fromStdString(m_error); }

private:
    void work(const engine::Alias& alias)
    {
        try {
            auto db = engine::Database::connect(alias, "WRITER");
            while (!m_stop) {
                db->driver().begin();
                db->execute("insert into bddid (nome) values ('ESCRITA')");
                db->execute("insert into frase (frase) values ('ESCRITA')");
                db->driver().commit();
                ++m_written;
            }
        } catch (const std::exception& e) {
            m_error = e.what();
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_written{0};
    std::string m_error;
    std::thread m_thread; // last: it starts with the members above in place
};

// The file that an admin message names after `before` and up to " (" or ".\n".
QString namedFile(const QString& out, const QString& before)
{
    const QString rest = out.section(before, 1);
    return rest.left(rest.indexOf(QRegularExpression(" \\(|\\.\\n")));
}

int patients(const TestStore& store) { return store.connect("COUNT")->query("select count(*) from bddid").rows[0][0].toInt(); }

} // namespace

// velunor-admin backup and restore on real stores, with the store in use.
class TestBackup : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        dir = std::make_unique<QTemporaryDir>();
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
    }
    void cleanup()
    {
        store.reset();
        dir.reset();
    }

    void copiesWhileWrittenAndRestoresOnceFree()
    {
        Writer writer(store->alias());
        writer.waitFor(20);
        const AdminRun backup = runAdmin({"backup", "Dorvica2"}, dir->path());
        QVERIFY2(backup.code == 0, qPrintable(backup.err + writer.error()));
        const QString copy = namedFile(backup.out, "gravada em ");
        QVERIFY2(QFileInfo(copy).fileName().startsWith("Dorvica2-" + QDate::currentDate().toString(Qt::ISODate)),
                 qPrintable(copy));
        writer.waitFor(writer.written() + 5);

        const AdminRun busy = runAdmin({"restore", "Dorvica2", copy});
        QCOMPARE(busy.code, 1);
        QVERIFY2(busy.err.contains("está a ser usada por outro programa"), qPrintable(busy.err));
        writer.stop();
        QVERIFY2(writer.error().isEmpty(), qPrintable(writer.error()));

        const AdminRun restore = runAdmin({"restore", "Dorvica2", copy});
        QVERIFY2(restore.code == 0, qPrintable(restore.err));
        QVERIFY(QFileInfo(namedFile(restore.out, "substituída foi guardada em ")).size() > 0);
        auto db = store->connect();
        const int restored = db->query("select count(*) from bddid").rows[0][0].toInt();
        QCOMPARE(db->query("select count(*) from frase").rows[0][0].toInt(), restored);
        QVERIFY2(restored >= 20 && restored < writer.written(), qPrintable(QString::number(restored)));
    }

    // The exams' measurements go with the copy; a copy of an older store,
    // without their table, is taken back as it is (the program adds it).
    void theMeasurementsGoWithTheCopy()
    {
        {
            auto db = store->connect();
            db->execute("insert into medida (codigopaciente, codigoexame, codigo, valor) "
                        "values (1, '2026-03-10 09:00:00.000', 'anel_ao', 14.5)");
        }
        const QString copy = dir->filePath("com-medidas");
        QCOMPARE(runAdmin({"backup", "Dorvica2", copy}).code, 0);
        store->connect()->execute("delete from medida");
        AdminRun r = runAdmin({"restore", "Dorvica2", copy});
        QVERIFY2(r.code == 0 && r.out.contains(QString::fromUtf8("1 medições")), qPrintable(r.err + r.out));
        QCOMPARE(store->connect()->query("select valor from medida").rows.at(0).at(0).toDouble(), 14.5);

        store->connect()->execute("drop table medida");
        QTest::qWait(1000); // the replaced store is kept aside under a name to the second
        const QString older = dir->filePath("sem-medidas");
        QCOMPARE(runAdmin({"backup", "Dorvica2", older}).code, 0);
        r = runAdmin({"restore", "Dorvica2", older});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

    void refusesWhatIsNotAGoodCopy()
    {
        store->connect()->execute("drop table eco");
        const QString noExams = dir->filePath("sem-exames");
        QCOMPARE(runAdmin({"backup", "Dorvica2", noExams}).code, 0);
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        store->connect()->execute("insert into bddid (nome) values ('ANA')");
        const QString good = dir->filePath("boa");
        QCOMPARE(runAdmin({"backup", "Dorvica2", good}).code, 0);
        QCOMPARE(runAdmin({"backup", "Dorvica2", good}).code, 1); // never over another file

        QFile source(good), damaged(dir->filePath("danificada")), text(dir->filePath("texto"));
        QVERIFY(source.open(QIODevice::ReadOnly) && damaged.open(QIODevice::WriteOnly) && text.open(QIODevice::WriteOnly));
        const QByteArray bytes = source.readAll();
        damaged.write(bytes.left(bytes.size() / 2) + QByteArray(bytes.size() - bytes.size() / 2, 'x'));
        text.write("nome;idade\nANA;3\n");
        damaged.close();
        text.close();

        for (const QString& file : {noExams, damaged.fileName(), text.fileName(), dir->filePath("nenhum")}) {
            const AdminRun r = runAdmin({"restore", "Dorvica2", file});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("Nada foi"), qPrintable(r.err));
            QCOMPARE(patients(*store), 1);
        }
        if (TestStore::isPostgres()) {
            const QByteArray path = qgetenv("PATH");
            qputenv("PATH", "/nenhum");
            const AdminRun r = runAdmin({"backup", "Dorvica2", dir->filePath("sem-pg_dump")});
            qputenv("PATH", path);
            QVERIFY2(r.code == 1 && r.err.contains("pg_dump não foi encontrado"), qPrintable(r.err));
        }
    }
};

VELUNOR_TEST(TestBackup)
#include "tst_backup.moc"
