#include "common/TestMain.h"
#include "platform/paradox/ParadoxTable.h"

#include <QDateTime>
#include <QFile>
#include <QTest>
#include <QtEndian>

using paradox::Error;
using paradox::Table;

namespace {

// The files beside this test were written by pxlib (see make_tables.c).
QByteArray fileBytes(const QString& name)
{
    QFile f(VELUNOR_TEST_DATA "/" + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test file %s", qPrintable(name));
    return f.readAll();
}

// Every record's values, in chain order.
QList<QVariantList> readAll(Table& table)
{
    QList<QVariantList> rows;
    while (table.next()) {
        QVariantList row;
        for (int i = 0; i < int(table.fields().size()); ++i)
            row << table.value(i);
        rows << row;
    }
    return rows;
}

QDateTime wallClock(QDate d, QTime t) { return QDateTime(d, t, Qt::UTC); }

// A version 3.0 table built byte by byte: the short header, a 79-byte table
// name, no code page (so DOS Latin I), fields NOME (A10) and IDADE (S), and
// two 1 KiB blocks whose first counts one record although a stale one follows.
QByteArray oldTable()
{
    QByteArray t(0x800 + 2 * 1024, '\0');
    auto put16 = [&](int at, int v) { qToLittleEndian<quint16>(quint16(v), t.data() + at); };
    put16(0x00, 12);     // record size
    put16(0x02, 0x800);  // header size
    t[0x04] = 2;         // a table without key
    t[0x05] = 1;         // 1 KiB blocks
    put16(0x06, 3);      // records
    put16(0x0A, 2);      // blocks in use
    put16(0x0C, 2);      // blocks in the file
    put16(0x0E, 1);      // first block
    put16(0x21, 2);      // fields
    t[0x39] = 3;         // version 3.0
    const char info[] = {0x01, 10, 0x03, 2};
    t.replace(0x58, 4, info, 4);
    t.replace(0x68, 8, "VELHA.DB", 8);
    t.replace(0x68 + 79, 12, "NOME\0IDADE\0", 12);
    auto record = [&](int at, const QByteArray& name, int age) {
        t.replace(at, name.size(), name);
        t[at + 10] = char(0x80);
        t[at + 11] = char(age);
    };
    put16(0x800, 2);                      // block 1: next is block 2, one record
    put16(0x804, 0);
    record(0x806, "JO\xc7O", 5);         // "JOÃO" in code page 850
    record(0x806 + 12, "Z\x90", 9);      // stale: past the block's count
    put16(0xC00 + 4, 12);                 // block 2: last of the file, two records
    record(0xC06, "ANA", 7);
    t.replace(0xC06 + 12, 3, "RUI");      // IDADE left empty
    return t;
}

} // namespace

// The reader of the old store's table files, on files it did not write.
class TestParadox : public QObject {
    Q_OBJECT

private slots:
    void readsEveryFieldTypeAndItsEmptyValue()
    {
        Table table("AllTypes.DB", fileBytes("AllTypes.DB"), fileBytes("AllTypes.MB"));
        QCOMPARE(table.version(), QString("7.x"));
        QCOMPARE(table.codePage(), 850);
        QCOMPARE(table.blockSize(), 3072);
        const QList<QVariantList> rows = readAll(table);
        QCOMPARE(rows.size(), 3);
        const QVariantList expected[] = {
            {QString::fromUtf8("ÁÇÃÕ ãõç ÉÊ"), QDate(1996, 5, 4), 32767, 2000000000, 1234.5, 3.25, true,
             QByteArray("curto"), QByteArray("Um memo formatado com mais de quinze letras."), QByteArray("\x01\x02\x03"),
             QTime(13, 45, 30, 125), wallClock({2024, 2, 29}, QTime(23, 59, 58, 999)), 7,
             QByteArray("\xde\xad\xbe\xef"), rows[0][14]},
            // negative numbers, 0.0 as a value, false, the first day, Velunor's day 0
            {QVariant(), QDate(1, 1, 1), -32767, -5, -0.01, 0.0, false, QVariant(), QVariant(), QVariant(), QVariant(),
             wallClock({1899, 12, 30}, QTime(0, 0)), 8, QVariant(), QVariant()},
            QVariantList(15),
        };
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 15; ++c)
                QVERIFY2(rows[r][c] == expected[r][c],
                         qPrintable(QString("record %1, %2: %3").arg(r + 1).arg(table.fields()[c].name, rows[r][c].toString())));
        QCOMPARE(rows[0][14].toByteArray().size(), 17); // BCD is handed over as stored
        QCOMPARE(table.fields()[14].type, paradox::FieldType::Bcd);
    }

