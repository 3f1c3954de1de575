#pragma once

#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Driver.h"
#include "platform/engine/Types.h"

#include <memory>

namespace engine {

// One connection to the store of a registered alias, known to the rest of the
// process under a database name ("BDC"): every table and query that names the
// same database name shares this connection. No user name or password is ever
// asked for; PostgreSQL takes them from the registry and ~/.pgpass.
class Database {
public:
    // Looks the alias up in the registry and connects. Errors name the alias
    // and say what is wrong: not registered, unknown driver, unusable
    // directory, unreachable server.
    static std::unique_ptr<Database> connect(const QString& aliasName, const QString& databaseName,
                                             bool createStore = false);
    static std::unique_ptr<Database> connect(const Alias& alias, const QString& databaseName,
                                             bool createStore = false);
    // The open database known under this name, or null.
    static Database* find(const QString& databaseName);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& name() const { return m_name; }
    const Alias& alias() const { return m_alias; }
    Driver& driver() { return *m_driver; }

    // Local SQL: exactly one statement; ":name" markers are bound by position
    // to `params` when any are given, otherwise left alone.
    Snapshot query(const QString& sql, const QVariantList& params = {});
    qint64 execute(const QString& sql, const QVariantList& params = {});

    // The stored table behind a file name ("Bddid.DB"), as the store describes it.
    std::optional<TableInfo> describe(const QString& fileName);
    void createTable(const TableDef& def);
    // Makes the index of a stored table again as `index` says, in one
    // transaction: the store keeps the old one when this fails.
    void replaceIndex(const QString& fileName, const IndexDef& index);
    // Adds a column, empty in every row, to a stored table.
    void addColumn(const QString& fileName, const FieldDef& field);

private:
    QString createIndexStatement(const QString& table, const IndexDef& index) const;
    Database(Alias alias, QString name, std::unique_ptr<Driver> driver);
    QString prepare(const QString& sql, const QVariantList& params) const;

    Alias m_alias;
    QString m_name;
    std::unique_ptr<Driver> m_driver;
};

} // namespace engine
