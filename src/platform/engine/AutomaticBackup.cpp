#include "platform/engine/AutomaticBackup.h"

#include "platform/engine/Backup.h"
#include "platform/engine/Driver.h"
#include "platform/engine/EngineError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace engine {

namespace {

const int kDays = 7;
const int kWeeks = 4;

// The day of a copy's file name ("velunor-2024-05-31.db"), or an invalid date
// for any other file.
QDate dayOf(const QString& name)
{
    if (name.size() != 21 || !name.startsWith("velunor-") || !name.endsWith(".db"))
        return {};
    return QDate::fromString(name.mid(8, 10), Qt::ISODate);
}

QString stamp(const QDateTime& at) { return at.toString("yyyy-MM-dd HH:mm:ss"); }

// Which of the days with a copy keep theirs.
QList<QDate> kept(QList<QDate> days)
{
    std::sort(days.begin(), days.end(), std::greater<>());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    QList<QDate> keep = days.mid(0, kDays);
    QList<int> weeks; // the weeks whose newest copy is kept, as year * 100 + week
    for (const QDate& day : std::as_const(days)) {
        int year = 0;
        const int week = day.weekNumber(&year);
        if (weeks.size() == kWeeks)
            break;
        if (weeks.contains(year * 100 + week))
            continue;
        weeks << year * 100 + week;
        if (!keep.contains(day))
            keep << day;
    }
    std::sort(keep.begin(), keep.end());
    return keep;
}

} // namespace

AutomaticBackup::AutomaticBackup(const QString& storeDirectory) : m_dir(QDir(storeDirectory).absolutePath()) {}

QString AutomaticBackup::copyFile(const QDate& day) const
{
    return copiesDirectory() + "/velunor-" + day.toString(Qt::ISODate) + ".db";
}

bool AutomaticBackup::due(const QDate& today) const { return !QFileInfo::exists(copyFile(today)); }

bool AutomaticBackup::run(const QDateTime& now)
{
    QString done;
    try {
        if (!makeCopy(now, done))
            return true;
    } catch (const EngineError& e) {
        return fail(now, e.text());
    }
    log(now, done);
    QFile::remove(failureFile());
    return true;
}

bool AutomaticBackup::makeCopy(const QDateTime& now, QString& done)
{
    const QString dir = copiesDirectory();
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir())
        throw EngineError(QString("o directório %1 não pode ser criado.").arg(dir));
    // One copy at a time: a program that closes while another one's copy is
    // being made leaves the day's copy to it. The lock goes with the process.
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw EngineError(QString("o directório %1 não pode ser aberto.").arg(dir));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !due(now.date()))
        return false;

    QElapsedTimer took;
    took.start();
    const QDate today = now.date();
    const QString target = copyFile(today);
    // What an interrupted copy left behind.
    for (const QString& left : QDir(dir).entryList({"velunor-*.db.part*"}, QDir::Files))
        QFile::remove(dir + "/" + left);
    copySqliteFile(sqliteStoreFile(m_dir), target);
    done = QString("cópia %1 gravada (%2 em %3 s)")
               .arg(QFileInfo(target).fileName(), fileSizeText(target), QString::number(took.elapsed() / 1000.0, 'f', 1));

    // Copies dated after today (made while the clock was ahead) are kept
    // and counted apart: among the others, today's is the newest, and the
    // copy just made is never removed whatever the rule says.
    QList<QDate> days{today};
    for (const QDate& day : copyDays())
        if (day < today)
            days << day;
    const QList<QDate> keep = kept(days);
    QStringList removed;
    for (const QDate& day : std::as_const(days)) {
        if (keep.contains(day) || day == today)
            continue;
        const QString old = copyFile(day);
        if (!QFile::remove(old))
            throw EngineError(QString("a cópia antiga %1 não pôde ser apagada.").arg(old));
        removed << QFileInfo(old).fileName();
    }
    if (!removed.isEmpty())
        done += "; apagadas: " + removed.join(", ");
    if (const QStringList future = futureCopies(today); !future.isEmpty())
        done += "; guardadas, com data futura: " + future.join(", ");
    if (!QFileInfo::exists(target))
        throw EngineError(QString("a cópia %1 não ficou no disco.").arg(target));
    return true;
}

QList<QDate> AutomaticBackup::copyDays() const
{
    QList<QDate> days;
    for (const QString& name : QDir(copiesDirectory()).entryList({"velunor-*.db"}, QDir::Files, QDir::Name))
        if (const QDate day = dayOf(name); day.isValid())
            days << day;
    return days;
}

QStringList AutomaticBackup::futureCopies(const QDate& today) const
{
    QStringList names;
    for (const QDate& day : copyDays())
        if (day > today)
            names << QFileInfo(copyFile(day)).fileName();
    return names;
}

QStringList AutomaticBackup::takeFutureCopies(const QDate& today)
{
    const QStringList future = futureCopies(today);
    QFile told(futureFile());
    const QStringList known = told.open(QIODevice::ReadOnly)
        ? QString::fromUtf8(told.readAll()).split('\n', Qt::SkipEmptyParts)
        : QStringList();
    told.close();
    if (future.isEmpty()) {
        told.remove();
        return {};
    }
    bool news = false;
    for (const QString& name : future)
        news = news || !known.contains(name);
    if (!news)
        return {};
    if (told.open(QIODevice::WriteOnly | QIODevice::Truncate))
        told.write((future.join('\n') + '\n').toUtf8());
    return future;
}

qint64 AutomaticBackup::runDetached(const QDateTime& now)
{
    if (!due(now.date()))
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0) {
        fail(now, QString("a cópia não pôde ser iniciada: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return -1;
    }
    if (pid > 0)
        return pid;
    // The child: a session of its own, so that neither the end of the program
    // nor of its terminal ends the copy; nothing of the program's open files
    // (its display connection, its pipes) kept open; a low priority, as the
    // user may be starting the program again meanwhile.
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    for (int stream : {0, 1, 2})
        ::dup2(null, stream);
    ::close_range(3, ~0U, 0);
    [[maybe_unused]] const int priority = ::nice(10);
    ::_exit(run(now) ? 0 : 1);
}

QString AutomaticBackup::takeFailure()
{
    QFile file(failureFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString failure = QString::fromUtf8(file.readAll()).trimmed();
    file.close();
    file.remove();
    return failure;
}

void AutomaticBackup::log(const QDateTime& now, const QString& text) const
{
    const QByteArray line = (stamp(now) + " " + text + "\n").toUtf8();
    QFile file(logFile());
    if (!file.open(QIODevice::Append) || file.write(line) != line.size())
        std::fputs(line.constData(), stderr);
}

bool AutomaticBackup::fail(const QDateTime& now, const QString& why) const
{
    log(now, "a cópia automática falhou: " + why);
    QFile marker(failureFile());
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        marker.write((stamp(now) + ": " + why + "\n").toUtf8());
    return false;
}

} // namespace engine
