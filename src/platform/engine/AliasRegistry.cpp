#include "platform/engine/AliasRegistry.h"

#include "platform/engine/EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace engine {

QString AliasRegistry::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/velunor/aliases.ini";
}

AliasRegistry::AliasRegistry(QString path) : m_path(std::move(path)) {}

namespace {

bool isCommentLine(QStringView trimmed) { return trimmed.startsWith(u';') || trimmed.startsWith(u'#'); }

// Text up to an inline comment (';' after a blank), trimmed.
QString beforeComment(QStringView text)
{
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i] == u';' && text[i - 1].isSpace())
            return text.first(i).trimmed().toString();
    return text.trimmed().toString();
}

bool isControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }

// Whether a value written as it is reads back the same.
bool readsBackAsIs(const QString& value)
{
    if (value != value.trimmed() || value.startsWith(u'"'))
        return false;
    for (qsizetype i = 0; i < value.size(); ++i)
        if (isControl(value[i]) || (value[i] == u';' && i > 0 && value[i - 1].isSpace()))
            return false;
    return true;
}

// A value as written after "key=": quoted, or up to an inline comment.
// Sets `why` when it cannot be read.
QString readValue(QStringView text, QString* why)
{
    text = text.trimmed();
    if (!text.startsWith(u'"'))
        return beforeComment(text);
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            const QStringView rest = text.sliced(i + 1).trimmed();
            if (!rest.isEmpty() && !isCommentLine(rest))
                *why = "texto depois das aspas que fecham o valor";
            return value;
        }
        if (c != u'\\') {
            value += c;
            continue;
        }
        const QChar e = i + 1 < text.size() ? text[++i] : QChar();
        bool hex = false;
        switch (e.unicode()) {
        case '\\':
        case '"': value += e; break;
        case 'n': value += u'\n'; break;
        case 'r': value += u'\r'; break;
        case 't': value += u'\t'; break;
        case 'x': {
            const ushort code = text.sliced(i + 1).first(std::min<qsizetype>(2, text.size() - i - 1)).toUShort(&hex, 16);
            if (hex) {
                value += QChar(code);
                i += 2;
                break;
            }
            [[fallthrough]];
        }
        default: *why = QString("sequência \\%1 desconhecida").arg(e); return value;
        }
    }
    *why = "aspas por fechar";
    return value;
}

// What keeps a name from being a group header that reads back the same.
QString nameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return "o nome está vazio";
    if (name != name.trimmed())
        return "o nome começa ou acaba em espaço";
    for (const QChar c : name)
        if (isControl(c) || QStringView(u"[]=;#\"").contains(c))
            return "o nome não pode ter [ ] = ; # \" nem mudanças de linha";
    return {};
}

// Reads the group of lines [from, to): the alias, or the group kept aside.
void readGroup(const QStringList& lines, int from, int to, const QString& path,
               AliasRegistry::Contents& contents)
{
    const bool preamble = !lines[from].trimmed().startsWith(u'[');
    Alias alias;
    QString problem;
    auto fail = [&](int line, const QString& why) {
        if (problem.isEmpty())
            problem = QString("O registo de aliases %1 não pode ser lido: linha %2: %3")
                          .arg(path).arg(line + 1).arg(why);
    };
    for (int n = from; n < to; ++n) {
        const QString trimmed = lines[n].trimmed();
        if (trimmed.isEmpty() || isCommentLine(trimmed))
            continue;
        if (n == from && trimmed.startsWith(u'[')) {
            const QString header = beforeComment(trimmed);
            const bool closed = header.endsWith(u']') && header.size() >= 2;
            alias.name = header.sliced(1, header.size() - (closed ? 2 : 1)).trimmed();
            if (!closed)
                fail(n, "secção mal formada \"" + header + "\"");
            else if (alias.name.isEmpty())
                fail(n, "nome de alias vazio");
            else if (contents.aliases.contains(alias.name.toLower()))
                fail(n, "alias \"" + alias.name + "\" repetido");
            continue;
        }
        const QString head = beforeComment(trimmed);
        const int eq = int(head.indexOf(u'='));
        if (eq <= 0) {
            fail(n, "esperava \"chave=valor\" e encontrou \"" + head + "\"");
            continue;
        }
        if (preamble) {
            fail(n, "\"" + head + "\" aparece antes de qualquer [alias]");
            continue;
        }
        QString why;
        const QString key = head.left(eq).trimmed().toLower();
        const QString value = readValue(QStringView(trimmed).sliced(eq + 1), &why);
        if (!why.isEmpty())
            fail(n, why);
        else if (key == "driver")
            alias.driver = value.toLower();
        else
            alias.settings.insert(key, value);
    }
    if (problem.isEmpty() && alias.name.isEmpty())
        return; // blank lines and comments before the first group
    if (problem.isEmpty())
        contents.aliases.insert(alias.name.toLower(), alias);
    else
        contents.bad.append({alias.name, problem, lines.mid(from, to - from).join('\n').trimmed()});
}

} // namespace

