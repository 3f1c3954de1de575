#include "platform/engine/SqlText.h"

#include "platform/engine/EngineError.h"

#include <algorithm>

namespace engine::sqltext {

namespace {

enum class Kind { Blank, Comment, Word, Literal, Marker, Symbol };

struct Token {
    Kind kind;
    int start;
    int length;
};

// Both stores take every character outside ASCII as a letter of a name.
bool isNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}
bool isNameChar(QChar c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool isSqlSpace(QChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Length of a quoted run starting at `i` (text[i] is the quote), doubled
// quotes staying inside; with `backslash`, "\x" also stays inside. An
// unterminated run reaches the end of the text.
int quotedLength(const QString& s, int i, QChar quote, bool backslash)
{
    int j = i + 1;
    while (j < s.size()) {
        if (backslash && s[j] == '\\') {
            j += 2;
            continue;
        }
        if (s[j] == quote) {
            if (j + 1 < s.size() && s[j + 1] == quote) {
                j += 2;
                continue;
            }
            return j + 1 - i;
        }
        ++j;
    }
    return int(s.size()) - i;
}

// From `i` to just after `close`, or to the end of the text.
int lengthTo(const QString& s, int i, QStringView close, int from)
{
    const int end = int(s.indexOf(close, from));
    return end < 0 ? int(s.size()) - i : end + int(close.size()) - i;
}

// PostgreSQL's "$tag$ ... $tag$" (the tag a name without "$", or empty);
// 0 when `i` does not open one.
int dollarLength(const QString& s, int i)
{
    int j = i + 1;
    if (j < s.size() && isNameStart(s[j]))
        while (j < s.size() && isNameChar(s[j]) && s[j] != '$')
            ++j;
    if (j >= s.size() || s[j] != '$')
        return 0;
    return lengthTo(s, i, QStringView(s).sliced(i, j + 1 - i), j + 1);
}

// A block comment: PostgreSQL nests them, SQLite ends at the first "*/".
int blockCommentLength(const QString& s, int i, Dialect dialect)
{
    if (dialect == Dialect::Sqlite)
        return lengthTo(s, i, u"*/", i + 2);
    int depth = 0;
    int j = i;
    while (j + 1 < s.size()) {
        if (s[j] == '/' && s[j + 1] == '*') {
            ++depth;
            j += 2;
        } else if (s[j] == '*' && s[j + 1] == '/') {
            j += 2;
            if (--depth == 0)
                return j - i;
        } else {
            ++j;
        }
    }
    return int(s.size()) - i;
}

// The tokens of `s` as the store's own parser reads them, as far as they
// decide where a literal, a name or a comment ends.
std::vector<Token> tokenize(const QString& s, Dialect dialect)
{
    const bool postgres = dialect == Dialect::Postgres;
    std::vector<Token> out;
    int i = 0;
    const int n = int(s.size());
    auto next = [&](int k) { return i + k < n ? s[i + k] : QChar(); };
    while (i < n) {
        const QChar c = s[i];
        int len = 1;
        Kind kind = Kind::Symbol;
        if (isSqlSpace(c)) {
            while (i + len < n && isSqlSpace(s[i + len]))
                ++len;
            kind = Kind::Blank;
        } else if (c == '-' && next(1) == '-') {
            // PostgreSQL also ends a line comment at a carriage return.
            while (i + len < n && s[i + len] != '\n' && !(postgres && s[i + len] == '\r'))
                ++len;
            kind = Kind::Comment;
        } else if (c == '/' && next(1) == '*') {
            len = blockCommentLength(s, i, dialect);
            kind = Kind::Comment;
        } else if (c == '\'') {
            len = quotedLength(s, i, c, false);
            kind = Kind::Literal;
        } else if (postgres && (c == 'E' || c == 'e') && next(1) == '\'') {
            // An escape string: E starts a token here, since names are read whole.
            len = 1 + quotedLength(s, i + 1, '\'', true);
            kind = Kind::Literal;
        } else if (c == '"' || (!postgres && c == '`')) {
            len = quotedLength(s, i, c, false);
            kind = Kind::Word;
        } else if (!postgres && c == '[') {
            len = lengthTo(s, i, u"]", i + 1);
            kind = Kind::Word;
        } else if (postgres && c == '$' && (len = dollarLength(s, i)) > 0) {
            kind = Kind::Literal;
        } else if (c == ':' && next(1) == ':') {
            len = 2;
        } else if (c == ':' && isNameStart(next(1))) {
            while (i + len < n && isNameChar(s[i + len]))
                ++len;
            kind = Kind::Marker;
        } else if (isNameChar(c)) {
            // Names, key words and numbers (a number followed by letters is
            // one token to both stores, an error to PostgreSQL).
            len = 0;
            while (i + len < n && isNameChar(s[i + len]))
                ++len;
            kind = Kind::Word;
        }
        len = qMax(1, len);
        out.push_back({kind, i, len});
        i += len;
    }
    return out;
}

bool isSemicolon(const QString& s, const Token& t) { return t.kind == Kind::Symbol && s[t.start] == ';'; }

} // namespace

// The drivers refuse a second statement themselves as well (SQLite prepares
// one statement and the rest must be blank; PostgreSQL's extended protocol,
// which every statement goes through, takes exactly one). This check says so
// in the program's words and drops the final ';', reading the text with the
// store's own rules so that it agrees with the store on where a statement ends.
QString singleStatement(const QString& text, Dialect dialect)
{
    const auto tokens = tokenize(text, dialect);
    int end = int(text.size());
    bool seenSeparator = false;
    for (const Token& t : tokens) {
        if (seenSeparator) {
            if (t.kind == Kind::Blank || t.kind == Kind::Comment || isSemicolon(text, t))
                continue;
            throw EngineError("Só pode ser executado um comando SQL de cada vez; "
                              "o texto depois de \";\" não é aceite.");
        }
        if (isSemicolon(text, t)) {
            seenSeparator = true;
            end = t.start;
        }
    }
    return text.left(end);
}

std::vector<Marker> parameterMarkers(const QString& text, Dialect dialect)
{
    std::vector<Marker> out;
    for (const Token& t : tokenize(text, dialect))
        if (t.kind == Kind::Marker)
            out.push_back({t.start, t.length, text.mid(t.start + 1, t.length - 1)});
    return out;
}

QString replaceMarkers(const QString& text, Dialect dialect,
                       const std::function<QString(int)>& placeholder)
{
    QString out;
    int last = 0;
    int n = 0;
    for (const Marker& m : parameterMarkers(text, dialect)) {
        out += text.mid(last, m.position - last);
        out += placeholder(n++);
        last = m.position + m.length;
    }
    out += text.mid(last);
    return out;
}

QStringList selectListNames(const QString& text, Dialect dialect)
{
    std::vector<Token> tokens;
    for (const Token& t : tokenize(text, dialect))
        if (t.kind != Kind::Blank && t.kind != Kind::Comment)
            tokens.push_back(t);
    auto word = [&](size_t i) { return text.mid(tokens[i].start, tokens[i].length); };
    QStringList names;
    if (tokens.empty() || word(0).compare("select", Qt::CaseInsensitive) != 0)
        return names;
    size_t i = 1;
    if (i < tokens.size() && word(i).compare("distinct", Qt::CaseInsensitive) == 0)
        ++i;
    // Split the select list at commas of depth 0 up to "from".
    std::vector<std::pair<size_t, size_t>> items;
    size_t itemStart = i;
    int depth = 0;
    for (; i < tokens.size(); ++i) {
        const QString w = word(i);
        if (w == "(")
            ++depth;
        else if (w == ")")
            --depth;
        else if (depth == 0 && (w == "," || w.compare("from", Qt::CaseInsensitive) == 0)) {
            items.push_back({itemStart, i});
            itemStart = i + 1;
            if (w != ",")
                break;
        }
    }
    if (i == tokens.size() && itemStart < i)
        items.push_back({itemStart, i});
    auto unquote = [](QString w) {
        if (w.size() >= 2 && (w.startsWith('"') || w.startsWith('`')))
            w = w.mid(1, w.size() - 2);
        return w;
    };
    for (auto [from, to] : items) {
        const size_t count = to - from;
        QString name;
        if (count >= 2 && word(to - 2).compare("as", Qt::CaseInsensitive) == 0
            && tokens[to - 1].kind == Kind::Word) {
            name = unquote(word(to - 1));
        } else {
            // a, a.b, a.b.c: plain column references only
            bool plain = count % 2 == 1;
            for (size_t k = from; plain && k < to; ++k)
                plain = ((k - from) % 2 == 0) ? tokens[k].kind == Kind::Word : word(k) == ".";
            if (plain)
                name = unquote(word(to - 1));
        }
        names << name;
    }
    return names;
}

QString rewriteCharCasts(const QString& text)
{
    std::vector<Token> tokens;
    for (const Token& t : tokenize(text, Dialect::Sqlite))
        if (t.kind != Kind::Blank && t.kind != Kind::Comment)
            tokens.push_back(t);
    const int count = int(tokens.size());
    auto word = [&](int i) {
        return i < count ? QStringView(text).sliced(tokens[i].start, tokens[i].length) : QStringView();
    };
    auto is = [&](int i, const char* w) {
        return word(i).compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    };

    // In one pass: the ")" that closes each "(", and the last "as" directly
    // inside it.
    std::vector<int> close(count, -1), lastAs(count, -1), open;
    for (int k = 0; k < count; ++k) {
        if (word(k) == u"(") {
            open.push_back(k);
        } else if (word(k) == u")" && !open.empty()) {
            close[open.back()] = k;
            open.pop_back();
        } else if (!open.empty() && is(k, "as")) {
            lastAs[open.back()] = k;
        }
    }

    // "cast (" becomes "<char cast>(" and "as char ( n ) )" becomes ", n)";
    // the expression stays where it is, comments included, so nested casts
    // need no second pass.
    struct Edit {
        int start;
        int end;
        QString replacement;
    };
    std::vector<Edit> edits;
    for (int i = 0; i + 1 < count; ++i) {
        if (!is(i, "cast") || word(i + 1) != u"(")
            continue;
        const int as = lastAs[i + 1];
        if (as <= i + 2 || close[i + 1] != as + 5 || !(is(as + 1, "char") || is(as + 1, "character"))
            || word(as + 2) != u"(" || word(as + 4) != u")")
            continue;
        edits.push_back({tokens[i].start, tokens[i + 1].start + 1, QString::fromLatin1(kSqliteCharCast) + '('});
        edits.push_back({tokens[as].start, tokens[as + 5].start + 1, ", " + word(as + 3).toString() + ")"});
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.start < b.start; });
    QString out;
    int last = 0;
    for (const Edit& e : edits) {
        out += QStringView(text).sliced(last, e.start - last);
        out += e.replacement;
        last = e.end;
    }
    out += QStringView(text).sliced(last);
    return out;
}

} // namespace engine::sqltext
