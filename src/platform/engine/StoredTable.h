#pragma once

#include "platform/engine/Database.h"
#include "platform/engine/Types.h"

namespace engine {

// A stored table opened the way a record set declares it: its fields, its
// order (a named index, an index chosen by its leading field, or the primary
// order), read-only or not, and a filter. Opening checks that every declared
// field exists with its type and that the index exists; records are then read
// in that order, optionally restricted to a range on the index's leading field.
class StoredTable {
public:
    StoredTable(Database& database, TableSpec spec);

    // Everything that keeps `spec` from opening on `database`; empty when it opens.
    static QStringList problems(Database& database, const TableSpec& spec);
    static QStringList problems(const std::optional<TableInfo>& info, const TableSpec& spec);

    const TableSpec& spec() const { return m_spec; }
    Database& database() const { return m_database; }
    const QString& sqlName() const { return m_table; }
    // The field a range restricts: the leading field of the chosen index.
    const QString& rangeField() const { return m_rangeField; }
    // The columns the records are ordered by.
    const QStringList& orderColumns() const { return m_orderColumns; }
    // Integer fields whose stored column still holds only small integers
    // (a store made before they were widened, not yet upgraded).
    const QStringList& smallColumns() const { return m_smallColumns; }

    // Every record in order; with `range`, only those whose range field equals
    // it (none when it is null).
    std::vector<Record> read(const std::optional<QVariant>& range = std::nullopt);
    // One record by identity, or nothing when it is gone.
    std::optional<Record> read(const QVariantList& identity);

    // Writes; autoincrement fields are assigned by the store. Insert and
    // update refuse an empty required field with "Field '%s' must have a
    // value" and return the record's identity after the write.
    QVariantList insert(const Row& values);
    // Update and remove act on the record `old` as it was read, only while
    // the store still holds every one of its fields unchanged: when another
    // user changed or deleted it since, they write nothing and throw
    // RecordConflict (removing a record that is already gone is no error).
    QVariantList update(const Record& old, const Row& values, const QVector<bool>& changed);
    void remove(const Record& old);

private:
    void checkWritable() const;
    void checkRequired(const Row& values) const;
    QString identityCondition(int firstPlaceholder) const;
    // The identity and every field of a record as it was read; its
    // parameters are the identity, then the values.
    QString unchangedCondition(int firstPlaceholder) const;
    static QVariantList unchangedParams(const Record& old);
    Record toRecord(Row row) const;

    Database& m_database;
    TableSpec m_spec;
    QString m_table;
    QStringList m_identity;
    std::vector<FieldType> m_types;      // identity columns, then fields
    QString m_selectList;
    QString m_orderBy;
    QStringList m_orderColumns;
    QStringList m_smallColumns;
    QString m_rangeField;
};

} // namespace engine
