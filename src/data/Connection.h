#pragma once

#include "platform/engine/Database.h"

#include <QObject>
#include <memory>

// The program's database object: connects through a registered alias under a
// database name, without any login prompt. Tables and queries that name the
// same database name use this connection.
class Connection : public QObject {
    Q_OBJECT
public:
    Connection(const QString& name, const QString& aliasName, const QString& databaseName,
               QObject* parent = nullptr);
    ~Connection() override;

    const QString& aliasName() const { return m_aliasName; }
    const QString& databaseName() const { return m_databaseName; }
    bool connected() const { return bool(m_database); }
    void open();
    void close();

private:
    QString m_aliasName;
    QString m_databaseName;
    std::unique_ptr<engine::Database> m_database;
};

// The open database known under a database name; throws when none is.
engine::Database& databaseNamed(const QString& databaseName);
