#include "platform/engine/StoredTable.h"

#include "platform/engine/EngineError.h"

namespace engine {

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A small-integer column from an older store still opens as an integer
// field: every value it holds fits.
bool widened(const FieldDef& field, const StoredColumn& column)
{
    return field.type == FieldType::Integer && column.type == FieldType::SmallInt;
}

bool typeMatches(const FieldDef& field, const StoredColumn& column)
{
    if (widened(field, column))
        return true;
    if (!column.type || *column.type != field.type)
        return false;
    return field.type != FieldType::String || column.size >= field.size;
}

// The index a spec orders by, or null for the primary order.
const IndexDef* chosenIndex(const TableSpec& spec, const TableInfo& info)
{
    if (!spec.indexName.isEmpty()) {
        for (const IndexDef& index : info.indexes)
            if (!index.primary && sameName(index.name, spec.indexName))
                return &index;
        return nullptr;
    }
    if (!spec.indexField.isEmpty()) {
        for (const IndexDef& index : info.indexes) // the primary key comes first
            if (!index.columns.isEmpty() && sameName(index.columns.first(), spec.indexField))
                return &index;
        return nullptr;
    }
    if (!info.indexes.empty() && info.indexes.front().primary)
        return &info.indexes.front();
    return nullptr;
}

} // namespace

QStringList StoredTable::problems(Database& database, const TableSpec& spec)
{
    return problems(database.describe(spec.fileName), spec);
}

QStringList StoredTable::problems(const std::optional<TableInfo>& info, const TableSpec& spec)
{
    if (!info)
        return {QString("A tabela \"%1\" não existe.").arg(spec.fileName)};
    QStringList out;
    for (const FieldDef& field : spec.fields) {
        const StoredColumn* column = info->column(field.name);
        if (!column)
            out << QString("A tabela \"%1\" não tem o campo %2.").arg(spec.fileName, field.name);
        else if (!typeMatches(field, *column))
            out << QString("O campo %2 da tabela \"%1\" é do tipo %3 e devia ser %4.")
                       .arg(spec.fileName, field.name,
                            column->type ? typeName(*column->type, column->size) : column->storedType,
                            typeName(field.type, field.size));
    }
    if (!chosenIndex(spec, *info)) {
        if (!spec.indexName.isEmpty())
            out << QString("A tabela \"%1\" não tem o índice %2.").arg(spec.fileName, spec.indexName);
        else if (!spec.indexField.isEmpty())
            out << QString("A tabela \"%1\" não tem um índice que comece pelo campo %2.")
                       .arg(spec.fileName, spec.indexField);
    }
    return out;
}

StoredTable::StoredTable(Database& database, TableSpec spec)
    : m_database(database), m_spec(std::move(spec)), m_table(sqlTableName(m_spec.fileName))
{
    const std::optional<TableInfo> described = database.describe(m_spec.fileName);
    if (const QStringList found = problems(described, m_spec); !found.isEmpty())
        throw EngineError(found.join('\n'));
    const TableInfo& info = *described;
    Driver& driver = database.driver();
    m_identity = info.identity;

    QStringList select;
    for (const QString& column : m_identity) {
        select << (column == "rowid" || column == "ctid" ? column : driver.ident(column));
        m_types.push_back(driver.identityType(info, column));
    }
    for (const FieldDef& field : m_spec.fields) {
        select << driver.ident(field.name);
        m_types.push_back(field.type);
        // SQLite keeps any integer whatever the declared type; a server
        // refuses what the narrower column cannot hold.
        if (driver.kind() != "sqlite" && widened(field, *info.column(field.name)))
            m_smallColumns << field.name;
    }
    m_selectList = select.join(", ");

    QStringList order;
    if (const IndexDef* index = chosenIndex(m_spec, info)) {
        // The index's own terms, so that the store reads in its order.
        order = driver.indexTerms(*index);
        m_orderColumns = index->columns;
        if (!m_spec.indexName.isEmpty() || !m_spec.indexField.isEmpty())
            m_rangeField = index->columns.first();
    }
    for (int i = 0; i < m_identity.size(); ++i)
        if (!m_orderColumns.contains(m_identity[i], Qt::CaseInsensitive))
            order << select[i];
    m_orderBy = order.join(", ");
}

