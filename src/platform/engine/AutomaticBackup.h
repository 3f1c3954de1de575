#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

// The automatic copies of an SQLite store, made when the program closes: at
// most one a day, as "backups/velunor-YYYY-MM-DD.db" in the store's
// directory. The newest copy of each of the last 7 days that have one and of
// each of the last 4 weeks that have one are kept, the day's own always;
// copies dated after the day (a clock that was set ahead made them) are kept
// and not counted. Other files there are never touched. Every outcome is a
// line of "backups.log" beside that directory; a failure also leaves
// "backups.failed", which the next start reports once.
class AutomaticBackup {
public:
    explicit AutomaticBackup(const QString& storeDirectory);

    QString copiesDirectory() const { return m_dir + "/backups"; }
    QString logFile() const { return m_dir + "/backups.log"; }
    QString copyFile(const QDate& day) const;

    // Whether the copy of `today` is still to be made.
    bool due(const QDate& today) const;
    // Makes the copy of `now`'s day, if still due, and removes the copies no
    // longer kept. Never throws: a failure is logged and gives false.
    bool run(const QDateTime& now);
    // `run` in a child process of its own, which goes on after the program
    // has ended, so that closing never waits for the copy. Returns the
    // child's process id, or -1 when no copy is due or none could be started
    // (which is logged).
    qint64 runDetached(const QDateTime& now);

    // The failure of the last copy if it was not reported yet, once: empty
    // afterwards, and when the last copy succeeded.
    QString takeFailure();
    // The copies dated after `today`, when one of them was not reported yet
    // ("backups.future" beside the log keeps those that were); empty
    // otherwise.
    QStringList takeFutureCopies(const QDate& today);

private:
    bool makeCopy(const QDateTime& now, QString& done);
    // The days of the dated copies, oldest first.
    QList<QDate> copyDays() const;
    QStringList futureCopies(const QDate& today) const;
    QString futureFile() const { return m_dir + "/backups.future"; }
    void log(const QDateTime& now, const QString& text) const;
    bool fail(const QDateTime& now, const QString& why) const;
    QString failureFile() const { return m_dir + "/backups.failed"; }

    QString m_dir;
};

} // namespace engine
