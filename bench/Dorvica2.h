#pragma once

// The program connects to the alias "Dorvica2" only: a benchmark registers
// the store of the alias it is given as "Dorvica2" in a registry of its own,
// under a temporary XDG_CONFIG_HOME, leaving the user's registry alone.

#include "platform/engine/AliasRegistry.h"

#include <QTemporaryDir>
#include <cstdio>

namespace bench {

inline bool pointDorvica2At(const QString& alias, QTemporaryDir& config, const char* benchmark)
{
    engine::AliasRegistry theirs;
    theirs.load();
    std::optional<engine::Alias> found = theirs.find(alias);
    if (!found) {
        std::fprintf(stderr, "%s: no alias '%s' in %s\n", benchmark, qPrintable(alias), qPrintable(theirs.path()));
        return false;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    engine::Alias dorvica = *found;
    dorvica.name = "Dorvica2";
    engine::AliasRegistry ours;
    ours.set(dorvica);
    ours.save();
    return true;
}

} // namespace bench