    void followsTheBlockChainAndSkipsDeletedRecords()
    {
        auto table = Table::open(VELUNOR_TEST_DATA "/BDDID.DB");
        QCOMPARE(table->blockSize(), 16384);
        QList<int> numbers;
        QStringList names;
        while (table->next()) {
            numbers << table->value(table->indexOf("nf")).toInt();
            names << table->value(table->indexOf("NOME")).toString();
        }
        // Written in order 1..110 without the multiples of 7, 30 to a block;
        // NF 36 was deleted inside block 2, and the chain runs 1, 3, 2, 4.
        QList<int> written;
        for (int nf = 1; nf <= 110; ++nf)
            if (nf % 7 != 0)
                written << nf;
        const QList<int> expected = written.mid(0, 30) + written.mid(60, 30) + written.mid(31, 29) + written.mid(90);
        QCOMPARE(numbers, expected);
        QCOMPARE(names.first(), QString::fromUtf8("JOÃO GONÇALVES"));
        QVERIFY(names.contains(QString::fromUtf8("MARIA DA CONCEIÇÃO D'ÁVILA")));
    }

    void readsTheOldHeaderAndOnlyTheCountedRecordsOfABlock()
    {
        Table table("VELHA.DB", oldTable());
        QCOMPARE(table.version(), QString("3.0"));
        QCOMPARE(table.fields()[1].name, QString("IDADE"));
        const QList<QVariantList> expected = {
            {QString::fromUtf8("JOÃO"), 5}, {QString("ANA"), 7}, {QString("RUI"), QVariant()}};
        QCOMPARE(readAll(table), expected);
    }

