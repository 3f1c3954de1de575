#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// DCMTK's network tools against the real `velunor-admin dicom-listen` of this
// build, on a free port of the loopback interface.
namespace srtest {

// A port of the loopback interface that no one listens on.
quint16 freePort();

// One of DCMTK's network tools (echoscu, storescu) run to its end: its exit code, -1 when it crashed.
int dcmtk(const QString& program, const QStringList& args);

// The storage service of `alias` as the practice runs it, started on a free
// port and answering verification; stopped when this goes.
class ListeningService {
public:
    explicit ListeningService(const QString& adminTool, const QString& alias = "Dorvica2");
    ~ListeningService();

    // Whether it answers echoscu (waits up to 20 s for it to start); the
    // reason in `why` when not.
    bool ready(QString* why);
    // Sends a DICOM file as the echo machine "ECOGRAFO" does; storescu's exit code.
    int send(const QString& path);
    int echo();
    // Stops it; what it wrote to its standard output and error.
    QString stop(QString* errors = nullptr);

    quint16 port() const { return m_port; }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    quint16 m_port;
};

} // namespace srtest
