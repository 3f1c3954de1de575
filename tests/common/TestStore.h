#pragma once

#include "platform/engine/AliasRegistry.h"
#include "platform/engine/Database.h"

#include <QTemporaryDir>
#include <memory>

// A fresh, empty store for one test, on the driver this run tests
// (VELUNOR_TEST_DRIVER: "sqlite", the default, or "postgres"), registered in
// the test's alias registry. SQLite gets a new directory; PostgreSQL gets an
// emptied schema in the database of VELUNOR_TEST_PG.
class TestStore {
public:
    explicit TestStore(const QString& aliasName = "Dorvica2");
    ~TestStore();

    static QString driverName();
    static bool isPostgres() { return driverName() == "postgres"; }

    const engine::Alias& alias() const { return m_alias; }
    // The SQLite store's directory (empty on PostgreSQL).
    QString directory() const { return m_dir ? m_dir->path() : QString(); }

    // A connection of its own to the store, under `databaseName`.
    std::unique_ptr<engine::Database> connect(const QString& databaseName = "TESTSTORE") const;
    // Creates every stored table of the program, empty, as the admin tool's create does.
    void createTables() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    engine::Alias m_alias;
};
