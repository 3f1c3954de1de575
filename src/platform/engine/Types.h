#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <vector>

namespace engine {

// The column types of the stored tables. Values travel as QVariant:
// AutoInc/Integer/SmallInt as int, Float as double, Date as QDate,
// DateTime as QDateTime (local time, milliseconds), Boolean as bool,
// String/Memo as QString; an empty (null) value is an invalid QVariant.
enum class FieldType { AutoInc, Integer, SmallInt, Float, Date, DateTime, Boolean, String, Memo };

QString typeName(FieldType type, int size = 0);

// A column as the program declares it when it opens a stored table.
struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;              // characters, for String
    bool required = false;
    QString displayName;       // used by "Field '%s' must have a value"

    QString shownName() const { return displayName.isEmpty() ? name : displayName; }
};

// An index of a stored table, for creating it and for choosing an order.
struct IndexDef {
    QString name;              // empty for the primary key
    QStringList columns;
    bool primary = false;
    // Whether the index orders by the name key of its first column
    // (NameOrder.h) before the columns themselves, which break its ties.
    bool nameOrder = false;
};

// Everything needed to create a stored table.
struct TableDef {
    QString fileName;          // "Bddid.DB"
    std::vector<FieldDef> columns;
    std::vector<IndexDef> indexes; // the primary key, if any, first
};

// How a stored table is opened: which fields, in which order, which rows.
struct TableSpec {
    QString fileName;
    std::vector<FieldDef> fields;
    QString indexName;         // a named secondary index ("BDDIDEX_NO") ...
    QString indexField;        // ... or an index chosen by its leading field
    bool readOnly = false;
    QString filter;            // an SQL condition ("activo = true"), or empty

    // The position of a declared field, or -1.
    int indexOf(const QString& name) const
    {
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
};

using Row = QVector<QVariant>;

// A record read from a stored table: its identity in the store and the values
// of the declared fields, in declaration order.
struct Record {
    QVariantList identity;
    Row values;
};

// The client-side copy of a query's result.
struct Snapshot {
    QStringList columns;       // duplicates told apart by "_1", "_2", ...
    std::vector<Row> rows;
    int recordCount() const { return int(rows.size()); }
};

// The SQL table behind a stored table's file name: "Bddid.DB" -> "bddid".
QString sqlTableName(const QString& fileName);

} // namespace engine
