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

// A group of the registry file that cannot be read. It is kept as written,
// so that saving the registry leaves it as it was, until an alias of that
// name is set again or removed.
struct BadGroup {
    QString name;    // as far as it can be read
    QString problem; // the message, naming the file and the line
    QString text;    // the group's lines as written
};

// The engine's alias registry: an INI file, one group per alias, at
// $XDG_CONFIG_HOME/velunor/aliases.ini (~/.config/velunor/aliases.ini).
// Comments start with ';' or '#' at the start of a line, or with ';' after a
// blank inside a line. A value that would not read back as it is (a path
// with " ;", a line break, blanks at either end) is written in double quotes
// with backslash escapes (\\ \" \n \r \t \xHH). A group that cannot be read
// is an error naming the line when its alias is used, never silently
// ignored, and leaves the other aliases usable.
class AliasRegistry {
public:
    static QString defaultPath();

    explicit AliasRegistry(QString path = defaultPath());

    // Reads the file; a missing file is an empty registry.
    void load();
    void save() const;

    // The alias, none when it is not registered; an error when its group
    // cannot be read.
    std::optional<Alias> find(const QString& name) const;
    // The same, with an error naming the registry when it is not registered.
    Alias require(const QString& name) const;
    QList<Alias> aliases() const { return m_aliases.values(); }
    const QList<BadGroup>& badGroups() const { return m_bad; }
    // Registers or replaces an alias; an error for a name the file cannot hold.
    void set(const Alias& alias);
    // Removes the alias, and any group of that name that cannot be read.
    bool remove(const QString& name);
    const QString& path() const { return m_path; }

    struct Contents {
        QMap<QString, Alias> aliases; // by lower-case name
        QList<BadGroup> bad;
    };
    static Contents parse(const QString& text, const QString& path);
    static QString format(const Contents& contents);
    // A value as the file holds it: as it is, or quoted when it would not
    // read back the same.
    static QString written(const QString& value);

private:
    QString m_path;
    QMap<QString, Alias> m_aliases; // by lower-case name
    QList<BadGroup> m_bad;
};

} // namespace engine
