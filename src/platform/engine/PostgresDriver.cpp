#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/SqlText.h"
#include "platform/engine/Values.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <libpq-fe.h>
#include <memory>

namespace engine {

namespace {

// Type OIDs of the PostgreSQL catalogue that results are read by.
enum Oid_ : Oid {
    BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, Float4Oid = 700, Float8Oid = 701,
    NumericOid = 1700, DateOid = 1082, TimestampOid = 1114, TimestampTzOid = 1184
};

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The shared PostgreSQL store, connected through Qt's PostgreSQL driver with
// the registry's host, port, database and user (the password, if any, comes
// from ~/.pgpass). Statements run through libpq's extended protocol, which
// executes exactly one statement: text after a ';' can never run.
class PostgresDriver final : public Driver {
public:
    PostgresDriver(const Alias& alias, const QString& connectionName);
    ~PostgresDriver() override;

    QString kind() const override { return "postgres"; }
    QString describeTarget() const override { return m_target; }
    QString ident(const QString& name) const override
    {
        return '"' + name.toLower().replace('"', "\"\"") + '"';
    }
    QString orderTerm(const QString& name) const override { return ident(name) + " nulls first"; }
    QString placeholder(int n) const override { return QString("$%1").arg(n + 1); }

    std::vector<Row> select(const QString& sql, const QVariantList& params,
                            const std::vector<FieldType>& types) override;
    Snapshot query(const QString& sql, const QVariantList& params) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    std::optional<TableInfo> describe(const QString& table) override;
    QString columnDeclaration(const FieldDef& field, bool autoIncKey) const override;
    bool declaresAutoIncKeyInline() const override { return false; }
    void begin() override { execute("begin", {}); }
    void commit() override { execute("commit", {}); }
    void rollback() override
    {
        if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            execute("rollback", {});
    }

private:
    // Runs one statement. With `wantRows`, a statement that yields no rows
    // is refused before it runs, as SQLite's driver does: run first, it
    // would change the store and only then be reported as an error.
    Result run(const QString& sql, const QVariantList& params, bool wantRows = false);
    Result check(Result result) const;

    QString m_connection;
    QString m_target;
    PGconn* m_conn = nullptr;
};

PostgresDriver::PostgresDriver(const Alias& alias, const QString& connectionName)
    : m_connection(connectionName)
{
    const QString host = alias.setting("host");
    const QString database = alias.setting("database");
    const int port = alias.setting("port").isEmpty() ? 5432 : alias.setting("port").toInt();
    m_target = QString("%1:%2/%3").arg(host.isEmpty() ? "localhost" : host).arg(port).arg(database);
    if (database.isEmpty())
        throw EngineError(QString("Alias '%1': o registo não indica a base de dados (database).").arg(alias.name));

    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", m_connection);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(alias.setting("user"));
    db.setConnectOptions("connect_timeout=5;application_name=velunor");
    if (!db.open()) {
        const QString why = db.lastError().text().trimmed();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw EngineError(QString("Alias '%1': não foi possível ligar ao servidor PostgreSQL %2: %3")
                              .arg(alias.name, m_target, why));
    }
    const QVariant handle = db.driver()->handle();
    // Qt names the handle's type after libpq's struct: "pg_conn*" (older
    // releases said "PGconn*").
    if (handle.isValid() && (qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0))
        m_conn = *static_cast<PGconn* const*>(handle.data());
    if (!m_conn)
        throw EngineError(QString("Alias '%1': o driver de PostgreSQL não deu acesso à ligação.").arg(alias.name));
    PQsetClientEncoding(m_conn, "UTF8");
}

PostgresDriver::~PostgresDriver()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result PostgresDriver::run(const QString& sql, const QVariantList& params, bool wantRows)
{
    // A server that went away and came back is reached again on the next
    // statement instead of failing until the program is restarted.
    if (PQstatus(m_conn) == CONNECTION_BAD)
        PQreset(m_conn);

    const QByteArray text = sql.toUtf8();
    std::vector<QByteArray> buffers(params.size());
    std::vector<const char*> pointers(params.size(), nullptr);
    for (int i = 0; i < params.size(); ++i) {
        bool isNull = false;
        buffers[i] = values::toText(params[i], &isNull);
        pointers[i] = isNull ? nullptr : buffers[i].constData();
    }
    const int n = int(params.size());
    if (!wantRows)
        return check(Result(PQexecParams(m_conn, text.constData(), n, nullptr, pointers.data(), nullptr, nullptr, 0)));
    check(Result(PQprepare(m_conn, "", text.constData(), n, nullptr)));
    if (PQnfields(check(Result(PQdescribePrepared(m_conn, ""))).get()) == 0)
        throw EngineError("O comando SQL não devolve registos.");
    return check(Result(PQexecPrepared(m_conn, "", n, pointers.data(), nullptr, nullptr, 0)));
}

Result PostgresDriver::check(Result result) const
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        QString why = QString::fromUtf8(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(m_conn))
                          .trimmed();
        if (why.isEmpty())
            why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        throw EngineError(why);
    }
    return result;
}

std::vector<Row> PostgresDriver::select(const QString& sql, const QVariantList& params,
                                        const std::vector<FieldType>& types)
{
    const Result r = run(sql, params);
    const int rows = PQntuples(r.get());
    const int count = int(types.size());
    std::vector<Row> out;
    out.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        Row row(count);
        for (int c = 0; c < count; ++c)
            if (!PQgetisnull(r.get(), i, c))
                row[c] = values::fromText(types[c], PQgetvalue(r.get(), i, c), PQgetlength(r.get(), i, c));
        out.push_back(std::move(row));
    }
    return out;
}

