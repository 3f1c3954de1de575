#pragma once

#include "platform/engine/Database.h"

namespace admin {

// Inserts rows in multi-row statements inside one transaction, so that a
// million exams take seconds instead of minutes. flush() sends the rest.
class BulkInsert {
public:
    BulkInsert(engine::Database& db, const QString& fileName, const QStringList& columns)
        : m_db(db), m_columns(columns)
    {
        QStringList names;
        for (const QString& c : columns)
            names << db.driver().ident(c);
        m_head = "insert into " + db.driver().ident(engine::sqlTableName(fileName)) + " (" + names.join(", ")
            + ") values ";
        m_batch = qMax(1, 2000 / int(columns.size()));
    }
    void add(const QVariantList& row)
    {
        Q_ASSERT(row.size() == m_columns.size());
        m_params += row;
        if (++m_rows == m_batch)
            flush();
    }

    void flush()
    {
        if (m_rows == 0)
            return;
        QStringList tuples;
        int n = 0;
        for (int r = 0; r < m_rows; ++r) {
            QStringList marks;
            for (int c = 0; c < m_columns.size(); ++c)
                marks << m_db.driver().placeholder(n++);
            tuples << "(" + marks.join(", ") + ")";
        }
        m_db.driver().execute(m_head + tuples.join(", "), m_params);
        m_params.clear();
        m_rows = 0;
    }

private:
    engine::Database& m_db;
    QStringList m_columns;
    QString m_head;
    int m_batch;
    int m_rows = 0;
    QVariantList m_params;
};

} // namespace admin
