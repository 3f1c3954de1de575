// The SQL text helpers on hostile statements: the cast rewrite of SQLite's
// searches on 400 nested casts (once 7.9 s), and the single-statement check
// on a search for a text of 1 MB. Both should take a few milliseconds.
#include "Measure.h"
#include "platform/engine/SqlText.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>

namespace {

void print(const char* name, int repetitions, const std::function<void()>& work)
{
    const bench::Figures f = bench::measure(repetitions, work);
    std::printf("%-34s %10.2f %10.2f\n", name, f.median, f.min);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    using namespace engine::sqltext;

    QString nested = "nome";
    for (int i = 0; i < 400; ++i)
        nested = "Cast(" + nested + " as char(10))";
    const QString casts = "select " + nested + " from bddid";
    const QString search =
        "select nf from bddid where Upper(NOME) like '%" + QString(1'000'000, 'A') + "%' or Upper(Cast(NF as char(10))) like '%A%'";

    std::printf("%-34s %10s %10s\n", "operation", "median ms", "min ms");
    print("rewrite 400 nested casts", 11, [&] { rewriteCharCasts(casts); });
    print("rewrite a 1 MB search", 11, [&] { rewriteCharCasts(search); });
    print("one statement, 1 MB (SQLite)", 11, [&] { singleStatement(search, Dialect::Sqlite); });
    print("one statement, 1 MB (PostgreSQL)", 11, [&] { singleStatement(search, Dialect::Postgres); });
    return 0;
}
