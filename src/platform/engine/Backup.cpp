#include "platform/engine/Backup.h"

#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <sqlite3.h>

namespace engine {

namespace {

// A connection of its own to an SQLite file, straight on the library: the
// copies must not go through the program's connections, which may be open.
class SqliteFile {
public:
    SqliteFile(const QString& file, int flags) : m_file(file)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(m_db);
            fail(why);
        }
        sqlite3_busy_timeout(m_db, kSqliteBusyTimeoutMs);
    }
    ~SqliteFile() { sqlite3_close_v2(m_db); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    sqlite3* handle() const { return m_db; }
    int exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    void run(const char* sql)
    {
        if (exec(sql) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    // The first lines of a statement's result, as text.
    QStringList lines(const char* sql, int most)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
        QStringList found;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && found.size() < most)
            found << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
        return found;
    }
    [[noreturn]] void fail(const QString& why) const { throw EngineError(QString("%1: %2").arg(m_file, why)); }

private:
    QString m_file;
    sqlite3* m_db = nullptr;
};

void copyInto(const QString& from, const QString& to)
{
    SqliteFile source(from, SQLITE_OPEN_READONLY);
    SqliteFile target(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // One step for the whole file: it reads one snapshot of the store, which
    // in WAL mode never waits for writers nor makes them wait.
    sqlite3_backup* backup = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
    if (!backup)
        target.fail(QString::fromUtf8(sqlite3_errmsg(target.handle())));
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw EngineError(QString("A cópia de %1 para %2 falhou: %3").arg(from, to, QString::fromUtf8(sqlite3_errstr(rc))));
    // The copy takes the source's WAL mode; as a rollback-journal file it is
    // whole by itself, whatever is done with it.
    target.run("pragma journal_mode=delete");
    const QStringList problems = target.lines("pragma integrity_check", 5);
    if (problems != QStringList{"ok"})
        throw EngineError(QString("A cópia de %1 não passou a verificação de integridade: %2")
                              .arg(from, problems.join("; ")));
}

QString conninfo(const Alias& alias)
{
    auto quoted = [](QString value) { return "'" + value.replace('\\', "\\\\").replace('\'', "\\'") + "'"; };
    QStringList parts;
    const std::pair<const char*, const char*> keys[] = {
        {"host", "host"}, {"port", "port"}, {"dbname", "database"}, {"user", "user"}};
    for (const auto& [key, setting] : keys)
        if (!alias.setting(setting).isEmpty())
            parts << QString(key) + "=" + quoted(alias.setting(setting));
    parts << "connect_timeout=10";
    return parts.join(' ');
}

// Runs one of PostgreSQL's client programs to its end; returns what it wrote
// on its standard output.
QByteArray runClient(const QString& program, const QStringList& args)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        throw EngineError(QString("O programa %1 não foi encontrado: instale o pacote postgresql-client.").arg(program));
    QProcess process;
    process.start(path, args);
    if (!process.waitForStarted() || !process.waitForFinished(-1))
        throw EngineError(QString("O programa %1 não pôde ser executado: %2").arg(path, process.errorString()));
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw EngineError(QString("%1 falhou: %2").arg(program, QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
    return process.readAllStandardOutput();
}

void refuseExisting(const QString& file)
{
    if (QFileInfo::exists(file))
        throw EngineError(QString("O ficheiro %1 já existe; nada foi gravado.").arg(file));
}

// Gives the finished `part` its name.
void finish(const QString& part, const QString& file)
{
    if (!QFile::rename(part, file)) {
        QFile::remove(part);
        throw EngineError(QString("O ficheiro %1 não pôde ser gravado.").arg(file));
    }
}

} // namespace

void copySqliteFile(const QString& from, const QString& to)
{
    refuseExisting(to);
    if (!QFileInfo::exists(from))
        throw EngineError(QString("O ficheiro %1 não existe.").arg(from));
    const QString part = to + ".part";
    QFile::remove(part);
    try {
        copyInto(from, part);
    } catch (...) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(part + suffix);
        throw;
    }
    finish(part, to);
}

QString storeInUseText(const QString& target)
{
    return QString("A base de dados %1 está a ser usada por outro programa (um Velunor aberto?): "
                   "feche-o e tente de novo. Nada foi alterado.")
        .arg(target);
}

void replaceSqliteFile(const QString& store, const QString& replacement, const QString& aside)
{
    const QString inUse = storeInUseText(store);
    if (QFileInfo::exists(store)) {
        {
            SqliteFile live(store, SQLITE_OPEN_READWRITE);
            // Every connection to a WAL store holds a shared lock while it is
            // open, so an exclusive lock is had only when no one else is there.
            sqlite3_busy_timeout(live.handle(), 1000);
            live.run("pragma locking_mode=exclusive");
            const int rc = live.exec("begin exclusive");
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                throw EngineError(inUse);
            // A damaged store cannot be locked nor checkpointed; it is kept
            // aside as it is all the same.
            if (rc == SQLITE_OK) {
                live.exec("commit");
                live.exec("pragma wal_checkpoint(truncate)");
            }
        } // the last connection gone, SQLite removes the write-ahead log
        const QString wal = store + "-wal";
        if (QFileInfo(wal).size() > 0)
            throw EngineError(inUse);
        QFile::remove(wal);
        if (!QFile::rename(store, aside))
            throw EngineError(QString("A base de dados %1 não pôde ser posta de parte em %2. Nada foi alterado.")
                                  .arg(store, aside));
    }
    if (!QFile::rename(replacement, store)) {
        QFile::rename(aside, store);
        throw EngineError(QString("A cópia não pôde tomar o lugar de %1. Nada foi alterado.").arg(store));
    }
}

void dumpPostgres(const Alias& alias, const QString& file)
{
    refuseExisting(file);
    const QString part = file + ".part";
    QFile::remove(part);
    try {
        runClient("pg_dump", {"--format=custom", "--file=" + part, "--dbname=" + conninfo(alias)});
        postgresDumpTables(part); // the archive reads back
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    finish(part, file);
}

QStringList postgresDumpTables(const QString& file)
{
    if (!QFileInfo(file).isFile())
        throw EngineError(QString("O ficheiro %1 não existe.").arg(file));
    // A table's entry in the archive's list: "215; 1259 16390 TABLE public bddid velunor".
    static const QRegularExpression entry("^\\d+; \\d+ \\d+ TABLE \\S+ (\\S+) ", QRegularExpression::MultilineOption);
    QStringList tables;
    const QString list = QString::fromUtf8(runClient("pg_restore", {"--list", file}));
    for (auto it = entry.globalMatch(list); it.hasNext();)
        tables << it.next().captured(1);
    return tables;
}

void restorePostgres(const Alias& alias, const QString& file)
{
    runClient("pg_restore", {"--clean", "--if-exists", "--no-owner", "--no-privileges", "--single-transaction",
                             "--exit-on-error", "--dbname=" + conninfo(alias), file});
}

QString fileSizeText(const QString& file)
{
    const qint64 bytes = QFileInfo(file).size();
    if (bytes < 1024 * 1024)
        return QString("%1 kB").arg((bytes + 1023) / 1024);
    return QString("%1 MB").arg(QString::number(bytes / 1048576.0, 'f', 1));
}

} // namespace engine
