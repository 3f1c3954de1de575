#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/NameOrder.h"
#include "platform/engine/SqlText.h"
#include "platform/engine/Values.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <sqlite3.h>
#include <string>

namespace engine {

namespace {

const char* const kStoreFile = "velunor.db";

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
        return;
    }
    if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
    }
    out += char(0x80 | (cp & 0x3F));
}

// SQLite's own upper() and lower() change only a to z, so "Upper(NOME) like
// '%JOÃO%'" would find nobody here while PostgreSQL finds the patient. These
// map every letter, one code point to one code point, as PostgreSQL does
// under a UTF-8 locale; ASCII text, the common case, takes a byte loop.
void mapCase(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const bool toUpper = sqlite3_user_data(ctx) != nullptr;
    const auto* in = sqlite3_value_text(argv[0]);
    if (!in) {
        sqlite3_result_null(ctx);
        return;
    }
    const int n = sqlite3_value_bytes(argv[0]);
    // Text the mapping leaves as it is (names are mostly kept in capitals)
    // is handed back without a copy.
    int first = 0;
    const unsigned char low = toUpper ? 'a' : 'A', high = toUpper ? 'z' : 'Z';
    while (first < n && in[first] < 0x80 && !(in[first] >= low && in[first] <= high))
        ++first;
    if (first == n && sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    std::string out;
    out.reserve(size_t(n) + 8);
    out.append(reinterpret_cast<const char*>(in), size_t(first));
    for (int i = first; i < n;) {
        const unsigned char c = in[i];
        if (c < 0x80) {
            out += char(toUpper ? (c >= 'a' && c <= 'z' ? c - 32 : c) : (c >= 'A' && c <= 'Z' ? c + 32 : c));
            ++i;
            continue;
        }
        // One UTF-8 sequence; a malformed one is copied byte by byte.
        const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        char32_t cp = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
        bool valid = len > 1 && i + len <= n;
        for (int k = 1; valid && k < len; ++k) {
            valid = (in[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (in[i + k] & 0x3F);
        }
        if (!valid) {
            out += char(c);
            ++i;
            continue;
        }
        appendUtf8(out, toUpper ? QChar::toUpper(cp) : QChar::toLower(cp));
        i += len;
    }
    sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

// Whether the file's header says WAL mode (file format versions 2).
bool inWalMode(const QString& file)
{
    QFile f(file);
    const QByteArray header = f.open(QIODevice::ReadOnly) ? f.read(20) : QByteArray();
    return header.size() == 20 && header[18] == 2 && header[19] == 2;
}

// The cast rewrite's function: the text of a value (a number's as SQLite
// writes it) cut to n characters, as substr(x, 1, n) gives it, but for
// "yyyy-mm-dd", alone or followed by " hh:mm:ss" and a fraction, which
// reads "dd/mm/yyyy" and the same rest first.
void charCast(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* in = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    std::string text(in ? in : "", size_t(n));
    // The shape, one character per position of "dddd-dd-dd dd:dd:dd.d...".
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    auto fits = [&](int i) { return shape[i] == 'd' ? bool(std::isdigit(uchar(text[i]))) : text[i] == shape[i]; };
    bool date = n == 10 || n == 19 || (n > 20 && text[19] == '.');
    for (int i = 0; date && i < std::min(n, 19); ++i)
        date = fits(i);
    for (int i = 20; date && i < n; ++i)
        date = std::isdigit(uchar(text[i]));
    if (date)
        text = text.substr(8, 2) + '/' + text.substr(5, 2) + '/' + text.substr(0, 4) + text.substr(10);
    // n characters of UTF-8: a character begins at each byte not of the form 10xxxxxx.
    const sqlite3_int64 keep = std::max<sqlite3_int64>(0, sqlite3_value_int64(argv[1]));
    size_t end = 0;
    for (sqlite3_int64 chars = 0; end < text.size(); ++end)
        if ((uchar(text[end]) & 0xC0) != 0x80 && chars++ == keep)
            break;
    sqlite3_result_text(ctx, text.data(), int(end), SQLITE_TRANSIENT);
}

void registerCaseMapping(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    static int upper = 1;
    sqlite3_create_function_v2(db, "upper", 1, flags, &upper, mapCase, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "lower", 1, flags, nullptr, mapCase, nullptr, nullptr, nullptr);
}

// The SQLite store: one file in the alias's directory, opened through Qt's
// SQLite driver in WAL mode with a busy timeout so that other programs can use
// the same file; statements then run straight on the sqlite3 handle.
class SqliteDriver final : public Driver {
public:
    SqliteDriver(const Alias& alias, const QString& connectionName, bool create);
    ~SqliteDriver() override;

    QString kind() const override { return "sqlite"; }
    QString describeTarget() const override { return m_file; }
    QString ident(const QString& name) const override
    {
        return '"' + QString(name).replace('"', "\"\"") + '"';
    }
    QString placeholder(int) const override { return "?"; }
    QString nameKey(const QString& column) const override;
    bool isNameKey(const QString& expression, const QString& column) const override
    {
        return expression.contains(nameKey(column)); // the index's own "create index" text
    }
    QString holdsValue(const QString& column, FieldType, int) const override { return ident(column) + " is ?"; }

    std::vector<Row> select(const QString& sql, const QVariantList& params,
                            const std::vector<FieldType>& types) override;
    Snapshot query(const QString& sql, const QVariantList& params) override;
    qint64 execute(const QString& sql, const QVariantList& params) override;
    std::optional<TableInfo> describe(const QString& table) override;
    QString columnDeclaration(const FieldDef& field, bool autoIncKey) const override;
    bool declaresAutoIncKeyInline() const override { return true; }
    void begin() override { execute("begin immediate", {}); }
    void commit() override { execute("commit", {}); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(m_db))
            execute("rollback", {});
    }
    // SQLite opens a file it may not write for reading only, without a word.
    bool readOnly() const override { return sqlite3_db_readonly(m_db, "main") == 1; }
    void setLockWait(int milliseconds) override
    {
        sqlite3_busy_timeout(m_db, milliseconds < 0 ? kSqliteBusyTimeoutMs : milliseconds);
    }

private:
    // A prepared statement from the cache, reset and bound to `params`.
    sqlite3_stmt* prepared(const QString& sql, const QVariantList& params);
    [[noreturn]] void fail() const;
    int step(sqlite3_stmt* stmt) const;

    QString m_connection;
    QString m_file;
    sqlite3* m_db = nullptr;
    QHash<QString, sqlite3_stmt*> m_statements;
};

SqliteDriver::SqliteDriver(const Alias& alias, const QString& connectionName, bool create)
    : m_connection(connectionName)
{
    const QString dir = alias.setting("path");
    // "mode=read-only" among the alias's settings (what the admin tool's
    // check asks for) opens the file only to read it: it keeps its journal
    // mode, nothing is written beside it, and a directory it may only read
    // will do.
    const bool readOnly = alias.setting("mode") == "read-only";
    auto refuse = [&](const QString& why) {
        throw EngineError(QString("Alias '%1': %2").arg(alias.name, why));
    };
    if (dir.isEmpty())
        refuse("o registo não indica o directório da base de dados (path).");
    const QFileInfo info(dir);
    if (!info.exists())
        refuse(QString("o directório %1 não existe.").arg(dir));
    if (!info.isDir())
        refuse(QString("%1 não é um directório.").arg(dir));
    if ((!readOnly && !info.isWritable()) || !info.isReadable() || !info.isExecutable())
        refuse(QString("o directório %1 não pode ser usado (sem permissão de leitura e escrita).").arg(dir));
    m_file = sqliteStoreFile(dir);
    if (!create && !QFileInfo::exists(m_file))
        refuse(QString("o directório %1 não contém uma base de dados (%2).").arg(dir, kStoreFile));

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_connection);
    db.setDatabaseName(m_file);
    QString options = QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs);
    if (readOnly) {
        options += ";QSQLITE_OPEN_READONLY";
        // Reading a store in WAL mode makes SQLite create -wal and -shm files
        // and leave them behind. Without a -wal file nobody has the store
        // open and the file alone holds all of it: it is read as immutable,
        // which touches nothing else.
        if (inWalMode(m_file) && !QFileInfo::exists(m_file + "-wal")) {
            db.setDatabaseName(QUrl::fromLocalFile(m_file).toString(QUrl::FullyEncoded) + "?immutable=1");
            options += ";QSQLITE_OPEN_URI";
        }
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        refuse(QString("a base de dados %1 não pode ser aberta: %2").arg(m_file, why));
    }
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_db = *static_cast<sqlite3* const*>(handle.data());
    if (!m_db)
        refuse("o driver de SQLite não deu acesso à base de dados.");
    registerCaseMapping(m_db);
    sqlite3_create_function_v2(m_db, sqltext::kSqliteCharCast, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                               nullptr, charCast, nullptr, nullptr, nullptr);
    try {
        // Reading the schema finds a file that is not an SQLite database now,
        // not at the first table that opens.
        execute("select count(*) from sqlite_master", {});
        if (!readOnly)
            query("pragma journal_mode=wal", {});
        // Reading through a memory map instead of the page cache's reads
        // makes the big ordered scans (every exam by date) three times faster.
        query("pragma mmap_size=1073741824", {});
    } catch (const EngineError& e) {
        refuse(QString("a base de dados %1 não pode ser usada: %2").arg(m_file, e.text()));
    }
}

SqliteDriver::~SqliteDriver()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void SqliteDriver::fail() const
{
    throw EngineError(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

int SqliteDriver::step(sqlite3_stmt* stmt) const
{
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const QString why = (rc & 0xff) == SQLITE_READONLY
            ? QString("A base de dados %1 está aberta só para leitura; nada foi gravado.").arg(m_file)
            : QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_reset(stmt);
        throw EngineError(why);
    }
    return rc;
}

sqlite3_stmt* SqliteDriver::prepared(const QString& sql, const QVariantList& params)
{
    sqlite3_stmt* stmt = m_statements.value(sql, nullptr);
    if (!stmt) {
        const QByteArray text = sql.toUtf8();
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, &tail) != SQLITE_OK)
            fail();
        if (!stmt)
            throw EngineError("O comando SQL está vazio.");
        if (tail && QByteArray(tail).trimmed().size() > 0) {
            sqlite3_finalize(stmt);
            throw EngineError("Só pode ser executado um comando SQL de cada vez.");
        }
        if (m_statements.size() > 64) {
            for (sqlite3_stmt* old : std::as_const(m_statements))
                sqlite3_finalize(old);
            m_statements.clear();
        }
        m_statements.insert(sql, stmt);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (params.size() != sqlite3_bind_parameter_count(stmt))
        throw EngineError(QString("O comando SQL espera %1 parâmetro(s) e recebeu %2.")
                              .arg(sqlite3_bind_parameter_count(stmt))
                              .arg(params.size()));
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(stmt, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
                rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
                break;
            default: {
                bool isNull = false;
                const QByteArray text = values::toText(v, &isNull);
                rc = sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (rc != SQLITE_OK)
            fail();
    }
    return stmt;
}

QVariant readColumn(sqlite3_stmt* stmt, int col, FieldType type)
{
    const int storage = sqlite3_column_type(stmt, col);
    if (storage == SQLITE_NULL)
        return {};
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
        if (storage == SQLITE_INTEGER)
            return int(sqlite3_column_int64(stmt, col));
        if (storage == SQLITE_FLOAT)
            return int(sqlite3_column_double(stmt, col));
        break;
    case FieldType::Float:
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
            return sqlite3_column_double(stmt, col);
        break;
    case FieldType::Boolean:
        if (storage == SQLITE_INTEGER)
            return sqlite3_column_int64(stmt, col) != 0;
        break;
    default:
        break;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return values::fromText(type, text, sqlite3_column_bytes(stmt, col));
}

std::vector<Row> SqliteDriver::select(const QString& sql, const QVariantList& params,
                                      const std::vector<FieldType>& types)
{
    sqlite3_stmt* stmt = prepared(sql, params);
    const int count = int(types.size());
    std::vector<Row> rows;
    while (step(stmt) == SQLITE_ROW) {
        Row row(count);
        for (int c = 0; c < count; ++c)
            row[c] = readColumn(stmt, c, types[c]);
        rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return rows;
}

// The field type a declared column type names, if any.
std::optional<FieldType> typeFromDeclaration(const QString& declared, int* size)
{
    const QString t = declared.trimmed().toUpper();
    *size = 0;
    if (t == "INTEGER" || t == "INT")
        return FieldType::Integer;
    if (t == "SMALLINT")
        return FieldType::SmallInt;
    if (t == "DOUBLE" || t == "DOUBLE PRECISION" || t == "FLOAT" || t == "REAL")
        return FieldType::Float;
    if (t == "DATE")
        return FieldType::Date;
    if (t == "TIMESTAMP" || t == "DATETIME")
        return FieldType::DateTime;
    if (t == "BOOLEAN" || t == "BOOL")
        return FieldType::Boolean;
    if (t == "TEXT" || t == "CLOB" || t == "MEMO")
        return FieldType::Memo;
    if (t.startsWith("VARCHAR(") || t.startsWith("CHAR(") || t.startsWith("CHARACTER VARYING(")) {
        const int open = int(t.indexOf('('));
        *size = t.mid(open + 1, t.indexOf(')') - open - 1).trimmed().toInt();
        return FieldType::String;
    }
    return std::nullopt;
}

Snapshot SqliteDriver::query(const QString& sql, const QVariantList& params)
{
    sqlite3_stmt* stmt = prepared(sqltext::rewriteCharCasts(sql), params);
    const int count = sqlite3_column_count(stmt);
    if (count == 0)
        throw EngineError("O comando SQL não devolve registos.");
    Snapshot result;
    std::vector<std::optional<FieldType>> declared(count);
    for (int c = 0; c < count; ++c) {
        result.columns << QString::fromUtf8(sqlite3_column_name(stmt, c));
        int size = 0;
        if (const char* decl = sqlite3_column_decltype(stmt, c)) {
            const auto type = typeFromDeclaration(QString::fromUtf8(decl), &size);
            if (type == FieldType::Date || type == FieldType::DateTime || type == FieldType::Boolean)
                declared[c] = type;
        }
    }
    while (step(stmt) == SQLITE_ROW) {
        Row row(count);
        for (int c = 0; c < count; ++c) {
            if (declared[c]) {
                row[c] = readColumn(stmt, c, *declared[c]);
                continue;
            }
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER: {
                const qint64 v = sqlite3_column_int64(stmt, c);
                row[c] = (v >= INT_MIN && v <= INT_MAX) ? QVariant(int(v)) : QVariant(v);
                break;
            }
            case SQLITE_FLOAT:
                row[c] = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_TEXT:
                row[c] = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                           sqlite3_column_bytes(stmt, c));
                break;
            case SQLITE_BLOB:
                row[c] = QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, c)),
                                    sqlite3_column_bytes(stmt, c));
                break;
            default:
                break;
            }
        }
        result.rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return result;
}

