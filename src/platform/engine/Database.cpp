#include "platform/engine/Database.h"

#include "platform/engine/EngineError.h"
#include "platform/engine/SqlText.h"

#include <QHash>

namespace engine {

namespace {
QHash<QString, Database*>& openDatabases()
{
    static QHash<QString, Database*> map;
    return map;
}

// Statements are read with the rules of the store that runs them.
sqltext::Dialect dialectOf(const Driver& driver)
{
    return driver.kind() == "postgres" ? sqltext::Dialect::Postgres : sqltext::Dialect::Sqlite;
}
} // namespace

QString sqlTableName(const QString& fileName)
{
    QString name = fileName;
    const int dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    return name.toLower();
}

std::unique_ptr<Database> Database::connect(const QString& aliasName, const QString& databaseName,
                                            bool createStore)
{
    AliasRegistry registry;
    registry.load();
    return connect(registry.require(aliasName), databaseName, createStore);
}

std::unique_ptr<Database> Database::connect(const Alias& alias, const QString& databaseName,
                                            bool createStore)
{
    if (find(databaseName))
        throw EngineError(QString("A base de dados '%1' já está ligada.").arg(databaseName));
    auto driver = openDriver(alias, "velunor-" + databaseName, createStore);
    return std::unique_ptr<Database>(new Database(alias, databaseName, std::move(driver)));
}

Database* Database::find(const QString& databaseName)
{
    return openDatabases().value(databaseName.toUpper(), nullptr);
}

Database::Database(Alias alias, QString name, std::unique_ptr<Driver> driver)
    : m_alias(std::move(alias)), m_name(std::move(name)), m_driver(std::move(driver))
{
    openDatabases().insert(m_name.toUpper(), this);
}

Database::~Database()
{
    openDatabases().remove(m_name.toUpper());
}

QString Database::prepare(const QString& sql, const QVariantList& params) const
{
    const QString statement = sqltext::singleStatement(sql, dialectOf(*m_driver));
    if (params.isEmpty())
        return statement;
    return sqltext::replaceMarkers(statement, dialectOf(*m_driver),
                                   [this](int n) { return m_driver->placeholder(n); });
}

Snapshot Database::query(const QString& sql, const QVariantList& params)
{
    const QString statement = prepare(sql, params);
    Snapshot result = m_driver->query(statement, params);
    // Columns are named as the statement typed them (the stores fold or
    // replace the case), and a repeated name gets "_1", "_2", ...
    const QStringList typed = sqltext::selectListNames(statement, dialectOf(*m_driver));
    for (int c = 0; c < result.columns.size(); ++c) {
        const QString& name = c < typed.size() ? typed[c] : QString();
        if (name.compare(result.columns[c], Qt::CaseInsensitive) == 0)
            result.columns[c] = name;
        const QString base = result.columns[c];
        for (int n = 1; result.columns.mid(0, c).contains(result.columns[c], Qt::CaseInsensitive); ++n)
            result.columns[c] = QString("%1_%2").arg(base).arg(n);
    }
    return result;
}

qint64 Database::execute(const QString& sql, const QVariantList& params)
{
    return m_driver->execute(prepare(sql, params), params);
}

std::optional<TableInfo> Database::describe(const QString& fileName)
{
    return m_driver->describe(sqlTableName(fileName));
}

QString Database::createIndexStatement(const QString& table, const IndexDef& index) const
{
    return "create index " + m_driver->ident(index.name) + " on " + m_driver->ident(table) + " ("
        + m_driver->indexTerms(index).join(", ") + ")";
}

void Database::createTable(const TableDef& def)
{
    const QString table = sqlTableName(def.fileName);
    auto sameName = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    const IndexDef* primary = nullptr;
    for (const IndexDef& index : def.indexes)
        if (index.primary)
            primary = &index;

    QStringList parts;
    bool keyInline = false;
    for (const FieldDef& field : def.columns) {
        const bool autoIncKey = primary && primary->columns.size() == 1 && field.type == FieldType::AutoInc
            && sameName(primary->columns.first(), field.name);
        parts << m_driver->ident(field.name) + " " + m_driver->columnDeclaration(field, autoIncKey);
        keyInline = keyInline || (autoIncKey && m_driver->declaresAutoIncKeyInline());
    }
    if (primary && !keyInline) {
        QStringList key;
        for (const QString& column : primary->columns)
            key << m_driver->ident(column);
        parts << "primary key (" + key.join(", ") + ")";
    }

    m_driver->begin();
    try {
        m_driver->execute("create table " + m_driver->ident(table) + " (" + parts.join(", ") + ")", {});
        for (const IndexDef& index : def.indexes)
            if (!index.primary)
                m_driver->execute(createIndexStatement(table, index), {});
        m_driver->commit();
    } catch (...) {
        m_driver->rollback();
        throw;
    }
}

void Database::replaceIndex(const QString& fileName, const IndexDef& index)
{
    m_driver->begin();
    try {
        m_driver->execute("drop index " + m_driver->ident(index.name), {});
        m_driver->execute(createIndexStatement(sqlTableName(fileName), index), {});
        m_driver->commit();
    } catch (...) {
        m_driver->rollback();
        throw;
    }
}

void Database::addColumn(const QString& fileName, const FieldDef& field)
{
    m_driver->execute("alter table " + m_driver->ident(sqlTableName(fileName)) + " add " + m_driver->ident(field.name)
                          + " " + m_driver->columnDeclaration(field, false),
                      {});
}

QStringList Driver::indexTerms(const IndexDef& index) const
{
    QStringList terms;
    if (index.nameOrder && !index.columns.isEmpty())
        terms << sortTerm(nameKey(index.columns.first()));
    for (const QString& column : index.columns)
        terms << orderTerm(column);
    return terms;
}

IndexDef Driver::indexOf(const QString& name, bool primary, const QList<IndexTerm>& terms) const
{
    IndexDef index{name, {}, primary};
    for (const IndexTerm& term : terms)
        if (!term.column.isEmpty())
            index.columns << term.column;
    index.nameOrder = !terms.isEmpty() && terms.first().column.isEmpty() && !index.columns.isEmpty()
        && isNameKey(terms.first().expression, index.columns.first());
    return index;
}

const StoredColumn* TableInfo::column(const QString& wanted) const
{
    for (const StoredColumn& c : columns)
        if (c.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

FieldType Driver::identityType(const TableInfo& info, const QString& column) const
{
    if (const StoredColumn* c = info.column(column); c && c->type)
        return *c->type == FieldType::AutoInc ? FieldType::Integer : *c->type;
    return column == "rowid" ? FieldType::Integer : FieldType::String;
}

QString typeName(FieldType type, int size)
{
    switch (type) {
    case FieldType::AutoInc: return "autoincrement";
    case FieldType::Integer: return "integer";
    case FieldType::SmallInt: return "small integer";
    case FieldType::Float: return "float";
    case FieldType::Date: return "date";
    case FieldType::DateTime: return "date-time";
    case FieldType::Boolean: return "boolean";
    case FieldType::String: return QString("string(%1)").arg(size);
    case FieldType::Memo: return "memo";
    }
    return {};
}

} // namespace engine