Record StoredTable::toRecord(Row row) const
{
    Record record;
    const int n = int(m_identity.size());
    record.identity = QVariantList(row.begin(), row.begin() + n);
    row.remove(0, n);
    record.values = std::move(row);
    return record;
}

std::vector<Record> StoredTable::read(const std::optional<QVariant>& range)
{
    QStringList conditions;
    QVariantList params;
    if (range) {
        if (range->isNull() || m_rangeField.isEmpty())
            return {};
        conditions << m_database.driver().ident(m_rangeField) + " = " + m_database.driver().placeholder(0);
        params << *range;
    }
    if (!m_spec.filter.isEmpty())
        conditions << "(" + m_spec.filter + ")";
    QString sql = "select " + m_selectList + " from " + m_database.driver().ident(m_table);
    if (!conditions.isEmpty())
        sql += " where " + conditions.join(" and ");
    sql += " order by " + m_orderBy;

    std::vector<Row> rows = m_database.driver().select(sql, params, m_types);
    std::vector<Record> records;
    records.reserve(rows.size());
    for (Row& row : rows)
        records.push_back(toRecord(std::move(row)));
    return records;
}

QString StoredTable::identityCondition(int firstPlaceholder) const
{
    QStringList parts;
    for (int i = 0; i < m_identity.size(); ++i) {
        const QString& c = m_identity[i];
        parts << (c == "rowid" || c == "ctid" ? c : m_database.driver().ident(c)) + " = "
                + m_database.driver().placeholder(firstPlaceholder + i);
    }
    return parts.join(" and ");
}

std::optional<Record> StoredTable::read(const QVariantList& identity)
{
    QString sql = "select " + m_selectList + " from " + m_database.driver().ident(m_table) + " where "
        + identityCondition(0);
    if (!m_spec.filter.isEmpty())
        sql += " and (" + m_spec.filter + ")";
    std::vector<Row> rows = m_database.driver().select(sql, identity, m_types);
    if (rows.empty())
        return std::nullopt;
    return toRecord(std::move(rows.front()));
}

void StoredTable::checkWritable() const
{
    if (m_spec.readOnly)
        throw EngineError(QString("A tabela \"%1\" foi aberta só para leitura.").arg(m_spec.fileName));
}

void StoredTable::checkRequired(const Row& values) const
{
    for (size_t i = 0; i < m_spec.fields.size(); ++i) {
        const FieldDef& field = m_spec.fields[i];
        if (field.required && field.type != FieldType::AutoInc
            && (values.value(int(i)).isNull()
                || (values[int(i)].typeId() == QMetaType::QString && values[int(i)].toString().isEmpty())))
            throw EngineError(QString("Field '%1' must have a value").arg(field.shownName()));
    }
}

QString identityList(const QStringList& identity, const Driver& driver)
{
    QStringList out;
    for (const QString& c : identity)
        out << (c == "rowid" || c == "ctid" ? c : driver.ident(c));
    return out.join(", ");
}

