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

static QString stripComment(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(';') || trimmed.startsWith('#'))
        return {};
    for (int i = 1; i < line.size(); ++i)
        if (line[i] == ';' && line[i - 1].isSpace())
            return line.left(i).trimmed();
    return trimmed;
}

QMap<QString, Alias> AliasRegistry::parse(const QString& text, const QString& path)
{
    QMap<QString, Alias> result;
    Alias* current = nullptr;
    const QStringList lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = stripComment(lines[n]);
        if (line.isEmpty())
            continue;
        auto fail = [&](const QString& why) {
            throw EngineError(QString("O registo de aliases %1 não pode ser lido: linha %2: %3")
                                  .arg(path).arg(n + 1).arg(why));
        };
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 3)
                fail("secção mal formada \"" + line + "\"");
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty())
                fail("nome de alias vazio");
            if (result.contains(name.toLower()))
                fail("alias \"" + name + "\" repetido");
            current = &result[name.toLower()];
            current->name = name;
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq <= 0)
            fail("esperava \"chave=valor\" e encontrou \"" + line + "\"");
        if (!current)
            fail("\"" + line + "\" aparece antes de qualquer [alias]");
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == "driver")
            current->driver = value.toLower();
        else
            current->settings.insert(key, value);
    }
    return result;
}

QString AliasRegistry::format(const QList<Alias>& aliases)
{
    QString out;
    for (const Alias& a : aliases) {
        out += "[" + a.name + "]\n";
        out += "driver=" + a.driver + "\n";
        for (auto it = a.settings.cbegin(); it != a.settings.cend(); ++it)
            out += it.key() + "=" + it.value() + "\n";
        out += "\n";
    }
    return out;
}

void AliasRegistry::load()
{
    m_aliases.clear();
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(QString("O registo de aliases %1 não pode ser aberto: %2")
                              .arg(m_path, file.errorString()));
    m_aliases = parse(QString::fromUtf8(file.readAll()), m_path);
}

void AliasRegistry::save() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw EngineError(QString("O registo de aliases %1 não pode ser escrito: %2")
                              .arg(m_path, file.errorString()));
    }
    file.write(format(m_aliases.values()).toUtf8());
    if (!file.commit())
        throw EngineError(QString("O registo de aliases %1 não pode ser escrito: %2")
                              .arg(m_path, file.errorString()));
}

std::optional<Alias> AliasRegistry::find(const QString& name) const
{
    auto it = m_aliases.constFind(name.toLower());
    if (it == m_aliases.cend())
        return std::nullopt;
    return *it;
}

} // namespace engine
