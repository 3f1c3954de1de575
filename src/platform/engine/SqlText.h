#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Small lexical helpers over SQL text. They read quoted strings, quoted
// names, comments and dollar quoting as the store's own parser does, so that
// nothing inside a literal is mistaken for a statement separator or a
// parameter marker.
namespace engine::sqltext {

// Whose rules: SQLite quotes names with "", `` and [], ends "--" comments at
// a line feed and does not nest "/* */"; PostgreSQL has E'' strings with
// backslash escapes and $tag$ quoting, ends "--" comments at a carriage
// return too and nests "/* */".
enum class Dialect { Sqlite, Postgres };

// The one statement of `text` without a final ';'. Text after a ';' that is
// more than blanks and comments is refused: one statement per call.
QString singleStatement(const QString& text, Dialect dialect);

struct Marker {
    int position;
    int length;
    QString name;
};

// The ":name" parameter markers outside literals and comments ("::" casts are
// not markers).
std::vector<Marker> parameterMarkers(const QString& text, Dialect dialect);

// `text` with its parameter markers replaced by what `placeholder(n)` gives
// for the n-th marker (0-based).
QString replaceMarkers(const QString& text, Dialect dialect,
                       const std::function<QString(int)>& placeholder);

// The result column names of a select, as typed: "bddid.nome" -> "nome",
// "NF" -> "NF"; an empty string where an item is not a plain column.
QStringList selectListNames(const QString& text, Dialect dialect);

// "Cast(x as char(n))" -> "<kSqliteCharCast>(x , n)" in SQLite's SQL, so
// that SQLite renders a value cast to char(n) as PostgreSQL does: at most n
// characters, and a date or a date-time as the program shows dates,
// "dd/mm/yyyy" (PostgreSQL's DateStyle "SQL, DMY"). Linear in the text.
QString rewriteCharCasts(const QString& text);

// The SQLite function of the rewrite, which the SQLite store registers:
// (x, n) gives the text of x (a number's too) cut to n characters, a text
// that reads exactly "yyyy-mm-dd[ hh:mm:ss[.zzz]]" (how SQLite holds dates
// and date-times) as "dd/mm/yyyy[ hh:mm:ss[.zzz]]".
inline constexpr char kSqliteCharCast[] = "velunor_char";

} // namespace engine::sqltext
