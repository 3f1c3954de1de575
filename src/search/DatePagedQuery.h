#pragma once

#include "data/Query.h"

#include <QDate>
#include <optional>

// A query whose statement lists its rows newest first by one date column
// ("select ... where ... order by <column> desc"), read a part at a time: a
// list of a million exams cannot be read whole each time it is shown. What
// is held is always every row of a run of consecutive dates, so the parts
// join without gaps or repeats whatever order the store gives rows of the
// same date. Opening reads the newest rows; fetchMore() reads more at either
// end; reach() moves what is held to a date far down the list without
// reading the rows in between. Rows without a date come last.
class DatePagedQuery : public Query {
    Q_OBJECT
public:
    enum class End { Newer, Older };

    DatePagedQuery(const QString& name, const QString& databaseName, const QString& dateColumn,
                   QObject* parent = nullptr);

    // Whether the list goes on beyond what is held at that end.
    bool hasMore(End end) const;
    // Reads about one part more at that end, keeping the current record;
    // returns how many rows were added.
    int fetchMore(End end);
    // Makes the rows of `date`, if the statement yields any, part of what is
    // held, so that a Locate by date can find them.
    void reach(const QDate& date);

    // About how many rows each reading adds: at least this many, since
    // whole dates are read.
    void setPartSize(int rows) { m_part = std::max(1, rows); }

protected:
    std::vector<engine::Record> readRecords() override;
    void afterClose() override;

private:
    // The statement with one more condition and an order of its own.
    std::vector<engine::Record> read(const QString& condition, const QVariantList& params,
                                     const QString& tail);
    // The date of the part-th dated row beyond `from` towards `end` (from
    // the top when `from` is empty); nothing when fewer rows lie there.
    std::optional<QDate> dateAfter(const std::optional<QDate>& from, End end);
    // The dated rows that meet the conditions, newest first; `toTheEnd` adds
    // the undated ones after them.
    std::vector<engine::Record> readDated(QStringList conditions, const QVariantList& params, bool toTheEnd);
    bool holds(const QDate& date) const;

    QString m_dateColumn;
    int m_part = 100;
    bool m_bounded = false;           // the bounds below are chosen
    std::optional<QDate> m_newest;    // held from this date down; empty: from the top
    std::optional<QDate> m_oldest;    // held down to this date; empty: to the end
};
