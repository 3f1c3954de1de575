#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The real velunor-admin of this build, run to its end with the test's alias
// registry. Header-only: the build directory is known to each area's tests.
struct AdminRun {
    int code;
    QString out;
    QString err;
};

inline AdminRun runAdmin(const QStringList& args, const QString& workingDirectory = {})
{
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(VELUNOR_BINARY_DIR "/tools/admin/velunor-admin", args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
