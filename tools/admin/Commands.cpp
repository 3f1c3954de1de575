#include "Admin.h"

#include "data/Field.h"
#include "data/Schema.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/StoredTable.h"
#include "platform/reporting/Printing.h"
#include "platform/richtext/Rtf.h"
#include "report/Rel.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using engine::Alias;
using engine::AliasRegistry;
using engine::Database;
using engine::EngineError;

namespace admin {

namespace {

// "host=db port=5432 dbname=velunor user=velunor" as registry settings.
QMap<QString, QString> postgresSettings(const QString& text)
{
    QMap<QString, QString> settings;
    for (const QString& part : text.split(' ', Qt::SkipEmptyParts)) {
        const int eq = int(part.indexOf('='));
        if (eq <= 0)
            throw EngineError(QString("\"%1\" não é da forma chave=valor.").arg(part));
        QString key = part.left(eq).toLower();
        if (key == "dbname")
            key = "database";
        static const QStringList known{"host", "port", "database", "user", "connect_timeout", "statement_timeout"};
        if (!known.contains(key))
            throw EngineError(QString("a chave \"%1\" não é conhecida (host, port, dbname, user, "
                                      "connect_timeout, statement_timeout); a senha vem de ~/.pgpass.")
                                  .arg(part.left(eq)));
        settings.insert(key, part.mid(eq + 1));
    }
    if (!settings.contains("database"))
        throw EngineError("falta dbname=... na ligação ao PostgreSQL.");
    return settings;
}

int aliasSet(const QStringList& args, Io io)
{
    if (args.size() != 3 || (args[1] != "--sqlite" && args[1] != "--postgres")) {
        io.err << "velunor-admin: use alias set NOME --sqlite DIRECTÓRIO ou alias set NOME --postgres \"...\"\n";
        return 2;
    }
    Alias alias;
    alias.name = args[0];
    if (args[1] == "--sqlite") {
        alias.driver = "sqlite";
        const QString dir = QFileInfo(args[2]).absoluteFilePath();
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isWritable()) {
            io.err << "velunor-admin: o directório " << dir << " não pode ser criado ou escrito.\n";
            return 1;
        }
        alias.settings.insert("path", dir);
    } else {
        alias.driver = "postgres";
        alias.settings = postgresSettings(args[2]);
    }
    AliasRegistry registry;
    registry.load();
    registry.set(alias);
    registry.save();
    io.out << "Alias " << alias.name << " registado em " << registry.path() << ".\n";
    return 0;
}

} // namespace

int aliasCommand(const QStringList& args, Io io)
{
    const QString sub = args.value(0);
    if (sub == "set")
        return aliasSet(args.mid(1), io);
    AliasRegistry registry;
    registry.load();
    if (sub == "list" && args.size() == 1) {
        for (const Alias& a : registry.aliases()) {
            io.out << a.name << "\t" << a.driver;
            for (auto it = a.settings.cbegin(); it != a.settings.cend(); ++it)
                io.out << "\t" << it.key() << "=" << AliasRegistry::written(it.value());
            io.out << "\n";
        }
        for (const engine::BadGroup& bad : registry.badGroups())
            io.err << "velunor-admin: " << bad.problem << " (velunor-admin alias remove \"" << bad.name
                   << "\" apaga este alias).\n";
        return registry.badGroups().isEmpty() ? 0 : 1;
    }
    if (sub == "remove" && args.size() == 2) {
        if (!registry.remove(args[1])) {
            io.err << "velunor-admin: o alias '" << args[1] << "' não está registado.\n";
            return 1;
        }
        registry.save();
        io.out << "Alias " << args[1] << " removido (os dados não foram apagados).\n";
        return 0;
    }
    io.err << "velunor-admin: use alias set, alias list ou alias remove NOME.\n";
    return 2;
}

bool createTables(Database& db, Io io)
{
    const auto tables = schema::allTables();
    bool refused = false;
    for (const auto& def : tables) {
        if (!db.describe(def.fileName))
            continue;
        const auto count = db.query("select count(*) from " + db.driver().ident(engine::sqlTableName(def.fileName)));
        if (count.rows.front().front().toLongLong() > 0) {
            io.err << "velunor-admin: a tabela \"" << def.fileName << "\" já tem registos; nada foi alterado.\n";
            refused = true;
        }
    }
    if (refused)
        return false;
    for (const auto& def : tables) {
        if (db.describe(def.fileName))
            db.execute("drop table " + db.driver().ident(engine::sqlTableName(def.fileName)));
        db.createTable(def);
    }
    return true;
}

int createCommand(const QString& alias, Io io)
{
    auto db = Database::connect(alias, "ADMIN", true);
    if (!createTables(*db, io))
        return 1;
    io.out << "Tabelas criadas em " << db->driver().describeTarget() << ".\n";
    return 0;
}

int demoCommand(const QString& alias, int patients, int examsPerPatient, Io io)
{
    auto db = Database::connect(alias, "ADMIN", true);
    if (!createTables(*db, io))
        return 1;
    fillDemo(*db, patients, examsPerPatient, io);
    return 0;
}

