// The database engine against raw SQLite on the benchmark store (100 000
// patients, 1 000 000 exams): each statement through the engine and through
// the sqlite3 C API, median of several runs, and their ratio.
//
//   bench_engine ALIAS        (scripts/bench creates and registers the store)

#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/StoredTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

struct Times {
    std::vector<double> ms;
    double median() const { return ms[ms.size() / 2]; }
    double min() const { return ms.front(); }
};

// Engine and raw runs alternate, so that a busy moment of the machine falls
// on both alike.
void measure(int runs, const std::function<size_t()>& engine, const std::function<size_t()>& raw, Times* e,
             Times* r, size_t* rowsEngine, size_t* rowsRaw)
{
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        *rowsEngine = engine();
        e->ms.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        *rowsRaw = raw();
        r->ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(e->ms.begin(), e->ms.end());
    std::sort(r->ms.begin(), r->ms.end());
}

// Runs a statement on the raw API, copying every value out as its natural type.
size_t rawSqlite(sqlite3* db, const std::string& sql, const std::vector<double>& params = {})
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "raw: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    for (size_t i = 0; i < params.size(); ++i)
        sqlite3_bind_double(stmt, int(i + 1), params[i]);
    struct Value {
        long long i = 0;
        double d = 0;
        std::string s;
    };
    std::vector<std::vector<Value>> rows;
    const int n = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<Value> row(n);
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER: row[c].i = sqlite3_column_int64(stmt, c); break;
            case SQLITE_FLOAT: row[c].d = sqlite3_column_double(stmt, c); break;
            case SQLITE_TEXT:
                row[c].s.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                size_t(sqlite3_column_bytes(stmt, c)));
                break;
            default: break;
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows.size();
}

QString advancedSearch(const QString& pattern)
{
    QString sql = "select " + schema::patientSearchColumns().join(',')
        + " from bddid where Upper(Cast(NF as char(10))) like '" + pattern + "'";
    for (const QString& column : schema::patientSearchColumns().mid(1)) {
        const bool number = column == "DNASC" || column == "D1CONS" || column == "IDADE" || column == "NCONS"
            || column == "PERUTENTE";
        const int width = column == "DNASC" || column == "D1CONS" ? 10 : 3;
        sql += number ? QString(" or Upper(Cast(%1 as Char(%2))) like '%3'").arg(column).arg(width).arg(pattern)
                      : QString(" or Upper(%1) like '%2'").arg(column, pattern);
    }
    return sql;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString alias = argc > 1 ? argv[1] : "VelunorBench";
    try {
        auto db = engine::Database::connect(alias, "BDC");
        if (db->driver().kind() != "sqlite") {
            std::fprintf(stderr, "bench_engine compares against raw SQLite: give it an SQLite alias\n");
            return 1;
        }
        sqlite3* raw = nullptr;
        const std::string file = db->driver().describeTarget().toStdString();
        sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        // The same reading set-up as the engine's connection: a memory map.
        sqlite3_exec(raw, "pragma mmap_size=1073741824", nullptr, nullptr, nullptr);

        const double patient = 50000;
        engine::StoredTable eco(*db, schema::tableEco()); // opened once, as the exam table is
        const QString examsByDate =
            "select dataexame, codigoexame, nf, bddid.nome,  medico.nome, medico from eco, bddid, medico where nf = "
            "eco.codigopaciente and medico.codigo = executor order by dataexame desc";
        struct Case {
            const char* name;
            std::function<size_t()> engine;
            std::function<size_t()> raw;
        };
        const std::vector<Case> cases = {
            {"open bddid in BDDIDEX_NO order",
             [&] { return engine::StoredTable(*db, schema::tablePac()).read().size(); },
             [&] {
                 const QString order = db->driver().indexTerms(schema::patientNameIndex()).join(", ");
                 return rawSqlite(raw, ("select rowid, NF, NOME, DNASC from bddid order by " + order + ", rowid").toStdString());
             }},
            {"range of eco on one patient",
             [&] { return eco.read(QVariant(patient)).size(); },
             [&] {
                 QStringList cols;
                 for (const auto& f : schema::tableEco().fields)
                     cols << f.name;
                 return rawSqlite(raw,
                                  ("select rowid, " + cols.join(", ")
                                   + " from eco where CodigoPaciente = ? order by CodigoPaciente, CodigoExame, rowid")
                                      .toStdString(),
                                  {patient});
             }},
            {"advanced search, pattern %MA%",
             [&] { return size_t(db->query(advancedSearch("%MA%")).recordCount()); },
             [&] { return rawSqlite(raw, advancedSearch("%MA%").toStdString()); }},
            {"exams by date (whole list)",
             [&] { return size_t(db->query(examsByDate).recordCount()); },
             [&] { return rawSqlite(raw, examsByDate.toStdString()); }},
        };

        std::printf("%-34s %21s %21s %15s %9s\n", "statement (SQLite)", "engine ms (med/min)", "raw ms (med/min)",
                    "ratio (med/min)", "rows");
        for (const Case& c : cases) {
            size_t rowsEngine = 0, rowsRaw = 0;
            Times e, r;
            measure(7, c.engine, c.raw, &e, &r, &rowsEngine, &rowsRaw);
            std::printf("%-34s %10.2f %10.2f %10.2f %10.2f %6.2fx %6.2fx %9zu%s\n", c.name, e.median(), e.min(),
                        r.median(), r.min(), e.median() / r.median(), e.min() / r.min(), rowsEngine,
                        rowsEngine == rowsRaw ? "" : "  (row counts differ!)");
        }
        sqlite3_close(raw);
    } catch (const engine::EngineError& e) {
        std::fprintf(stderr, "bench_engine: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