QString AliasRegistry::written(const QString& value)
{
    if (readsBackAsIs(value))
        return value;
    QString out = "\"";
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += isControl(c) ? QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0')) : QString(c);
        }
    }
    return out + '"';
}

AliasRegistry::Contents AliasRegistry::parse(const QString& text, const QString& path)
{
    // A group runs from its "[name]" line to the next one; lines before the
    // first group make one without a name.
    Contents contents;
    const QStringList lines = text.split('\n');
    for (int from = 0; from < lines.size();) {
        int to = from + 1;
        while (to < lines.size() && !lines[to].trimmed().startsWith(u'['))
            ++to;
        readGroup(lines, from, to, path, contents);
        from = to;
    }
    return contents;
}

QString AliasRegistry::format(const Contents& contents)
{
    QString out;
    // Lines that came before every group stay before them.
    for (const BadGroup& bad : contents.bad)
        if (bad.name.isEmpty())
            out += bad.text + "\n\n";
    for (const Alias& a : contents.aliases) {
        out += "[" + a.name + "]\n";
        out += "driver=" + written(a.driver) + "\n";
        for (auto it = a.settings.cbegin(); it != a.settings.cend(); ++it)
            out += it.key() + "=" + written(it.value()) + "\n";
        out += "\n";
    }
    for (const BadGroup& bad : contents.bad)
        if (!bad.name.isEmpty())
            out += bad.text + "\n\n";
    return out;
}

void AliasRegistry::load()
{
    m_aliases.clear();
    m_bad.clear();
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(QString("O registo de aliases %1 não pode ser aberto: %2")
                              .arg(m_path, file.errorString()));
    Contents contents = parse(QString::fromUtf8(file.readAll()), m_path);
    m_aliases = std::move(contents.aliases);
    m_bad = std::move(contents.bad);
}

void AliasRegistry::save() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw EngineError(QString("O registo de aliases %1 não pode ser escrito: %2")
                              .arg(m_path, file.errorString()));
    }
    file.write(format({m_aliases, m_bad}).toUtf8());
    if (!file.commit())
        throw EngineError(QString("O registo de aliases %1 não pode ser escrito: %2")
                              .arg(m_path, file.errorString()));
}

std::optional<Alias> AliasRegistry::find(const QString& name) const
{
    auto it = m_aliases.constFind(name.toLower());
    if (it != m_aliases.cend())
        return *it;
    for (const BadGroup& bad : m_bad)
        if (bad.name.compare(name, Qt::CaseInsensitive) == 0)
            throw EngineError(bad.problem);
    return std::nullopt;
}

Alias AliasRegistry::require(const QString& name) const
{
    const auto alias = find(name);
    if (!alias)
        throw EngineError(QString("O alias '%1' não está registado (%2).").arg(name, m_path));
    return *alias;
}

void AliasRegistry::set(const Alias& alias)
{
    if (const QString why = nameProblem(alias.name); !why.isEmpty())
        throw EngineError(QString("O alias \"%1\" não pode ser registado: %2.").arg(alias.name, why));
    remove(alias.name);
    m_aliases.insert(alias.name.toLower(), alias);
}

bool AliasRegistry::remove(const QString& name)
{
    const auto named = [&](const BadGroup& bad) { return bad.name.compare(name, Qt::CaseInsensitive) == 0; };
    const bool bad = m_bad.removeIf(named) > 0;
    return m_aliases.remove(name.toLower()) > 0 || bad;
}

} // namespace engine