namespace {

// The store of `aliasName`, opened only to read it: a check changes nothing.
std::unique_ptr<Database> openToRead(const QString& aliasName)
{
    AliasRegistry registry;
    registry.load();
    Alias alias = registry.require(aliasName);
    alias.settings.insert("mode", "read-only");
    auto db = Database::connect(alias, "ADMIN");
    if (db->driver().kind() == "postgres")
        db->execute("set default_transaction_read_only = on");
    return db;
}

struct Damage {
    QStringList found;
    QString checked; // what was checked, for the report
};

// The schema of PostgreSQL's amcheck extension where it is installed and
// this user may run its checks; empty otherwise.
QString amcheckSchema(Database& db)
{
    try {
        const auto found = db.query("select n.nspname from pg_extension e join pg_namespace n "
                                    "on n.oid = e.extnamespace where e.extname = 'amcheck'");
        if (found.rows.empty())
            return {};
        const QString schema = db.driver().ident(found.rows.front().front().toString());
        const auto allowed = db.query(
            "select has_function_privilege(:heap, 'execute') and has_function_privilege(:index, 'execute')",
            {schema + ".verify_heapam(regclass, boolean, boolean, text, bigint, bigint)",
             schema + ".bt_index_check(regclass, boolean)"});
        return allowed.rows.front().front().toBool() ? schema : QString();
    } catch (const EngineError&) {
        return {}; // an older amcheck, without the heap check
    }
}

// A file cut short within its last page (a full disk, a copy stopped
// half-way) reads as whole to SQLite, the lost tail as zeros, and its
// integrity check finds nothing when that tail held text: the file must be
// as long as the header's page count times the page size. While a
// write-ahead log holds pages, the file alone is not the whole store and is
// not measured.
QString truncation(const QString& file, qint64 pageSize, qint64 pages)
{
    const qint64 size = QFileInfo(file).size();
    if (QFileInfo(file + "-wal").size() > 0 || size == pageSize * pages)
        return {};
    return QString("o ficheiro %1 tem %2 bytes e devia ter %3 (%4 páginas de %5 bytes): está truncado, e o fim "
                   "do que guardava perdeu-se.")
        .arg(file)
        .arg(size)
        .arg(pageSize * pages)
        .arg(pages)
        .arg(pageSize);
}

// What the store finds wrong in its own files: SQLite's integrity check; on
// PostgreSQL, amcheck's checks of every table and index where it may be
// used, and a read of every value of every row.
Damage storeDamage(Database& db)
{
    Damage damage;
    auto run = [&](const QString& sql, const QVariantList& params = {}) {
        try {
            return db.query(sql, params).rows;
        } catch (const EngineError& e) {
            damage.found << e.text();
            return std::vector<engine::Row>();
        }
    };
    if (db.driver().kind() == "sqlite") {
        damage.checked = "ficheiro verificado (integrity_check e tamanho)";
        for (const auto& row : run("pragma integrity_check"))
            for (const QString& line : row.front().toString().split('\n', Qt::SkipEmptyParts))
                if (line != "ok" && !line.startsWith("*** in database"))
                    damage.found << line;
        const auto pageSize = run("pragma page_size");
        const auto pages = run("pragma page_count");
        if (!pageSize.empty() && !pages.empty())
            if (const QString cut = truncation(db.driver().describeTarget(), pageSize[0][0].toLongLong(),
                                               pages[0][0].toLongLong());
                !cut.isEmpty())
                damage.found << cut;
        return damage;
    }
    const QString amcheck = amcheckSchema(db);
    damage.checked = amcheck.isEmpty()
        ? "todos os registos lidos (a extensão amcheck não está disponível)"
        : "tabelas e índices verificados com amcheck, todos os registos lidos";
    for (const auto& def : schema::allTables()) {
        if (!db.describe(def.fileName))
            continue; // reported with the table's record set, or created at the next start
        const QString table = db.driver().ident(engine::sqlTableName(def.fileName));
        if (!amcheck.isEmpty()) {
            for (const auto& row : run("select blkno, offnum, msg from " + amcheck
                                           + ".verify_heapam(:t::regclass, check_toast => true)",
                                       {table}))
                damage.found << QString("\"%1\", bloco %2, registo %3: %4")
                                    .arg(def.fileName, row[0].toString(), row[1].toString(), row[2].toString());
            run("select count(*) from (select " + amcheck
                    + ".bt_index_check(i.indexrelid, true) from pg_index i join pg_class c on c.oid = "
                      "i.indexrelid join pg_am a on a.oid = c.relam where i.indrelid = :t::regclass "
                      "and a.amname = 'btree') checked",
                {table});
        }
        // Turning each row into text reads every value, the long ones too.
        run("select count(length(t::text)) from " + table + " t");
    }
    return damage;
}

} // namespace

