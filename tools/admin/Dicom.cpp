#include "Admin.h"

#include "data/Received.h"
#include "data/Schema.h"
#include "platform/dicom/StorageService.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"

#include <QDateTime>
#include <QFileInfo>

using engine::Database;
using engine::EngineError;

namespace admin {

namespace {

// One line of what a stored document became: whom it belongs to, what is
// used and what is not, and why.
QString describe(const received::Stored& s)
{
    if (s.duplicate)
        return QString("já recebido em %1; nada foi gravado.").arg(s.received.toString("yyyy-MM-dd HH:mm:ss"));
    QStringList codes;
    for (const dicom::SiteValue& v : s.selection.values)
        codes << v.code;
    QString line = s.match.note + QString(". %1 valor(es) usado(s)").arg(codes.size());
    if (!codes.isEmpty())
        line += " (" + codes.join(", ") + ")";
    if (s.selection.unused.empty())
        return line + ".";
    QStringList unused;
    for (const dicom::Unused& u : s.selection.unused)
        unused << QString("%1 %2 %3: %4")
                      .arg(u.measurement.conceptName.text(), u.measurement.value, u.measurement.unit.value, u.reason)
                      .simplified();
    return line + QString("; %1 não usado(s): %2.").arg(unused.size()).arg(unused.join("; "));
}

// The store, with the tables of received reports (an older store lacks them).
std::unique_ptr<Database> openStore(const QString& alias)
{
    auto db = Database::connect(alias, "ADMIN");
    schema::createMissingTables(*db);
    return db;
}

QString now() { return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"); }

} // namespace

int dicomImportCommand(const QString& alias, const QStringList& files, Io io)
{
    auto db = openStore(alias);
    int failed = 0;
    for (const QString& file : files) {
        try {
            const dicom::Document document = dicom::readFile(file);
            io.out << file << ": " << describe(received::store(*db, document, QFileInfo(file).fileName())) << Qt::endl;
        } catch (const dicom::ReadError& e) {
            io.err << file << ": " << e.text() << " Nada foi gravado." << Qt::endl;
            ++failed;
        } catch (const EngineError& e) {
            io.err << file << ": não foi gravado: " << e.text() << Qt::endl;
            ++failed;
        }
    }
    if (failed)
        io.err << failed << " de " << files.size() << " ficheiro(s) não foram importados." << Qt::endl;
    return failed ? 1 : 0;
}

int dicomListenCommand(const QString& alias, quint16 port, const QString& aeTitle, Io io)
{
    auto db = openStore(alias);
    using Outcome = dicom::StorageService::Outcome;
    auto receive = [&](const QString& file, const QString& sender) {
        const QString origin = "AE " + sender;
        try {
            const dicom::Document document = dicom::readFile(file);
            io.out << now() << " Documento de " << sender << ": " << describe(received::store(*db, document, origin))
                   << Qt::endl;
            return Outcome::Stored;
        } catch (const dicom::ReadError& e) {
            io.err << now() << " Documento de " << sender << " recusado: " << e.text() << Qt::endl;
            return Outcome::Unreadable;
        } catch (const EngineError& e) {
            io.err << now() << " Documento de " << sender << " não gravado: " << e.text() << Qt::endl;
            return Outcome::NotStored;
        }
    };
    auto log = [&](const QString& line) { io.out << now() << " " << line << Qt::endl; };
    dicom::StorageService service({port, aeTitle}, receive, log);
    io.out << now() << " À escuta na porta " << port << " como " << aeTitle << ", para " << alias << " ("
           << db->driver().describeTarget() << ")." << Qt::endl;
    const QString stopped = service.run();
    io.err << now() << " O serviço parou: " << stopped << Qt::endl;
    return 1;
}

} // namespace admin
