#include "Admin.h"

#include "data/Schema.h"
#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Backup.h"
#include "platform/engine/Database.h"
#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/StoredTable.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

using engine::Alias;
using engine::Database;
using engine::EngineError;

namespace admin {

namespace {

Alias registeredAlias(const QString& name)
{
    engine::AliasRegistry registry;
    registry.load();
    return registry.require(name);
}

// An alias's name as part of a file name.
QString fileSafe(const QString& name)
{
    static const QRegularExpression unsafe("[^A-Za-z0-9_-]");
    return QString(name).replace(unsafe, "_");
}

QString now() { return QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmmss"); }

QString count(Database& db, const char* table)
{
    return db.query(QString("select count(*) from ") + table).rows.front().front().toString();
}

QString contents(Database& db)
{
    QString text = count(db, "bddid") + " pacientes, " + count(db, "eco") + " exames";
    if (db.describe(schema::tableMedida().fileName))
        text += QString::fromUtf8(", ") + count(db, "medida") + QString::fromUtf8(" medições");
    return text;
}

// What a store lacks of the program's tables and columns. A copy of an
// older store may lack the tables the program adds when it starts.
QStringList schemaProblems(Database& db)
{
    QStringList found;
    for (const engine::TableDef& def : schema::allTables()) {
        if (!db.describe(def.fileName) && schema::addedAtStartUp(def.fileName))
            continue;
        engine::TableSpec spec;
        spec.fileName = def.fileName;
        spec.fields = def.columns;
        found << engine::StoredTable::problems(db, spec);
    }
    return found;
}

int refuse(const QString& why, Io io)
{
    io.err << "velunor-admin: " << why << (why.endsWith('.') ? "" : ".") << " Nada foi reposto nem alterado.\n";
    return 1;
}

QString notAStore(const QString& file, const QStringList& problems)
{
    return QString("%1 não é uma cópia de uma base de dados do Velunor: %2").arg(file, problems.join(" "));
}

int restoreSqlite(const Alias& alias, const QString& file, Io io)
{
    const QString dir = alias.setting("path");
    const QString backups = dir + "/backups";
    if (!QDir().mkpath(backups))
        throw EngineError(QString("O directório %1 não pode ser criado. Nada foi alterado.").arg(backups));
    // The copy is checked where it will stay, so that it takes the store's
    // place by a rename.
    QTemporaryDir staging(dir + "/.repor-XXXXXX");
    if (!staging.isValid())
        throw EngineError(QString("O directório %1 não pode ser escrito. Nada foi alterado.").arg(dir));
    try {
        engine::copySqliteFile(file, engine::sqliteStoreFile(staging.path()));
    } catch (const EngineError& e) {
        return refuse(e.text(), io);
    }
    Alias staged = alias;
    staged.settings.insert("path", staging.path());
    QString restored;
    {
        auto db = Database::connect(staged, "ADMIN-RESTORE");
        schema::createMissingTables(*db);
        if (const QStringList problems = schemaProblems(*db); !problems.isEmpty())
            return refuse(notAStore(file, problems), io);
        restored = contents(*db);
    }
    const QString store = engine::sqliteStoreFile(dir);
    const QString aside = backups + "/velunor-antes-de-repor-" + now() + ".db";
    const bool replacing = QFileInfo::exists(store);
    engine::replaceSqliteFile(store, engine::sqliteStoreFile(staging.path()), aside);
    io.out << "Base de dados " << store << " reposta a partir de " << file << " (" << restored << ").\n";
    if (replacing)
        io.out << "A base de dados substituída foi guardada em " << aside << ".\n";
    return 0;
}

int restorePostgres(const Alias& alias, const QString& file, Io io)
{
    QStringList tables;
    try {
        tables = engine::postgresDumpTables(file);
    } catch (const EngineError& e) {
        return refuse(e.text(), io);
    }
    QStringList missing;
    for (const engine::TableDef& def : schema::storedTables())
        if (!tables.contains(engine::sqlTableName(def.fileName)))
            missing << QString("falta a tabela \"%1\".").arg(def.fileName);
    if (!missing.isEmpty())
        return refuse(notAStore(file, missing), io);
    {
        // Every connection of the program names itself "velunor" to the server.
        auto db = Database::connect(alias, "ADMIN-RESTORE");
        const auto others = db->query("select count(*) from pg_stat_activity where datname = current_database() "
                                      "and application_name = 'velunor' and pid <> pg_backend_pid()");
        if (others.rows.front().front().toInt() > 0)
            throw EngineError(engine::storeInUseText(db->driver().describeTarget()));
    }
    // The replaced tables are kept beside the copy that replaces them.
    const QString aside = QFileInfo(file).dir().filePath(QString("%1-antes-de-repor-%2.dump").arg(fileSafe(alias.name), now()));
    engine::dumpPostgres(alias, aside);
    try {
        engine::restorePostgres(alias, file);
    } catch (const EngineError& e) {
        throw EngineError(e.text() + "\nNada foi alterado: a reposição é feita numa só transacção.");
    }
    auto db = Database::connect(alias, "ADMIN-RESTORE");
    // The restore replaces only the tables the copy holds: an added table
    // that an older copy lacks goes too, and comes back empty.
    for (const engine::TableDef& def : schema::addedTables())
        if (!tables.contains(engine::sqlTableName(def.fileName)))
            db->execute("drop table if exists " + db->driver().ident(engine::sqlTableName(def.fileName)));
    schema::createMissingTables(*db);
    io.out << "Base de dados " << db->driver().describeTarget() << " reposta a partir de " << file << " ("
           << contents(*db) << ").\n";
    io.out << "A base de dados substituída foi guardada em " << aside << ".\n";
    return 0;
}

} // namespace

int backupCommand(const QString& aliasName, const QString& fileArg, Io io)
{
    const Alias alias = registeredAlias(aliasName);
    const bool sqlite = alias.driver == "sqlite";
    const QString file = QFileInfo(fileArg.isEmpty() ? QString("%1-%2.%3").arg(fileSafe(alias.name), now(),
                                                                                sqlite ? "db" : "dump")
                                                     : fileArg)
                             .absoluteFilePath();
    if (sqlite)
        engine::copySqliteFile(engine::sqliteStoreFile(alias.setting("path")), file);
    else
        engine::dumpPostgres(alias, file);
    io.out << "Cópia de segurança do alias " << alias.name << " gravada em " << file << " ("
           << engine::fileSizeText(file) << (sqlite ? ", integridade verificada).\n" : ").\n");
    return 0;
}

int restoreCommand(const QString& aliasName, const QString& file, Io io)
{
    const Alias alias = registeredAlias(aliasName);
    const QString absolute = QFileInfo(file).absoluteFilePath();
    return alias.driver == "sqlite" ? restoreSqlite(alias, absolute, io) : restorePostgres(alias, absolute, io);
}

} // namespace admin
