#pragma once

#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Types.h"

#include <QString>
#include <memory>
#include <optional>

namespace engine {

// A stored column as the store describes it.
struct StoredColumn {
    QString name;
    std::optional<FieldType> type; // none when the store's type maps to no field type
    int size = 0;
    QString storedType;            // the store's own type text, for messages
};

// A stored table as the store describes it.
struct TableInfo {
    QString name;
    std::vector<StoredColumn> columns;
    std::vector<IndexDef> indexes;  // the primary key first, when there is one
    QStringList identity;           // columns that identify a record ("rowid" on SQLite)

    const StoredColumn* column(const QString& name) const;
};

// One connection to a store, through its native client library. Values are
// exchanged as typed QVariants (see Types.h); `types` says how to read each
// selected column. Every failure throws EngineError with the store's text.
class Driver {
public:
    virtual ~Driver() = default;

    virtual QString kind() const = 0;              // "sqlite" or "postgres"
    virtual QString describeTarget() const = 0;    // for messages: the file or the server

    // A quoted identifier as the store spells the column or table.
    virtual QString ident(const QString& name) const = 0;
    // An expression as a term of "order by" or of an index: empty values
    // sort first on every store, as SQLite and the old tables have them.
    virtual QString sortTerm(const QString& expression) const { return expression; }
    QString orderTerm(const QString& column) const { return sortTerm(ident(column)); }
    // The name key of a column (NameOrder.h) with the collation that orders
    // it, made of the store's built-in functions only.
    virtual QString nameKey(const QString& column) const = 0;
    // Whether the store's text of an index expression is nameKey(column).
    virtual bool isNameKey(const QString& expression, const QString& column) const = 0;
    // The terms of an index, in order, as "create index" and "order by" take them.
    QStringList indexTerms(const IndexDef& index) const;
    // The placeholder of the n-th (0-based) parameter.
    virtual QString placeholder(int n) const = 0;
    // A condition that the stored column still holds the value bound to the
    // n-th parameter, exactly as the program read it; an empty value equals
    // an empty value.
    virtual QString holdsValue(const QString& column, FieldType type, int n) const = 0;

    // Rows of a select whose column types are known.
    virtual std::vector<Row> select(const QString& sql, const QVariantList& params,
                                    const std::vector<FieldType>& types) = 0;
    // A statement of the program's local SQL: column names and types as the
    // store reports them, every row copied to the client.
    virtual Snapshot query(const QString& sql, const QVariantList& params) = 0;
    // A statement without a result; returns the rows it changed.
    virtual qint64 execute(const QString& sql, const QVariantList& params) = 0;

    virtual std::optional<TableInfo> describe(const QString& table) = 0;
    // The column's type in a "create table"; `autoIncKey` for an autoincrement
    // column that is the whole primary key.
    virtual QString columnDeclaration(const FieldDef& field, bool autoIncKey) const = 0;
    // Whether that declaration already makes the column the primary key.
    virtual bool declaresAutoIncKeyInline() const = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // Whether the store takes only reads (a store file without write permission).
    virtual bool readOnly() const { return false; }
    // How long a statement waits for a lock that another session holds before
    // it fails; a negative value restores the store's usual wait.
    virtual void setLockWait(int milliseconds) = 0;

    // The store's type of a stored identity column, for reading identities.
    virtual FieldType identityType(const TableInfo& info, const QString& column) const;

protected:
    // One term of a stored index: a column's name, or for an expression an
    // empty name and the store's text of the expression.
    struct IndexTerm {
        QString column;
        QString expression;
    };
    // An index as the store lists its terms. A leading name key is
    // recognised; any other expression is left out, and the index is taken
    // to order by its columns.
    IndexDef indexOf(const QString& name, bool primary, const QList<IndexTerm>& terms) const;
};

// Opens the store that an alias designates. With `create`, a missing SQLite
// store file is created (the admin tool's "create"); otherwise it is an error.
std::unique_ptr<Driver> openDriver(const Alias& alias, const QString& connectionName, bool create);

// The database file of the SQLite store kept in `directory`.
QString sqliteStoreFile(const QString& directory);
// How long a connection to an SQLite store waits for another program's lock.
constexpr int kSqliteBusyTimeoutMs = 5000;

} // namespace engine
