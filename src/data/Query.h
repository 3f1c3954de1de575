#pragma once

#include "data/Dataset.h"

// A record set over the result of one SQL statement: a snapshot held on the
// client, never written back. Its fields are the declared ones, or, when none
// are declared, one per result column.
class Query : public Dataset {
    Q_OBJECT
public:
    Query(const QString& name, const QString& databaseName, QObject* parent = nullptr);

    const QString& databaseName() const { return m_databaseName; }
    const QString& sql() const { return m_sql; }
    void setSql(const QString& sql) { m_sql = sql; }
    // With parameter checking on, ":name" markers in the text are parameters,
    // bound by position to the values added.
    void setParamCheck(bool on) { m_paramCheck = on; }
    void clearParams() { m_params.clear(); }
    void addParam(const QVariant& value) { m_params << value; }
    const QVariantList& params() const { return m_params; }
    void declareField(const engine::FieldDef& def);

    // Runs a statement without a result set.
    void execSql();

    bool canModify() const override { return false; }

protected:
    std::vector<engine::Record> readRecords() override;
    void afterClose() override;
    // A result as records of the fields; with no declared fields, the fields
    // are made from the result's columns first.
    std::vector<engine::Record> toRecords(const engine::Snapshot& result);

private:
    static int columnOf(const engine::Snapshot& result, const QString& name);
    bool sameColumns(const engine::Snapshot& result) const;

    QString m_databaseName;
    QString m_sql;
    bool m_paramCheck = true;
    QVariantList m_params;
    bool m_declared = false;
};
