#include "data/Connection.h"

#include "platform/engine/EngineError.h"

Connection::Connection(const QString& name, const QString& aliasName, const QString& databaseName,
                       QObject* parent)
    : QObject(parent), m_aliasName(aliasName), m_databaseName(databaseName)
{
    setObjectName(name);
}

Connection::~Connection() = default;

void Connection::open()
{
    if (!m_database)
        m_database = engine::Database::connect(m_aliasName, m_databaseName);
}

void Connection::close() { m_database.reset(); }

engine::Database& databaseNamed(const QString& databaseName)
{
    if (engine::Database* db = engine::Database::find(databaseName))
        return *db;
    throw engine::EngineError(QString("A base de dados '%1' não está ligada.").arg(databaseName));
}
