#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Small lexical helpers over SQL text. They know quoted strings (with doubled
// quotes, and backslash escapes after E), quoted identifiers, dollar quoting
// and comments, so that nothing inside a literal is mistaken for a statement
// separator or a parameter marker.
namespace engine::sqltext {

// The one statement of `text` without a final ';'. Text after a ';' that is
// more than blanks and comments is refused: one statement per call.
QString singleStatement(const QString& text);

struct Marker {
    int position;
    int length;
    QString name;
};

// The ":name" parameter markers outside literals and comments ("::" casts are
// not markers).
std::vector<Marker> parameterMarkers(const QString& text);

// `text` with its parameter markers replaced by what `placeholder(n)` gives
// for the n-th marker (0-based).
QString replaceMarkers(const QString& text, const std::function<QString(int)>& placeholder);

// The result column names of a select, as typed: "bddid.nome" -> "nome",
// "NF" -> "NF"; an empty string where an item is not a plain column.
QStringList selectListNames(const QString& text);

// "Cast(x as char(n))" -> "substr(x, 1, n)", so that SQLite renders a value
// cast to char(n) as PostgreSQL does: at most n characters (substr turns a
// number into its text by itself).
QString rewriteCharCasts(const QString& text);

} // namespace engine::sqltext
