#pragma once

#include <QMap>
#include <QString>
#include <optional>

namespace engine {

// One registered alias: which driver and where the store is.
struct Alias {
    QString name;
    QString driver;            // "sqlite" or "postgres"
    QMap<QString, QString> settings; // path | host, port, database, user

    QString setting(const QString& key) const { return settings.value(key); }
};

// The engine's alias registry: an INI file, one group per alias, at
// $XDG_CONFIG_HOME/velunor/aliases.ini (~/.config/velunor/aliases.ini).
// Comments start with ';' or '#' at the start of a line, or with ';' after a
// blank inside a line. A file that cannot be parsed is an error naming the
// line, never silently ignored.
class AliasRegistry {
public:
    static QString defaultPath();

    explicit AliasRegistry(QString path = defaultPath());

    // Reads the file; a missing file is an empty registry.
    void load();
    void save() const;

    std::optional<Alias> find(const QString& name) const;
    QList<Alias> aliases() const { return m_aliases.values(); }
    void set(const Alias& alias) { m_aliases.insert(alias.name.toLower(), alias); }
    bool remove(const QString& name) { return m_aliases.remove(name.toLower()) > 0; }
    const QString& path() const { return m_path; }

    static QMap<QString, Alias> parse(const QString& text, const QString& path);
    static QString format(const QList<Alias>& aliases);

private:
    QString m_path;
    QMap<QString, Alias> m_aliases; // by lower-case name
};

} // namespace engine
