// velunor-admin import on a generated old store: 20 000 patients and 100 000
// exams with reports of 2 KB, written as the old program's table files, then
// imported into a fresh SQLite store. Prints the time of the whole command.
//
//   bench_import [PATIENTS EXAMS]     (the alias argument of scripts/bench is ignored)

#include "data/Schema.h"
#include "platform/engine/Types.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

using engine::FieldDef;
using engine::FieldType;

namespace {

// A writer of the old table files, written from the format's description and
// only as far as the benchmark needs: version 7 tables without key, memos in
// blocks of their own.
struct OldField {
    QByteArray name;
    unsigned char type;
    int size;
};

OldField oldField(const FieldDef& f)
{
    switch (f.type) {
    case FieldType::AutoInc: return {f.name.toLatin1(), 0x16, 4};
    case FieldType::Integer: return {f.name.toLatin1(), 0x04, 4};
    case FieldType::SmallInt: return {f.name.toLatin1(), 0x03, 2};
    case FieldType::Float: return {f.name.toLatin1(), 0x06, 8};
    case FieldType::Date: return {f.name.toLatin1(), 0x02, 4};
    case FieldType::DateTime: return {f.name.toLatin1(), 0x15, 8};
    case FieldType::Boolean: return {f.name.toLatin1(), 0x09, 1};
    case FieldType::String: return {f.name.toLatin1(), 0x01, f.size};
    case FieldType::Memo: return {f.name.toLatin1(), 0x0C, f.name == "Eco1" ? 250 : 11};
    }
    return {};
}

void bigEndian(char* p, quint64 v, int n)
{
    for (int i = n - 1; i >= 0; --i, v >>= 8)
        p[i] = char(v & 0xFF);
}
void putInt(char* p, qint64 v, int n) { bigEndian(p, quint64(v) ^ (quint64(1) << (8 * n - 1)), n); }
void putDouble(char* p, double d)
{
    quint64 bits;
    std::memcpy(&bits, &d, 8);
    bigEndian(p, d >= 0 ? bits ^ (quint64(1) << 63) : ~bits, 8);
}
qint64 dayNumber(const QDate& d) { return d.toJulianDay() - 1721425; }

class MemoFile {
public:
    explicit MemoFile(const QString& path) : m_file(path)
    {
        m_file.open(QIODevice::WriteOnly);
        QByteArray header(4096, '\0');
        header[1] = 1;
        m_file.write(header);
    }
    // Writes `data` in a block of its own; returns the pointer's offset.
    quint32 add(const QByteArray& data)
    {
        const quint32 at = quint32(m_file.pos());
        const int chunks = int((9 + data.size() + 4095) / 4096);
        QByteArray block(chunks * 4096, '\0');
        block[0] = 2;
        qToLittleEndian<quint16>(quint16(chunks), block.data() + 1);
        qToLittleEndian<quint32>(quint32(data.size()), block.data() + 3);
        block.replace(9, data.size(), data);
        m_file.write(block);
        return at | 0xFF;
    }

private:
    QFile m_file;
};

// Writes `count` records; `fill` puts record n's values at its bytes.
void writeTable(const QString& path, const std::vector<OldField>& fields, int count,
                const std::function<void(int, char*, const std::vector<int>&)>& fill)
{
    std::vector<int> offsets;
    int recordSize = 0;
    for (const OldField& f : fields) {
        offsets.push_back(recordSize);
        recordSize += f.size;
    }
    const int blockSize = 4096, perBlock = (blockSize - 6) / recordSize;
    const int blocks = (count + perBlock - 1) / perBlock;
    const int n = int(fields.size());
    QByteArray h(0x800, '\0');
    auto put16 = [&](int at, int v) { qToLittleEndian<quint16>(quint16(v), h.data() + at); };
    put16(0x00, recordSize);
    put16(0x02, 0x800);
    h[0x04] = 2;
    h[0x05] = char(blockSize / 1024);
    qToLittleEndian<quint32>(quint32(count), h.data() + 0x06);
    put16(0x0A, blocks);
    put16(0x0C, blocks);
    put16(0x0E, blocks ? 1 : 0);
    put16(0x10, blocks);
    put16(0x21, n);
    h[0x39] = 12;
    put16(0x58, 0x10C);
    put16(0x5A, 0x10C);
    put16(0x6A, 1252);
    int at = 0x78;
    for (const OldField& f : fields) {
        h[at++] = char(f.type);
        h[at++] = char(f.size);
    }
    at += 4 + 4 * n;
    h.replace(at, 8, "TABLE.DB");
    at += 261;
    for (const OldField& f : fields) {
        h.replace(at, f.name.size(), f.name);
        at += int(f.name.size()) + 1;
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(h);
    QByteArray block(blockSize, '\0');
    for (int b = 0, record = 0; b < blocks; ++b) {
        block.fill('\0');
        const int here = qMin(perBlock, count - record);
        qToLittleEndian<quint16>(quint16(b + 1 < blocks ? b + 2 : 0), block.data());
        qToLittleEndian<quint16>(quint16(b), block.data() + 2);
        qToLittleEndian<qint16>(qint16((here - 1) * recordSize), block.data() + 4);
        for (int i = 0; i < here; ++i, ++record)
            fill(record, block.data() + 6 + i * recordSize, offsets);
        file.write(block);
    }
}

std::vector<OldField> oldFields(const std::vector<FieldDef>& defs)
{
    std::vector<OldField> out;
    for (const FieldDef& f : defs)
        out.push_back(oldField(f));
    return out;
}

int indexOf(const std::vector<FieldDef>& defs, const char* name)
{
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].name == name)
            return int(i);
    return -1;
}