qint64 SqliteDriver::execute(const QString& sql, const QVariantList& params)
{
    sqlite3_stmt* stmt = prepared(sqltext::rewriteCharCasts(sql), params);
    while (step(stmt) == SQLITE_ROW) {
    }
    sqlite3_reset(stmt);
    return sqlite3_changes(m_db);
}

std::optional<TableInfo> SqliteDriver::describe(const QString& table)
{
    const Snapshot cols = query("select name, type, pk from pragma_table_info(?)", {table});
    if (cols.rows.empty())
        return std::nullopt;
    TableInfo info;
    info.name = table;
    info.identity = {"rowid"};
    QMap<int, QString> keyColumns;
    for (const Row& r : cols.rows) {
        StoredColumn c;
        c.name = r[0].toString();
        c.storedType = r[1].toString();
        c.type = typeFromDeclaration(c.storedType, &c.size);
        if (r[2].toInt() > 0)
            keyColumns.insert(r[2].toInt(), c.name);
        info.columns.push_back(c);
    }
    if (!keyColumns.isEmpty()) {
        info.indexes.push_back({QString(), keyColumns.values(), true});
        // An INTEGER column that is the whole primary key is the rowid: the
        // store assigns it, so it is an autoincrement column.
        if (keyColumns.size() == 1)
            for (StoredColumn& c : info.columns)
                if (c.name == keyColumns.first() && c.storedType.trimmed().toUpper() == "INTEGER")
                    c.type = FieldType::AutoInc;
    }
    const Snapshot indexes = query("select i.name, i.origin, m.sql from pragma_index_list(?) i "
                                   "left join sqlite_master m on m.type = 'index' and m.name = i.name order by i.name",
                                   {table});
    for (const Row& r : indexes.rows) {
        if (r[1].toString() == "pk")
            continue;
        const QString name = r[0].toString();
        // An expression has no column name; only the whole statement tells what it is.
        QList<IndexTerm> terms;
        for (const Row& p : query("select name from pragma_index_info(?) order by seqno", {name}).rows)
            terms << IndexTerm{p[0].toString(), p[0].isNull() ? r[2].toString() : QString()};
        info.indexes.push_back(indexOf(name, false, terms));
    }
    return info;
}

