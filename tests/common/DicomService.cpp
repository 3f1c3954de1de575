#include "common/DicomService.h"

#include <QElapsedTimer>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace srtest {

namespace {
const QString kPeer = "127.0.0.1";
}

quint16 freePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return ntohs(address.sin_port);
}

int dcmtk(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

ListeningService::ListeningService(const QString& adminTool, const QString& alias) : m_port(freePort())
{
    m_process.start(adminTool, {"dicom-listen", alias, "--port", QString::number(m_port), "--aetitle", "VELUNOR"});
}

ListeningService::~ListeningService() { stop(); }

bool ListeningService::ready(QString* why)
{
    QElapsedTimer waited;
    waited.start();
    m_process.waitForStarted();
    while (echo() != 0) {
        if (waited.elapsed() > 20000 || m_process.state() != QProcess::Running) {
            *why = QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
        QTest::qWait(100);
    }
    return true;
}

int ListeningService::echo() { return dcmtk("echoscu", {"-aec", "VELUNOR", kPeer, QString::number(m_port)}); }

int ListeningService::send(const QString& path)
{
    return dcmtk("storescu", {"-R", "-aet", "ECOGRAFO", "-aec", "VELUNOR", kPeer, QString::number(m_port), path});
}

QString ListeningService::stop(QString* errors)
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        m_process.waitForFinished();
    }
    if (errors)
        *errors = QString::fromUtf8(m_process.readAllStandardError());
    return QString::fromUtf8(m_process.readAllStandardOutput());
}

} // namespace srtest
