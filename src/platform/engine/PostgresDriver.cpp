#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/NameOrder.h"
#include "platform/engine/SqlText.h"
#include "platform/engine/Values.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <cerrno>
#include <cstring>
#include <libpq-fe.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <utility>

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

// Defaults, in seconds, that an alias may change ("connect_timeout",
// "statement_timeout"). The advanced search over 100 000 patients takes well
// under a second; half a minute leaves room for a slow server or network.
const int kConnectTimeout = 10;
const int kStatementTimeout = 30;
// What the client waits beyond the server's own statement timeout, so that a
// server that is merely slow reports its timeout itself.
const int kAnswerGrace = 2;

int secondsSetting(const Alias& alias, const QString& key, int fallback)
{
    bool ok = false;
    const int value = alias.setting(key).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

// The name key's letters: capitals and the letters that sort with a plain
// one, and what each becomes.
const QString kKeyFrom = QString("ABCDEFGHIJKLMNOPQRSTUVWXYZ") + QString::fromUtf16(kAccentedLetters);
const QString kKeyTo = QString("abcdefghijklmnopqrstuvwxyz") + QString::fromUtf16(kPlainLetters);

// The shared PostgreSQL store, connected through Qt's PostgreSQL driver with
// the registry's host, port, database and user (the password, if any, comes
// from ~/.pgpass). Statements run through libpq's extended protocol, which
// executes exactly one statement: text after a ';' can never run.
//
// Nothing waits for the server without end: connecting gives up after the
// connect timeout, the server cancels a statement after the statement
// timeout, the kernel's keepalives and user timeout notice a server host that
// is gone, and the client itself gives up on a server that holds a statement
// and says nothing (a stopped server process still has its connections
// acknowledged by the kernel). A connection found broken is opened again
// before the next statement is sent; a statement is never sent twice.
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
    QString sortTerm(const QString& expression) const override { return expression + " nulls first"; }
    QString nameKey(const QString& column) const override
    {
        // translate() maps one character to one, whatever the server's
        // locale; the "C" collation then compares code points, as SQLite does.
        return QString("translate(%1, '%2', '%3') collate \"C\"").arg(ident(column), kKeyFrom, kKeyTo);
    }
    bool isNameKey(const QString& expression, const QString& column) const override
    {
        // The server's own text of the expression: its letters as given,
        // the column named without quotes.
        return expression.startsWith("translate(") && expression.contains(kKeyFrom) && expression.contains(kKeyTo)
            && expression.contains(QRegularExpression("\\b" + QRegularExpression::escape(column.toLower()) + "\\b"));
    }
    QString placeholder(int n) const override { return QString("$%1").arg(n + 1); }
    QString holdsValue(const QString& column, FieldType type, int n) const override
    {
        // Date-times are read to the millisecond: a column of finer
        // precision is compared at that.
        const QString stored = type == FieldType::DateTime ? "date_trunc('milliseconds', " + ident(column) + ")"
                                                            : ident(column);
        return stored + " is not distinct from " + placeholder(n);
    }

    std::vector<Row> select(const QString& sql, const QVariantList& params,
                            const std::vector<FieldType>& types) override;
    Snapshot query(const QString& sql, const QVariantList& params) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    std::optional<TableInfo> describe(const QString& table) override;
    QString columnDeclaration(const FieldDef& field, bool autoIncKey) const override;
    bool declaresAutoIncKeyInline() const override { return false; }
    void begin() override
    {
        execute("begin", {});
        m_inTransaction = true;
    }
    void commit() override
    {
        m_inTransaction = false;
        execute("commit", {});
    }
    void rollback() override
    {
        // A lost connection took its transaction with it.
        if (std::exchange(m_inTransaction, false) && !m_lost && PQstatus(m_conn) == CONNECTION_OK)
            execute("rollback", {});
    }
    void setLockWait(int milliseconds) override
    {
        if (milliseconds < 0)
            execute("reset lock_timeout", {});
        else
            execute("select set_config('lock_timeout', $1, false)", {QString::number(milliseconds)});
    }

private:
    // Runs one statement. With `wantRows`, a statement that yields no rows
    // is refused before it runs, as SQLite's driver does: run first, it
    // would change the store and only then be reported as an error.
    Result run(const QString& sql, const QVariantList& params, bool wantRows = false);
    Result check(Result result);
    // Opens the connection again when it is broken, before anything is sent.
    void ensureConnected();
    // Sends what a PQsend* call queued (`sent` is its result) and returns
    // the statement's result, within the statement's time.
    Result exchange(int sent);
    // Waits until the socket is ready for `events`; gives up on the
    // connection when the time is over.
    short waitFor(short events, const QDeadlineTimer& deadline);
    [[noreturn]] void giveUp();
    [[noreturn]] void fail(const QString& why);
    // libpq's text of what went wrong, or what a connection that broke on
    // the way means for the user.
    [[noreturn]] void failWithLibpq(const QString& why);
    static void onNotice(void* self, const PGresult* notice);

    QString m_connection;
    QString m_target;
    PGconn* m_conn = nullptr;
    PQnoticeReceiver m_previousReceiver = nullptr;
    int m_answerWait = 0;         // milliseconds the client waits for an answer
    bool m_lost = false;          // the connection must not be used again
    bool m_inTransaction = false;
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
    const int statementTimeout = secondsSetting(alias, "statement_timeout", kStatementTimeout);
    m_answerWait = (statementTimeout + kAnswerGrace) * 1000;
    // Everything a reconnection must set again is part of the connection's
    // options: libpq reconnects with them. Dates as text read as the program
    // shows them, dd/mm/yyyy, in a cast to text too (values::fromText reads
    // them back).
    db.setConnectOptions(QStringList{
        QString("connect_timeout=%1").arg(secondsSetting(alias, "connect_timeout", kConnectTimeout)),
        "application_name=velunor",
        "client_encoding=UTF8",
        "keepalives=1",
        "keepalives_idle=30",
        "keepalives_interval=10",
        "keepalives_count=3",
        QString("tcp_user_timeout=%1").arg(statementTimeout * 1000),
        QString("options='-c statement_timeout=%1 -c DateStyle=SQL,DMY'").arg(statementTimeout * 1000),
    }.join(';'));
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
    m_previousReceiver = PQsetNoticeReceiver(m_conn, &PostgresDriver::onNotice, this);
    PQsetnonblocking(m_conn, 1);
    // Qt's driver sets its own DateStyle as it connects.
    execute("set DateStyle to 'SQL, DMY'", {});
}