// Every letter that sorts with a plain one replaced by it, and then SQLite's
// own NOCASE, which compares A to Z as a to z: replace() and NOCASE are
// built into every SQLite, which upper() and lower() are not here (the
// program has its own). One replace() a letter keeps the nesting within
// what SQLite's parser takes.
QString SqliteDriver::nameKey(const QString& column) const
{
    QString key = ident(column);
    for (int i = 0; kAccentedLetters[i]; ++i)
        key = QString("replace(%1,'%2','%3')")
                  .arg(key, QString(QChar(kAccentedLetters[i])), QString(QChar(kPlainLetters[i])));
    return key + " collate nocase";
}

QString SqliteDriver::columnDeclaration(const FieldDef& field, bool autoIncKey) const
{
    switch (field.type) {
    case FieldType::AutoInc:
        return autoIncKey ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "INTEGER";
    case FieldType::Integer: return "INTEGER";
    case FieldType::SmallInt: return "SMALLINT";
    case FieldType::Float: return "DOUBLE";
    case FieldType::Date: return "DATE";
    case FieldType::DateTime: return "TIMESTAMP";
    case FieldType::Boolean: return "BOOLEAN";
    case FieldType::String: return QString("VARCHAR(%1)").arg(field.size);
    case FieldType::Memo: return "TEXT";
    }
    return {};
}

} // namespace

std::unique_ptr<Driver> openSqliteDriver(const Alias& alias, const QString& connectionName, bool create)
{
    return std::make_unique<SqliteDriver>(alias, connectionName, create);
}

QString sqliteStoreFile(const QString& directory)
{
    return QDir(directory).absoluteFilePath(kStoreFile);
}

} // namespace engine
