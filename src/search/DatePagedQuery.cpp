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

std::vector<engine::Record> DatePagedQuery::readRecords()
{
    if (!m_bounded) {
        m_newest.reset();
        m_oldest = dateAfter(std::nullopt, End::Older);
        m_bounded = true;
    }
    // The rows without a date belong to the end of the list.
    const QString& column = m_dateColumn;
    const QString upper = m_newest ? column + " <= :newest" : QString();
    const QString lower = m_oldest ? column + " >= :oldest" : column + " is null";
    QVariantList params;
    if (m_newest)
        params << *m_newest;
    if (m_oldest)
        params << *m_oldest;
    QString condition;
    if (m_newest && m_oldest)
        condition = upper + " and " + lower;
    else if (m_newest)
        condition = "(" + upper + " or " + lower + ")";
    else if (m_oldest)
        condition = lower;
    else
        condition = "1 = 1";
    return read(condition, params, QString("order by %1 desc nulls last").arg(column));
}

int DatePagedQuery::fetchMore(End end)
{
    checkActive();
    if (!hasMore(end))
        return 0;
    const QString& column = m_dateColumn;
    const QDate from = end == End::Older ? *m_oldest : *m_newest;
    const std::optional<QDate> next = dateAfter(from, end);
    std::vector<engine::Record> rows;
    const QString order = QString("order by %1 desc nulls last").arg(column);
    if (end == End::Older) {
        rows = next ? read(QString("%1 < :from and %1 >= :to").arg(column), {from, *next}, order)
                    : read(QString("(%1 < :from or %1 is null)").arg(column), {from}, order);
        m_oldest = next;
    } else {
        rows = next ? read(QString("%1 > :from and %1 <= :to").arg(column), {from, *next}, order)
                    : read(QString("%1 > :from").arg(column), {from}, order);
        m_newest = next;
    }
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