void PostgresDriver::onNotice(void* self, const PGresult* notice)
{
    auto* driver = static_cast<PostgresDriver*>(self);
    // An idle connection hears here why the server is about to close it
    // ("terminating connection due to administrator command").
    const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0))
        driver->m_lost = true;
    if (driver->m_previousReceiver)
        driver->m_previousReceiver(nullptr, notice);
}

PostgresDriver::~PostgresDriver()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void PostgresDriver::ensureConnected()
{
    // What the server sent while the connection was idle is read first: a
    // server that restarted or ended this session has said so and closed
    // it, and a server host that vanished has failed the keepalives.
    if (!m_lost && PQstatus(m_conn) == CONNECTION_OK && PQconsumeInput(m_conn))
        PQisBusy(m_conn); // parses what came: a closing server's last words reach onNotice
    if (!m_lost && PQstatus(m_conn) == CONNECTION_OK)
        return;
    if (m_inTransaction)
        throw EngineError(QString("A ligação ao servidor PostgreSQL %1 perdeu-se a meio de uma transacção; "
                                  "nada do que ela fez foi gravado.")
                              .arg(m_target));
    PQreset(m_conn); // within the connect timeout
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw EngineError(QString("Não foi possível voltar a ligar ao servidor PostgreSQL %1: %2")
                              .arg(m_target, QString::fromUtf8(PQerrorMessage(m_conn)).trimmed()));
    m_lost = false;
    PQsetnonblocking(m_conn, 1);
}