    void memosComeFromTheRecordOrTheMemoFileInTheTablesCodePage()
    {
        Table table("eco.db", fileBytes("eco.db"), fileBytes("eco.mb"));
        const int eco1 = table.indexOf("Eco1"), ordSeg1 = table.indexOf("OrdSeg1");
        QList<QByteArray> reports;
        QString note;
        while (table.next()) {
            reports << table.value(eco1).toByteArray();
            if (table.position() == 1)
                note = table.text(table.value(ordSeg1).toByteArray());
        }
        // inside the record, in a shared block of the .MB, in a block of its own, plain text
        QCOMPARE(reports[0].size(), 132);
        QCOMPARE(reports[1].size(), 527);
        QCOMPARE(reports[2].size(), 2295);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(reports[i].startsWith("{\\rtf1\\ansi\\ansicpg1252"));
            QVERIFY(reports[i].endsWith("\\par\r\n}\r\n"));
        }
        QVERIFY(reports[2].contains("Fun\\'e7\\'e3o sist\\'f3lica preservada.\\par\r\nSitus"));
        QCOMPARE(table.text(reports[3]), QString::fromUtf8("Texto simples de um modelo: Conclusão: normal."));
        QCOMPARE(note, QString::fromUtf8("Reavaliar após a cirurgia."));
    }

    void codePagesGivePortugueseLetters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("text");
        QTest::newRow("860") << "FRASE.DB" << 860 << QString::fromUtf8("Comunicação interventricular perimembranosa restritiva.");
        QTest::newRow("850") << "Convencao.db" << 850 << QString::fromUtf8("Instituto de Protecção e Assistência na Doença");
        QTest::newRow("1252") << "medico.DB" << 1252 << QString::fromUtf8("Dra. Teresa Magalhães");
    }

    void codePagesGivePortugueseLetters()
    {
        QFETCH(QString, file);
        QFETCH(int, codePage);
        QFETCH(QString, text);
        auto table = Table::open(VELUNOR_TEST_DATA "/" + file);
        QCOMPARE(table->codePage(), codePage);
        QStringList found;
        while (table->next())
            for (int i = 0; i < int(table->fields().size()); ++i)
                found << table->value(i).toString();
        QVERIFY2(found.contains(text), qPrintable(found.join('|')));
    }

    void badInputsAreNamedAndRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("memos");
        QTest::addColumn<QString>("message");
        const QByteArray doctors = fileBytes("medico.DB"), exams = fileBytes("eco.db"), memos = fileBytes("eco.mb");
        auto patched = [](QByteArray b, int at, const QByteArray& bytes) { return b.replace(at, bytes.size(), bytes); };

        QTest::newRow("truncated") << "eco.db" << exams.left(9000) << memos << "eco.db: o tamanho do ficheiro";
        QTest::newRow("header cut") << "eco.db" << exams.left(1000) << memos << "eco.db: está truncado";
        QTest::newRow("block size") << "medico.DB" << patched(doctors, 5, "\x04") << QByteArray()
                                    << "não corresponde a blocos de 4096 bytes";
        QTest::newRow("no .MB") << "eco.db" << exams << QByteArray() << "eco.db: falta o ficheiro eco.MB";
        QTest::newRow("field type") << "medico.DB" << patched(doctors, 0x78 + 2, "\x07") << QByteArray()
                                    << "medico.DB: o campo 2 é de um tipo desconhecido (0x07).";
        QTest::newRow("not Paradox") << "medico.DB" << QByteArray(3000, 'x') << QByteArray()
                                     << "medico.DB: não é uma tabela Paradox";
        QTest::newRow("index") << "medico.DB" << patched(doctors, 4, "\x01") << QByteArray() << "ficheiro de índice";
        QTest::newRow("chain loop") << "medico.DB" << patched(doctors, 0x800, "\x01") << QByteArray()
                                    << "medico.DB: a cadeia de blocos volta ao bloco 1.";
        QTest::newRow("count") << "medico.DB" << patched(doctors, 6, "\x05") << QByteArray()
                               << "medico.DB: o cabeçalho indica 5 registos, mas a cadeia de blocos tem 4";
        // The chain 1, 3, 2, 4 stops at block 2 (16 KiB blocks after a 2 KiB
        // header), and the record count is that of the blocks it still has.
        const QByteArray patients = patched(fileBytes("BDDID.DB"), 0x800 + 0x4000, QByteArray(2, 0));
        QTest::newRow("chain short") << "BDDID.DB" << patched(patients, 6, "\x59") << fileBytes("BDDID.MB")
                                     << "BDDID.DB: o cabeçalho indica 4 blocos em uso, mas a cadeia de blocos passa por 3";
        // Record 3's report lives in a block of its own, which the cut .MB lacks.
        QTest::newRow("memo past end") << "eco.db" << exams << memos.left(8192)
                                       << "eco.db, registo 3, campo Eco1: o memo aponta para fora do ficheiro eco.MB.";
    }

    void badInputsAreNamedAndRefused()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, memos);
        QFETCH(QString, message);
        try {
            Table table(file, data, memos);
            readAll(table);
            QFAIL("no error");
        } catch (const Error& e) {
            QVERIFY2(e.text().contains(message), qPrintable(e.text()));
        }
    }
};

VELUNOR_TEST(TestParadox)
#include "tst_paradox.moc"
