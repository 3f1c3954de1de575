#include "platform/engine/SqlText.h"

#include "platform/engine/EngineError.h"

namespace engine::sqltext {

namespace {

enum class Kind { Blank, Comment, Word, Literal, Marker, Symbol };

struct Token {
    Kind kind;
    int start;
    int length;
};

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == '_' || c == '$'; }

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

// "$tag$ ... $tag$" dollar quoting; 0 when `i` does not open one.
int dollarLength(const QString& s, int i)
{
    int j = i + 1;
    while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == '_'))
        ++j;
    if (j >= s.size() || s[j] != '$')
        return 0;
    const QString tag = s.mid(i, j - i + 1);
    const int end = s.indexOf(tag, j + 1);
    return end < 0 ? int(s.size()) - i : end + int(tag.size()) - i;
}

std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> out;
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        const QChar c = s[i];
        int len = 1;
        Kind kind = Kind::Symbol;
        if (c.isSpace()) {
            while (i + len < n && s[i + len].isSpace())
                ++len;
            kind = Kind::Blank;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            const int nl = s.indexOf('\n', i);
            len = (nl < 0 ? n : nl) - i;
            kind = Kind::Comment;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const int end = s.indexOf("*/", i + 2);
            len = (end < 0 ? n : end + 2) - i;
            kind = Kind::Comment;
        } else if (c == '\'') {
            const bool escaped = i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e')
                && (i < 2 || !isWordChar(s[i - 2]));
            len = quotedLength(s, i, '\'', escaped);
            kind = Kind::Literal;
        } else if (c == '"' || c == '`' || c == '[') {
            len = c == '[' ? qMax(1, s.indexOf(']', i) + 1 - i) : quotedLength(s, i, c, false);
            if (c == '[' && s.indexOf(']', i) < 0)
                len = n - i;
            kind = Kind::Word;
        } else if (c == '$' && (len = dollarLength(s, i)) > 0) {
            kind = Kind::Literal;
        } else if (c == ':' && i + 1 < n && s[i + 1] == ':') {
            len = 2;
        } else if (c == ':' && i + 1 < n && (s[i + 1].isLetter() || s[i + 1] == '_')) {
            while (i + len < n && isWordChar(s[i + len]))
                ++len;
            kind = Kind::Marker;
        } else if (isWordChar(c)) {
            len = 0;
            while (i + len < n && isWordChar(s[i + len]))
                ++len;
            kind = Kind::Word;
        }
        out.push_back({kind, i, qMax(1, len)});
        i += qMax(1, len);
    }
    return out;
}

bool isSemicolon(const QString& s, const Token& t) { return t.kind == Kind::Symbol && s[t.start] == ';'; }

} // namespace

QString singleStatement(const QString& text)
{
    const auto tokens = tokenize(text);
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

std::vector<Marker> parameterMarkers(const QString& text)
{
    std::vector<Marker> out;
    for (const Token& t : tokenize(text))
        if (t.kind == Kind::Marker)
            out.push_back({t.start, t.length, text.mid(t.start + 1, t.length - 1)});
    return out;
}

QString replaceMarkers(const QString& text, const std::function<QString(int)>& placeholder)
{
    QString out;
    int last = 0;
    int n = 0;
    for (const Marker& m : parameterMarkers(text)) {
        out += text.mid(last, m.position - last);
        out += placeholder(n++);
        last = m.position + m.length;
    }
    out += text.mid(last);
    return out;
}

QStringList selectListNames(const QString& text)
{
    std::vector<Token> tokens;
    for (const Token& t : tokenize(text))
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
    for (const Token& t : tokenize(text))
        if (t.kind != Kind::Blank && t.kind != Kind::Comment)
            tokens.push_back(t);
    auto word = [&](size_t i) {
        return i < tokens.size() ? text.mid(tokens[i].start, tokens[i].length) : QString();
    };
    auto is = [&](size_t i, const char* w) { return word(i).compare(QLatin1String(w), Qt::CaseInsensitive) == 0; };

    // Replace from the back so that earlier positions stay valid; nested casts
    // are handled because each match is rewritten in the original text.
    struct Edit { int start; int length; QString replacement; };
    std::vector<Edit> edits;
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (!is(i, "cast") || word(i + 1) != "(")
            continue;
        int depth = 0;
        size_t asAt = 0, close = 0;
        for (size_t k = i + 1; k < tokens.size(); ++k) {
            const QString w = word(k);
            if (w == "(")
                ++depth;
            else if (w == ")" && --depth == 0) {
                close = k;
                break;
            } else if (depth == 1 && is(k, "as"))
                asAt = k;
        }
        // ... as char ( n ) )
        if (!close || !asAt || close != asAt + 5 || !(is(asAt + 1, "char") || is(asAt + 1, "character"))
            || word(asAt + 2) != "(" || word(asAt + 4) != ")")
            continue;
        const int exprStart = tokens[i + 2].start;
        const int exprEnd = tokens[asAt].start;
        const QString expr = text.mid(exprStart, exprEnd - exprStart).trimmed();
        const int start = tokens[i].start;
        const int end = tokens[close].start + 1;
        edits.push_back({start, end - start,
                         QString("substr(%1, 1, %2)").arg(expr, word(asAt + 3))});
    }
    QString out = text;
    // Apply outermost-last: edits are in increasing start order and an inner
    // cast lies inside an outer one, so apply only non-overlapping ones from
    // the back, then run again for what is left.
    int lastStart = int(text.size()) + 1;
    bool skipped = false;
    for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
        if (it->start + it->length > lastStart) {
            skipped = true;
            continue;
        }
        out.replace(it->start, it->length, it->replacement);
        lastStart = it->start;
    }
    return skipped ? rewriteCharCasts(out) : out;
}

} // namespace engine::sqltext
