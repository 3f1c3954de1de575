#include "app/ClosingBackup.h"

#include "data/DM.h"
#include "platform/engine/Database.h"
#include "platform/ui/Application.h"

ClosingBackup::ClosingBackup()
{
    if (!DataModule1)
        return;
    const engine::Database* db = engine::Database::find(DataModule1->Database2->databaseName());
    if (db && db->alias().driver == "sqlite")
        m_backup.emplace(db->alias().setting("path"));
}

void ClosingBackup::reportAtStart()
{
    if (!m_backup)
        return;
    const QString failure = m_backup->takeFailure();
    if (!failure.isEmpty())
        Application::showMessage(QString("A última cópia de segurança automática da base de dados falhou:\r\r%1\r\r"
                                         "O registo das cópias está em %2.")
                                     .arg(failure, m_backup->logFile()));
    const QStringList future = m_backup->takeFutureCopies(QDate::currentDate());
    if (!future.isEmpty())
        Application::showMessage(QString("Há cópias de segurança automáticas da base de dados com data futura, feitas "
                                         "quando o relógio do computador estava adiantado:\r\r%1\r\r"
                                         "São guardadas e não contam para as cópias mantidas. Pode apagá-las da "
                                         "pasta %2 quando já não forem precisas.")
                                     .arg(future.join("\r"), m_backup->copiesDirectory()));
}

qint64 ClosingBackup::start()
{
    return m_backup ? m_backup->runDetached(QDateTime::currentDateTime()) : -1;
}
