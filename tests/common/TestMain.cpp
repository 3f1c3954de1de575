#include "common/TestMain.h"

#include "platform/ui/Application.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

namespace vtest {

namespace {
struct Entry {
    const char* name;
    std::function<QObject*()> factory;
};
std::vector<Entry>& entries()
{
    static std::vector<Entry> list;
    return list;
}
} // namespace

int registerTest(const char* name, std::function<QObject*()> factory)
{
    entries().push_back({name, std::move(factory)});
    return int(entries().size());
}

} // namespace vtest

// Runs every registered test class. "-class Name" picks one class; the other
// arguments go to Qt Test (a function name, -v2, ...). The alias registry of
// the tests lives in a temporary XDG_CONFIG_HOME so that a developer's own
// registry is never touched.
int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // A zone an hour off UTC, so that a date-time mixed up with UTC shows.
    qputenv("TZ", "Atlantic/Azores");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    Q_INIT_RESOURCE(assets);
    app.setTitle("Velunor");
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Portugal));

    QStringList args = app.arguments();
    QString only;
    if (const int at = int(args.indexOf("-class")); at >= 0 && at + 1 < args.size()) {
        only = args[at + 1];
        args.remove(at, 2);
    }
    int failures = 0;
    for (const auto& entry : vtest::entries()) {
        if (!only.isEmpty() && only != entry.name)
            continue;
        std::unique_ptr<QObject> test(entry.factory());
        failures += QTest::qExec(test.get(), args);
    }
    return failures == 0 ? 0 : 1;
}
