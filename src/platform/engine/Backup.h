#pragma once

#include "platform/engine/AliasRegistry.h"

#include <QString>
#include <QStringList>

// Copies of a store and the return of a copy. Every failure throws
// EngineError with a Portuguese text that says what went wrong; a copy that
// failed leaves no file behind.
namespace engine {

// SQLite: a consistent copy of the store file `from` in `to`, taken through
// SQLite's online backup, so that other programs may go on writing; the copy
// is one self-contained file (no write-ahead log beside it) and passes
// "pragma integrity_check" before it gets its name. Refuses an existing `to`.
void copySqliteFile(const QString& from, const QString& to);

// SQLite: puts `replacement` (a checked copy in the same file system) in the
// place of the store file `store`, whose file is kept as `aside`. Refuses,
// changing nothing, while another connection has the store open.
void replaceSqliteFile(const QString& store, const QString& replacement, const QString& aside);

// PostgreSQL, through the server's client programs (package postgresql-client):
// the alias's database dumped by pg_dump in its custom format into `file`,
// which must not exist yet.
void dumpPostgres(const Alias& alias, const QString& file);
// The tables that a pg_dump archive holds; refuses a file that is not one.
QStringList postgresDumpTables(const QString& file);
// Replaces the alias's tables with those of the archive, in one transaction:
// all of it or nothing.
void restorePostgres(const Alias& alias, const QString& file);

// What a restore says when another program has the store `target` open.
QString storeInUseText(const QString& target);

// The size of a copy's file for messages: "420 kB", "203.4 MB".
QString fileSizeText(const QString& file);

} // namespace engine
