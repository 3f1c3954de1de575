#pragma once

// What the benchmarks that run the whole program share.

#include "app/Startup.h"
#include "platform/engine/AliasRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace bench {

// The program connects to the alias "Dorvica2" only: the store of the alias
// a benchmark is given is registered as "Dorvica2" in a registry of the
// benchmark's own, under a temporary XDG_CONFIG_HOME; the user's is left alone.
// Gives the alias as registered, or nothing when `alias` is unknown.
inline std::optional<engine::Alias> pointDorvica2At(const QString& alias, QTemporaryDir& config,
                                                    const char* benchmark)
{
    engine::AliasRegistry theirs;
    theirs.load();
    std::optional<engine::Alias> found = theirs.find(alias);
    if (!found) {
        std::fprintf(stderr, "%s: no alias '%s' in %s\n", benchmark, qPrintable(alias), qPrintable(theirs.path()));
        return std::nullopt;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    engine::Alias dorvica = *found;
    dorvica.name = "Dorvica2";
    engine::AliasRegistry ours;
    ours.set(dorvica);
    ours.save();
    return dorvica;
}

// No one answers a box in a benchmark: each one that opens is printed and
// closed, from `timer`.
inline void closeBoxes(QTimer& timer, const char* benchmark)
{
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [benchmark] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "%s: box: %s\n", benchmark, qPrintable(box->text()));
            if (QAbstractButton* b = box->buttons().value(0))
                b->click();
        }
    });
    timer.start();
}

// Builds the program as its main() does; a failure is printed as the fatal
// box would word it.
inline bool buildProgram(Startup& startup, const char* argv0)
{
    try {
        startup.build();
        return true;
    } catch (...) {
        std::fprintf(stderr, "%s\n", qPrintable(Startup::fatalText(std::current_exception(), argv0)));
        return false;
    }
}

inline const char* verdict(bool met) { return met ? "met" : "MISSED"; }

} // namespace bench
