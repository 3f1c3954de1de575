#include "data/Table.h"

#include "data/Connection.h"
#include "data/DataSource.h"

Table::Table(const QString& name, const QString& databaseName, const engine::TableSpec& spec, QObject* parent)
    : Dataset(name, parent), m_databaseName(databaseName), m_spec(spec)
{
    setReadOnly(spec.readOnly);
    for (const engine::FieldDef& def : m_spec.fields)
        addField(def, name + def.name);
}

void Table::renameField(const QString& fieldName, const QString& memberName)
{
    fieldByName(fieldName)->setObjectName(memberName);
}

QString Table::storeIdentity() const
{
    return m_databaseName.toUpper() + "/" + engine::sqlTableName(m_spec.fileName);
}

engine::StoredTable& Table::table()
{
    if (!m_table) {
        m_table = std::make_unique<engine::StoredTable>(databaseNamed(m_databaseName), m_spec);
        for (const QString& name : m_table->smallColumns())
            fieldByName(name)->narrowTo(engine::FieldType::SmallInt);
    }
    return *m_table;
}

std::vector<engine::Record> Table::readRecords()
{
    engine::StoredTable& stored = table();
    if (masterSource())
        return stored.read(masterValue());
    return stored.read();
}

void Table::inTransaction(const std::function<void()>& work)
{
    engine::Driver& driver = table().database().driver();
    driver.begin();
    try {
        work();
        driver.commit();
    } catch (...) {
        driver.rollback();
        throw;
    }
}

engine::Record Table::writeRecord(bool inserting, const engine::Record& old, const engine::Row& values,
                                  const QVector<bool>& changed, bool* reorder)
{
    engine::StoredTable& stored = table();
    QVariantList identity;
    auto write = [&] { identity = inserting ? stored.insert(values) : stored.update(old, values, changed); };
    if (m_companion && m_companion->pending()) {
        inTransaction([&] {
            write();
            m_companion->written(stored.database(), values);
        });
    } else {
        write();
    }
    *reorder = inserting;
    for (const QString& column : stored.orderColumns())
        if (Field* f = findField(column); f && changed.value(f->index()))
            *reorder = true;
    if (auto back = stored.read(identity))
        return *back;
    // Written but outside this record set now (its filter): show it as written.
    *reorder = true;
    return engine::Record{identity, values};
}

void Table::deleteRecord(const engine::Record& record)
{
    if (!m_companion) {
        table().remove(record);
        return;
    }
    inTransaction([&] {
        m_companion->removing(table().database(), record);
        table().remove(record);
    });
}