FieldType typeOfOid(Oid oid)
{
    switch (oid) {
    case BoolOid: return FieldType::Boolean;
    case Int2Oid:
    case Int4Oid: return FieldType::Integer;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: return FieldType::Float;
    case DateOid: return FieldType::Date;
    case TimestampOid:
    case TimestampTzOid: return FieldType::DateTime;
    default: return FieldType::String;
    }
}

Snapshot PostgresDriver::query(const QString& sql, const QVariantList& params)
{
    const Result r = run(sql, params, true);
    const int count = PQnfields(r.get());
    Snapshot result;
    std::vector<FieldType> types(count);
    std::vector<bool> wide(count);
    for (int c = 0; c < count; ++c) {
        result.columns << QString::fromUtf8(PQfname(r.get(), c));
        types[c] = typeOfOid(PQftype(r.get(), c));
        wide[c] = PQftype(r.get(), c) == Int8Oid;
    }
    const int rows = PQntuples(r.get());
    result.rows.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        Row row(count);
        for (int c = 0; c < count; ++c) {
            if (PQgetisnull(r.get(), i, c))
                continue;
            const char* v = PQgetvalue(r.get(), i, c);
            const int n = PQgetlength(r.get(), i, c);
            if (wide[c]) {
                const qint64 x = QByteArray::fromRawData(v, n).toLongLong();
                row[c] = (x >= INT_MIN && x <= INT_MAX) ? QVariant(int(x)) : QVariant(x);
            } else {
                row[c] = values::fromText(types[c], v, n);
            }
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

qint64 PostgresDriver::execute(const QString& sql, const QVariantList& params)
{
    const Result r = run(sql, params);
    return QByteArray(PQcmdTuples(r.get())).toLongLong();
}

std::optional<TableInfo> PostgresDriver::describe(const QString& table)
{
    const auto cols = select(
        "select column_name, data_type, character_maximum_length, is_identity, column_default "
        "from information_schema.columns where table_schema = current_schema() and table_name = $1 "
        "order by ordinal_position",
        {table.toLower()},
        {FieldType::String, FieldType::String, FieldType::Integer, FieldType::String, FieldType::String});
    if (cols.empty())
        return std::nullopt;
    TableInfo info;
    info.name = table;
    for (const Row& r : cols) {
        StoredColumn c;
        c.name = r[0].toString();
        c.storedType = r[1].toString();
        const QString t = c.storedType;
        const bool generated = r[3].toString() == "YES" || r[4].toString().startsWith("nextval(");
        if (t == "integer")
            c.type = generated ? FieldType::AutoInc : FieldType::Integer;
        else if (t == "smallint")
            c.type = FieldType::SmallInt;
        else if (t == "double precision")
            c.type = FieldType::Float;
        else if (t == "date")
            c.type = FieldType::Date;
        else if (t == "timestamp without time zone")
            c.type = FieldType::DateTime;
        else if (t == "boolean")
            c.type = FieldType::Boolean;
        else if (t == "character varying") {
            c.type = FieldType::String;
            c.size = r[2].toInt();
        } else if (t == "text")
            c.type = FieldType::Memo;
        info.columns.push_back(c);
    }
    const auto parts = select(
        "select ic.relname, ix.indisprimary, a.attname "
        "from pg_index ix "
        "join pg_class t on t.oid = ix.indrelid "
        "join pg_class ic on ic.oid = ix.indexrelid "
        "join pg_namespace n on n.oid = t.relnamespace "
        "cross join lateral unnest(ix.indkey::int2[]) with ordinality as k(attnum, ord) "
        "join pg_attribute a on a.attrelid = t.oid and a.attnum = k.attnum "
        "where t.relname = $1 and n.nspname = current_schema() "
        "order by ix.indisprimary desc, ic.relname, k.ord",
        {table.toLower()}, {FieldType::String, FieldType::Boolean, FieldType::String});
    for (const Row& r : parts) {
        const QString name = r[0].toString();
        const bool primary = r[1].toBool();
        if (info.indexes.empty() || info.indexes.back().name != (primary ? QString() : name))
            info.indexes.push_back({primary ? QString() : name, {}, primary});
        info.indexes.back().columns << r[2].toString();
    }
    if (!info.indexes.empty() && info.indexes.front().primary)
        info.identity = info.indexes.front().columns;
    else
        info.identity = {"ctid"};
    return info;
}

QString PostgresDriver::columnDeclaration(const FieldDef& field, bool autoIncKey) const
{
    switch (field.type) {
    case FieldType::AutoInc: return "integer generated by default as identity";
    case FieldType::Integer: return "integer";
    case FieldType::SmallInt: return "smallint";
    case FieldType::Float: return "double precision";
    case FieldType::Date: return "date";
    case FieldType::DateTime: return "timestamp(3)";
    case FieldType::Boolean: return "boolean";
    case FieldType::String: return QString("varchar(%1)").arg(field.size);
    case FieldType::Memo: return "text";
    }
    return {};
}

} // namespace

std::unique_ptr<Driver> openPostgresDriver(const Alias& alias, const QString& connectionName)
{
    return std::make_unique<PostgresDriver>(alias, connectionName);
}

std::unique_ptr<Driver> openSqliteDriver(const Alias& alias, const QString& connectionName, bool create);

std::unique_ptr<Driver> openDriver(const Alias& alias, const QString& connectionName, bool create)
{
    if (alias.driver == "sqlite")
        return openSqliteDriver(alias, connectionName, create);
    if (alias.driver == "postgres" || alias.driver == "postgresql")
        return openPostgresDriver(alias, connectionName);
    throw EngineError(QString("Alias '%1': o driver '%2' não é conhecido (use sqlite ou postgres).")
                          .arg(alias.name, alias.driver));
}

} // namespace engine