QVariantList StoredTable::insert(const Row& values)
{
    checkWritable();
    checkRequired(values);
    Driver& driver = m_database.driver();
    QStringList columns, marks;
    QVariantList params;
    for (size_t i = 0; i < m_spec.fields.size(); ++i) {
        if (m_spec.fields[i].type == FieldType::AutoInc)
            continue;
        columns << driver.ident(m_spec.fields[i].name);
        marks << driver.placeholder(int(params.size()));
        params << values.value(int(i));
    }
    const QString sql = columns.isEmpty()
        ? QString("insert into %1 default values returning %2")
              .arg(driver.ident(m_table), identityList(m_identity, driver))
        : QString("insert into %1 (%2) values (%3) returning %4")
              .arg(driver.ident(m_table), columns.join(", "), marks.join(", "), identityList(m_identity, driver));
    const std::vector<FieldType> types(m_types.begin(), m_types.begin() + m_identity.size());
    const auto rows = driver.select(sql, params, types);
    if (rows.empty())
        throw EngineError(QString("O registo não foi gravado na tabela \"%1\".").arg(m_spec.fileName));
    return QVariantList(rows.front().begin(), rows.front().end());
}

QString StoredTable::unchangedCondition(int firstPlaceholder) const
{
    QStringList parts{identityCondition(firstPlaceholder)};
    const int first = firstPlaceholder + int(m_identity.size());
    for (size_t i = 0; i < m_spec.fields.size(); ++i)
        parts << m_database.driver().holdsValue(m_spec.fields[i].name, m_spec.fields[i].type, first + int(i));
    return parts.join(" and ");
}

QVariantList StoredTable::unchangedParams(const Record& old)
{
    QVariantList params = old.identity;
    for (const QVariant& value : old.values)
        params << value;
    return params;
}

namespace {

bool sameValues(const Row& a, const Row& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].isNull() != b[i].isNull() || (!a[i].isNull() && a[i] != b[i]))
            return false;
    return true;
}

} // namespace

QVariantList StoredTable::update(const Record& old, const Row& values, const QVector<bool>& changed)
{
    checkWritable();
    checkRequired(values);
    Driver& driver = m_database.driver();
    QStringList sets;
    QVariantList params;
    Row intended = old.values;
    for (size_t i = 0; i < m_spec.fields.size(); ++i) {
        if (m_spec.fields[i].type == FieldType::AutoInc || !changed.value(int(i)))
            continue;
        sets << driver.ident(m_spec.fields[i].name) + " = " + driver.placeholder(int(params.size()));
        params << values.value(int(i));
        intended[int(i)] = values.value(int(i));
    }
    if (sets.isEmpty())
        return old.identity;
    // Keyed by every field as it was read, not by the identity alone: a
    // record that another workstation saved in the meantime is not matched,
    // and its text is not overwritten.
    const QString sql = QString("update %1 set %2 where %3 returning %4")
                            .arg(driver.ident(m_table), sets.join(", "), unchangedCondition(int(params.size())),
                                 identityList(m_identity, driver));
    params += unchangedParams(old);
    const std::vector<FieldType> types(m_types.begin(), m_types.begin() + m_identity.size());
    const auto rows = driver.select(sql, params, types);
    if (!rows.empty())
        return QVariantList(rows.front().begin(), rows.front().end());

    const std::optional<Record> now = read(old.identity);
    if (!now)
        throw RecordConflict(QString("O registo da tabela \"%1\" foi apagado por outro utilizador; "
                                     "as alterações não foram gravadas.")
                                 .arg(m_spec.fileName));
    // The same save tried before, whose answer the server never sent, may
    // have been written after all: the record holds this very edit.
    if (sameValues(now->values, intended))
        return now->identity;
    throw RecordConflict("O registo foi alterado por outro utilizador. As suas alterações não foram gravadas; "
                         "cancele-as para ver a versão actual.");
}

void StoredTable::remove(const Record& old)
{
    checkWritable();
    Driver& driver = m_database.driver();
    const QString sql = "delete from " + driver.ident(m_table) + " where " + unchangedCondition(0);
    const qint64 removed = driver.execute(sql, unchangedParams(old));
    // A record already gone is where the user wanted it; one changed since it
    // was read may now hold another user's work.
    if (removed == 0 && read(old.identity))
        throw RecordConflict("O registo foi alterado por outro utilizador e não foi apagado; "
                             "veja a versão actual antes de decidir apagá-lo.");
}

} // namespace engine
