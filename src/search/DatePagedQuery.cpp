#include "search/DatePagedQuery.h"

#include "data/Connection.h"

namespace {

// The statement without its "order by ...", to which conditions are added.
QString withoutOrder(const QString& sql)
{
    const int at = int(sql.lastIndexOf(" order by ", -1, Qt::CaseInsensitive));
    return at < 0 ? sql : sql.left(at);
}

} // namespace

DatePagedQuery::DatePagedQuery(const QString& name, const QString& databaseName, const QString& dateColumn,
                               QObject* parent)
    : Query(name, databaseName, parent), m_dateColumn(dateColumn)
{
}

std::vector<engine::Record> DatePagedQuery::read(const QString& condition, const QVariantList& params,
                                                 const QString& tail)
{
    const QString sql = withoutOrder(this->sql()) + " and " + condition + " " + tail;
    return toRecords(databaseNamed(databaseName()).query(sql, params));
}

std::optional<QDate> DatePagedQuery::dateAfter(const std::optional<QDate>& from, End end)
{
    const QString& column = m_dateColumn;
    QString condition = column + " is not null";
    QVariantList params;
    if (from) {
        condition += QString(" and %1 %2 :from").arg(column, end == End::Older ? "<" : ">");
        params << *from;
    }
    const QString order = QString("order by %1 %2 limit 1 offset %3")
                              .arg(column, end == End::Older ? "desc" : "asc")
                              .arg(m_part - 1);
    const std::vector<engine::Record> rows = read(condition, params, order);
    if (rows.empty())
        return std::nullopt;
    return rows.front().values.value(fieldByName(column)->index()).toDate();
}

bool DatePagedQuery::holds(const QDate& date) const
{
    return (!m_oldest || date >= *m_oldest) && (!m_newest || date <= *m_newest);
}

bool DatePagedQuery::hasMore(End end) const
{
    return active() && (end == End::Newer ? m_newest.has_value() : m_oldest.has_value());
}

std::vector<engine::Record> DatePagedQuery::readDated(QStringList conditions, const QVariantList& params,
                                                      bool toTheEnd)
{
    // Dated rows and undated ones are read apart: a condition that joins them
    // with "or" would keep the store from reading by the date's index.
    conditions << m_dateColumn + " is not null";
    std::vector<engine::Record> rows = read(conditions.join(" and "), params, "order by " + m_dateColumn + " desc");
    if (toTheEnd) {
        std::vector<engine::Record> undated = read(m_dateColumn + " is null", {}, QString());
        rows.insert(rows.end(), std::make_move_iterator(undated.begin()), std::make_move_iterator(undated.end()));
    }
    return rows;
}

std::vector<engine::Record> DatePagedQuery::readRecords()
{
    if (!m_bounded) {
        m_newest.reset();
        m_oldest = dateAfter(std::nullopt, End::Older);
        m_bounded = true;
    }
    QStringList conditions;
    QVariantList params;
    if (m_newest) {
        conditions << m_dateColumn + " <= :newest";
        params << *m_newest;
    }
    if (m_oldest) {
        conditions << m_dateColumn + " >= :oldest";
        params << *m_oldest;
    }
    return readDated(conditions, params, !m_oldest);
}

int DatePagedQuery::fetchMore(End end)
{
    checkActive();
    if (!hasMore(end))
        return 0;
    const QString& column = m_dateColumn;
    const QDate from = end == End::Older ? *m_oldest : *m_newest;
    const std::optional<QDate> next = dateAfter(from, end);
    QStringList conditions{QString("%1 %2 :from").arg(column, end == End::Older ? "<" : ">")};
    QVariantList params{from};
    if (next) {
        conditions << QString("%1 %2 :to").arg(column, end == End::Older ? ">=" : "<=");
        params << *next;
    }
    std::vector<engine::Record> rows = readDated(conditions, params, end == End::Older && !next);
    (end == End::Older ? m_oldest : m_newest) = next;
    const int added = int(rows.size());
    addRecords(std::move(rows), end == End::Newer);
    return added;
}

void DatePagedQuery::reach(const QDate& date)
{
    checkActive();
    if (!date.isValid() || holds(date))
        return;
    if (read(m_dateColumn + " = :date", {date}, "limit 1").empty())
        return;
    // A part on either side of the date: the list can be browsed both ways.
    auto newest = dateAfter(date, End::Newer);
    auto oldest = dateAfter(date, End::Older);
    std::swap(newest, m_newest);
    std::swap(oldest, m_oldest);
    try {
        reloadKeeping(currentIdentity(), 0);
    } catch (...) {
        m_newest = newest;
        m_oldest = oldest;
        throw;
    }
    notify(DataEvent::DataSetChanged);
}

void DatePagedQuery::afterClose()
{
    m_bounded = false;
    m_newest.reset();
    m_oldest.reset();
    Query::afterClose();
}
