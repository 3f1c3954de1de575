#include "data/Query.h"

#include "data/Connection.h"
#include "platform/engine/Values.h"

using engine::FieldType;

Query::Query(const QString& name, const QString& databaseName, QObject* parent)
    : Dataset(name, parent), m_databaseName(databaseName)
{
}

void Query::declareField(const engine::FieldDef& def)
{
    m_declared = true;
    addField(def, objectName() + def.name);
}

void Query::execSql()
{
    databaseNamed(m_databaseName).execute(m_sql, m_paramCheck ? m_params : QVariantList());
}

namespace {

FieldType typeOfValue(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: return FieldType::Integer;
    case QMetaType::LongLong:
    case QMetaType::Double: return FieldType::Float;
    case QMetaType::QDate: return FieldType::Date;
    case QMetaType::QDateTime: return FieldType::DateTime;
    case QMetaType::Bool: return FieldType::Boolean;
    default: return FieldType::String;
    }
}

} // namespace

std::vector<engine::Record> Query::readRecords()
{
    return toRecords(databaseNamed(m_databaseName).query(m_sql, m_paramCheck ? m_params : QVariantList()));
}

std::vector<engine::Record> Query::toRecords(const engine::Snapshot& result)
{
    if (!m_declared && !sameColumns(result)) {
        clearFields();
        for (int c = 0; c < result.columns.size(); ++c) {
            FieldType type = FieldType::String;
            for (const auto& row : result.rows)
                if (!row[c].isNull()) {
                    type = typeOfValue(row[c]);
                    break;
                }
            addField({result.columns[c], type}, objectName() + result.columns[c]);
        }
    }
    // Declared fields take the column of their name, converted to their type.
    std::vector<int> source;
    for (Field* f : fields())
        source.push_back(columnOf(result, f->fieldName()));
    std::vector<engine::Record> records;
    records.reserve(result.rows.size());
    for (const auto& row : result.rows) {
        engine::Record record;
        record.values.resize(int(fields().size()));
        for (size_t i = 0; i < source.size(); ++i)
            if (source[i] >= 0)
                record.values[int(i)] = engine::values::coerce(fields()[i]->type(), row[source[i]]);
        records.push_back(std::move(record));
    }
    return records;
}

int Query::columnOf(const engine::Snapshot& result, const QString& name)
{
    for (int c = 0; c < result.columns.size(); ++c)
        if (result.columns[c].compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

// Whether the result has the columns the fields were made for, so that a
// re-read keeps the field objects others may hold.
bool Query::sameColumns(const engine::Snapshot& result) const
{
    if (fields().empty() || int(fields().size()) != result.columns.size())
        return false;
    for (int c = 0; c < result.columns.size(); ++c)
        if (fields()[c]->fieldName() != result.columns[c])
            return false;
    return true;
}

void Query::afterClose()
{
    if (!m_declared)
        clearFields();
}