int checkCommand(const QString& alias, Io io)
{
    auto db = openToRead(alias);
    const Damage damage = storeDamage(*db);
    int problems = int(damage.found.size());
    for (const QString& p : damage.found)
        io.err << "Integridade: " << p << "\n";
    const std::pair<const char*, engine::TableSpec> sets[] = {
        {"TablePac", schema::tablePac()},     {"TableEco", schema::tableEco()},   {"TableFrase", schema::tableFrase()},
        {"TableMed", schema::tableMed()},     {"TableSS", schema::tableSS()},     {"TableTipoEx", schema::tableTipoEx()},
        {"TableConc", schema::tableConc()},   {"TablePesq", schema::tablePesq()},
        {"medida", schema::tableMedida()},    {"definicao", schema::tableDefinicao()},
        {"DocRecebido", schema::tableDocRecebido()}, {"MedRecebida", schema::tableMedRecebida()},
    };
    for (const auto& [name, spec] : sets) {
        // An older store gets the tables the program adds when it starts.
        if (schema::addedAtStartUp(spec.fileName) && !db->describe(spec.fileName)) {
            io.out << "A tabela \"" << spec.fileName << "\" ainda não existe: o programa cria-a ao arrancar.\n";
            continue;
        }
        QStringList found = engine::StoredTable::problems(*db, spec);
        if (found.isEmpty()) {
            try {
                engine::StoredTable table(*db, spec);
                table.read(spec.indexField.isEmpty() ? std::nullopt : std::optional<QVariant>(QVariant(-1)));
            } catch (const EngineError& e) {
                found << e.text();
            }
        }
        for (const QString& p : found)
            io.err << name << ": " << p << "\n";
        problems += int(found.size());
    }
    const QStringList columns = schema::patientSearchColumns();
    try {
        db->query("select " + columns.join(',') + " from bddid where 1 = 0");
    } catch (const EngineError& e) {
        io.err << "Pesquisa avançada: " << e.text() << "\n";
        ++problems;
    }
    if (problems) {
        io.err << problems << " problema(s) em " << db->driver().describeTarget() << ".\n";
        return 1;
    }
    io.out << "Base de dados " << db->driver().describeTarget() << ": " << damage.checked
           << "; todas as tabelas abrem sem problemas.\n";
    return 0;
}

namespace {

// A stored report as a file holds it: RTF is a stream of bytes, one for each
// character; a plain report is text, written in UTF-8. Sets `why` for a
// character the file cannot hold.
QByteArray reportBytes(const QString& report, QString* why)
{
    const bool rtf = richtext::isRtf(report);
    for (qsizetype i = 0; i < report.size(); ++i) {
        const QChar c = report[i];
        const bool lone = c.isHighSurrogate() ? i + 1 == report.size() || !report[i + 1].isLowSurrogate()
                          : c.isLowSurrogate() ? i == 0 || !report[i - 1].isHighSurrogate()
                                               : false;
        if ((rtf && c.unicode() > 0xFF) || lone) {
            *why = QString("o carácter U+%1, na posição %2, não pode ser escrito num ficheiro %3")
                       .arg(c.unicode(), 4, 16, QChar('0'))
                       .arg(i + 1)
                       .arg(rtf ? "RTF, que só guarda bytes" : "de texto UTF-8");
            return {};
        }
    }
    return rtf ? report.toLatin1() : report.toUtf8();
}

} // namespace

int exportReportCommand(const QString& alias, int patient, int exam, const QString& file, Io io)
{
    auto db = Database::connect(alias, "ADMIN");
    engine::StoredTable eco(*db, schema::tableEco());
    const auto exams = eco.read(QVariant(double(patient)));
    if (exam > int(exams.size())) {
        io.err << "velunor-admin: o paciente " << patient << " tem " << exams.size() << " exame(s).\n";
        return 1;
    }
    const int eco1 = schema::tableEco().indexOf("Eco1");
    const QString report = exams[exam - 1].values[eco1].toString();
    QString why;
    const QByteArray bytes = reportBytes(report, &why);
    if (!why.isEmpty()) {
        io.err << "velunor-admin: o relatório não foi gravado: " << why << ".\n";
        return 1;
    }
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() || !target.commit()) {
        io.err << "velunor-admin: " << file << ": " << target.errorString() << "\n";
        return 1;
    }
    io.out << "Relatório gravado em " << file << " (" << report.size() << " caracteres, "
           << (richtext::isRtf(report) ? "RTF" : "texto simples em UTF-8") << ").\n";
    return 0;
}

int reportPdfCommand(const QString& alias, int patient, const QString& examKey, const QString& file, Io io)
{
    useRegionalDefaults();
    auto db = Database::connect(alias, "ADMIN");
    const ExamSnapshot exam = ExamSnapshot::fromStore(*db, patient, examKey);
    const std::vector<reporting::Page> pages = TRelatorio::compose(exam);
    QString error;
    if (!reporting::writePdf(pages, file, exam.title(), &error)) {
        io.err << "velunor-admin: " << error << "\n";
        return 1;
    }
    io.out << "Relatório de " << exam.title() << " gravado em " << file << " (" << pages.size()
           << " página(s)).\n";
    return 0;
}

} // namespace admin