void generate(const QString& dir, int patients, int exams)
{
    const auto tables = schema::storedTables();
    const std::vector<FieldDef> patientDefs = tables[0].columns, examDefs = tables[1].columns;
    const QDate today(2026, 12, 9);
    writeTable(dir + "/BDDID.DB", oldFields(patientDefs), patients, [&](int n, char* r, const std::vector<int>& at) {
        putInt(r + at[indexOf(patientDefs, "NF")], n + 1, 4);
        const QByteArray name = "PACIENTE " + QByteArray::number(n) + " GON\xc7" "ALVES";
        std::memcpy(r + at[indexOf(patientDefs, "NOME")], name.constData(), name.size());
        putDouble(r + at[indexOf(patientDefs, "DNASC")], dayNumber(today.addDays(-(n % 3650))) * 86400000.0);
        std::memcpy(r + at[indexOf(patientDefs, "CIDADE")], "\xc9vora", 5);
    });
    MemoFile memos(dir + "/ECO.MB");
    QByteArray report = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs20 ";
    while (report.size() < 2040)
        report += "Situs solitus. Fun\\'e7\\'e3o sist\\'f3lica preservada.\\par ";
    report = report.left(2046) + "}";
    const int eco1 = indexOf(examDefs, "Eco1");
    writeTable(dir + "/ECO.DB", oldFields(examDefs), exams, [&](int n, char* r, const std::vector<int>& at) {
        putDouble(r + at[indexOf(examDefs, "CodigoPaciente")], 1 + n % patients);
        putDouble(r + at[indexOf(examDefs, "CodigoExame")], dayNumber(today) * 86400000.0 - n * 1000.0);
        putInt(r + at[indexOf(examDefs, "DataExame")], dayNumber(today.addDays(-n / 100)), 4);
        putInt(r + at[indexOf(examDefs, "Peso")], 3200 + n % 1000, 2);
        putDouble(r + at[indexOf(examDefs, "Vd")], 1.5);
        putDouble(r + at[indexOf(examDefs, "Executor")], 1 + n % 3);
        r[at[indexOf(examDefs, "Dcc")]] = char(0x81);
        std::memcpy(r + at[eco1], report.constData(), 240); // the record keeps the first bytes
        qToLittleEndian<quint32>(memos.add(report), r + at[eco1] + 240);
        qToLittleEndian<quint32>(quint32(report.size()), r + at[eco1] + 244);
    });
    for (size_t t = 2; t < tables.size(); ++t) {
        if (tables[t].fileName == "Conclusao.DB")
            continue;
        writeTable(dir + "/" + tables[t].fileName, oldFields(tables[t].columns), 1,
                   [&](int, char* r, const std::vector<int>&) { putInt(r, 1, 4); });
        MemoFile(dir + "/" + QFileInfo(tables[t].fileName).completeBaseName() + ".MB");
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int patients = args.size() == 3 ? args[1].toInt() : 20000;
    const int exams = args.size() == 3 ? args[2].toInt() : 100000;
    QTemporaryDir work;
    const QString old = work.filePath("old"), store = work.filePath("store");
    QDir().mkpath(old);
    QElapsedTimer timer;
    timer.start();
    generate(old, patients, exams);
    std::printf("old tables: %d patients, %d exams with reports of 2 KB, written in %.1f s (ECO.MB %.0f MB)\n",
                patients, exams, timer.elapsed() / 1000.0, QFileInfo(old + "/ECO.MB").size() / 1e6);

    const QString admin = app.applicationDirPath() + "/../tools/admin/velunor-admin";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", work.filePath("config"));
    auto run = [&](const QStringList& a) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(admin, a);
        p.waitForFinished(-1);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
            std::exit(1);
        }
    };
    run({"alias", "set", "ImportBench", "--sqlite", store});
    timer.restart();
    run({"import", "ImportBench", old});
    std::printf("import into SQLite: %.1f s (goal: under 30 s)\n", timer.elapsed() / 1000.0);
    return 0;
}