short PostgresDriver::waitFor(short events, const QDeadlineTimer& deadline)
{
    pollfd fd{PQsocket(m_conn), events, 0};
    for (;;) {
        const int n = ::poll(&fd, 1, int(deadline.remainingTime()));
        if (n > 0)
            return fd.revents;
        if (n == 0)
            giveUp();
        if (errno != EINTR)
            fail(QString("Erro na ligação ao servidor PostgreSQL %1: %2")
                     .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

void PostgresDriver::fail(const QString& why)
{
    // A statement half sent or half answered leaves the connection unusable.
    m_lost = true;
    throw EngineError(why);
}

void PostgresDriver::giveUp()
{
    // Whatever the server answers later is not wanted: the connection is
    // shut, so that a server process that wakes up finds its client gone and
    // rolls back what is still open, and a new one is made for the next
    // statement.
    ::shutdown(PQsocket(m_conn), SHUT_RDWR);
    fail(QString("O servidor PostgreSQL %1 não respondeu em %2 segundos. A ligação foi fechada e volta a ser "
                 "aberta na próxima operação; a operação em curso pode não ter sido gravada.")
             .arg(m_target)
             .arg(m_answerWait / 1000));
}

void PostgresDriver::failWithLibpq(const QString& why)
{
    // The server ended the session while the statement was on its way or
    // under way (it was stopped, restarted or killed, or its host is gone):
    // the statement's transaction went with it. Saving the same edit again
    // is safe even if its commit did reach the store: a save finds its own
    // values already there.
    if (PQstatus(m_conn) == CONNECTION_BAD)
        fail(QString("A ligação ao servidor PostgreSQL %1 perdeu-se durante a operação: o servidor foi parado ou "
                     "reiniciado, ou deixou de estar acessível. A alteração em curso não foi gravada e continua no "
                     "ecrã, para a gravar de novo; a ligação volta a ser aberta na próxima operação.")
                 .arg(m_target));
    fail(why);
}

Result PostgresDriver::exchange(int sent)
{
    const QDeadlineTimer deadline(m_answerWait);
    if (!sent)
        failWithLibpq(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
    for (;;) {
        const int flushed = PQflush(m_conn);
        if (flushed == 0)
            break;
        if (flushed < 0)
            failWithLibpq(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
        if (waitFor(POLLIN | POLLOUT, deadline) & POLLIN)
            PQconsumeInput(m_conn);
    }
    Result first;
    for (;;) {
        while (PQisBusy(m_conn)) {
            waitFor(POLLIN, deadline);
            if (!PQconsumeInput(m_conn))
                break; // the connection broke: libpq makes the error the result
        }
        Result next(PQgetResult(m_conn));
        if (!next)
            return first;
        if (!first)
            first = std::move(next);
    }
}

Result PostgresDriver::run(const QString& sql, const QVariantList& params, bool wantRows)
{
    ensureConnected();
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
        return check(
            exchange(PQsendQueryParams(m_conn, text.constData(), n, nullptr, pointers.data(), nullptr, nullptr, 0)));
    check(exchange(PQsendPrepare(m_conn, "", text.constData(), n, nullptr)));
    if (PQnfields(check(exchange(PQsendDescribePrepared(m_conn, ""))).get()) == 0)
        throw EngineError("O comando SQL não devolve registos.");
    return check(exchange(PQsendQueryPrepared(m_conn, "", n, pointers.data(), nullptr, nullptr, 0)));
}

Result PostgresDriver::check(Result result)
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        QString why = QString::fromUtf8(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(m_conn))
                          .trimmed();
        if (why.isEmpty())
            why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        if (PQstatus(m_conn) == CONNECTION_BAD)
            failWithLibpq(why);
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
    // An expression's column number is 0: it has no attribute, and the
    // server gives its text.
    const auto parts = select(
        "select ic.relname, ix.indisprimary, a.attname, "
        "case when k.attnum = 0 then pg_get_indexdef(ix.indexrelid, k.ord::int, false) end "
        "from pg_index ix "
        "join pg_class t on t.oid = ix.indrelid "
        "join pg_class ic on ic.oid = ix.indexrelid "
        "join pg_namespace n on n.oid = t.relnamespace "
        "cross join lateral unnest(ix.indkey::int2[]) with ordinality as k(attnum, ord) "
        "left join pg_attribute a on a.attrelid = t.oid and a.attnum = k.attnum "
        "where t.relname = $1 and n.nspname = current_schema() "
        "order by ix.indisprimary desc, ic.relname, k.ord",
        {table.toLower()}, {FieldType::String, FieldType::Boolean, FieldType::String, FieldType::String});
    for (size_t first = 0; first < parts.size();) {
        const QString name = parts[first][0].toString();
        const bool primary = parts[first][1].toBool();
        QList<IndexTerm> terms;
        size_t next = first;
        for (; next < parts.size() && parts[next][0].toString() == name; ++next)
            terms << IndexTerm{parts[next][2].toString(), parts[next][3].toString()};
        info.indexes.push_back(indexOf(primary ? QString() : name, primary, terms));
        first = next;
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
