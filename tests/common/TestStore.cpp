#include "common/TestStore.h"

#include "data/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <stdexcept>

QString TestStore::driverName()
{
    const QString name = qEnvironmentVariable("VELUNOR_TEST_DRIVER");
    return name.isEmpty() ? "sqlite" : name;
}

TestStore::TestStore(const QString& aliasName)
{
    m_alias.name = aliasName;
    m_alias.driver = driverName();
    if (m_alias.driver == "sqlite") {
        m_dir = std::make_unique<QTemporaryDir>();
        m_alias.settings.insert("path", m_dir->path());
        // An empty store file: the program never creates one itself.
        QFile(m_dir->path() + "/velunor.db").open(QIODevice::WriteOnly);
    } else {
        const QString conn = qEnvironmentVariable("VELUNOR_TEST_PG");
        if (conn.isEmpty())
            throw std::runtime_error("VELUNOR_TEST_PG is not set: run the PostgreSQL tests through "
                                     "scripts/with-postgres (make test does)");
        for (const QString& part : conn.split(' ', Qt::SkipEmptyParts)) {
            const QString key = part.section('=', 0, 0);
            m_alias.settings.insert(key == "dbname" ? "database" : key, part.section('=', 1));
        }
        try {
            // Each test process works in a database of its own, so that test
            // executables can run side by side on one server.
            static const QString own = [this] {
                const QString name = QString("velunor_test_%1").arg(QCoreApplication::applicationPid());
                auto server = engine::Database::connect(m_alias, "TESTSTORE-SERVER");
                if (server->query("select 1 from pg_database where datname = :n", {name}).rows.empty())
                    server->execute("create database " + name);
                return name;
            }();
            m_alias.settings.insert("database", own);
            auto db = engine::Database::connect(m_alias, "TESTSTORE-RESET");
            db->execute("drop schema if exists public cascade");
            db->execute("create schema public");
        } catch (const std::exception& e) {
            qWarning("TestStore: %s", e.what()); // Qt Test reports only that something was thrown
            throw;
        }
    }
    engine::AliasRegistry registry;
    registry.load();
    registry.set(m_alias);
    registry.save();
}

TestStore::~TestStore()
{
    try {
        engine::AliasRegistry registry;
        registry.load();
        registry.remove(m_alias.name);
        registry.save();
    } catch (const std::exception& e) {
        qWarning("TestStore: %s", e.what()); // a test left the registry broken
    }
}

std::unique_ptr<engine::Database> TestStore::connect(const QString& databaseName) const
{
    return engine::Database::connect(m_alias, databaseName);
}

void TestStore::createTables() const
{
    auto db = connect("TESTSTORE-CREATE");
    for (const auto& def : schema::allTables())
        db->createTable(def);
}
