#pragma once

#include "data/Dataset.h"
#include "platform/engine/StoredTable.h"

#include <QMap>

// A record set over one stored table of a database name: its declared fields,
// its index order, read-only or not, its filter, and optionally a master.
class Table : public Dataset {
    Q_OBJECT
public:
    // Rows of other tables that belong to this table's records and are saved
    // and deleted with them, in the same transaction (an exam's measurements).
    class Companion {
    public:
        virtual ~Companion() = default;
        // Whether there is anything to write with the record being saved.
        virtual bool pending() const = 0;
        // Called after the record's own write: writes the rows of the record
        // now holding `values`; an error undoes the record's write too.
        virtual void written(engine::Database& db, const engine::Row& values) = 0;
        // Called before the record's deletion.
        virtual void removing(engine::Database& db, const engine::Record& record) = 0;
    };

    Table(const QString& name, const QString& databaseName, const engine::TableSpec& spec,
          QObject* parent = nullptr);

    const engine::TableSpec& spec() const { return m_spec; }
    const QString& databaseName() const { return m_databaseName; }
    QString storeIdentity() const override;

    // The member name of each field is the record set's name and the field's
    // (TableEcoDataExame); renameField() gives the exceptions (NF -> TablePacCODIGO).
    void renameField(const QString& fieldName, const QString& memberName);
    void setCompanion(Companion* companion) { m_companion = companion; }

protected:
    std::vector<engine::Record> readRecords() override;
    void afterClose() override { m_table.reset(); }
    engine::Record writeRecord(bool inserting, const engine::Record& old, const engine::Row& values,
                               const QVector<bool>& changed, bool* reorder) override;
    void deleteRecord(const engine::Record& record) override;

private:
    engine::StoredTable& table();
    // Runs `work` in one transaction of the table's database.
    void inTransaction(const std::function<void()>& work);

    QString m_databaseName;
    engine::TableSpec m_spec;
    std::unique_ptr<engine::StoredTable> m_table;
    Companion* m_companion = nullptr;
};
