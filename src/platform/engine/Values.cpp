#include "platform/engine/Values.h"

#include <cstdlib>
#include <cstring>

namespace engine::values {

QDateTime wallClock(const QDate& date, const QTime& time) { return QDateTime(date, time, Qt::UTC); }

QDateTime now()
{
    const QDateTime local = QDateTime::currentDateTime();
    return wallClock(local.date(), local.time());
}

QString dateText(const QDate& date) { return date.toString(Qt::ISODate); }

QString dateTimeText(const QDateTime& dateTime)
{
    return dateTime.toString("yyyy-MM-dd HH:mm:ss.zzz");
}

namespace {

// Reads `count` digits at p; -1 when one is not a digit.
int digits(const char* p, int count)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

// "yyyy-mm-dd", or "dd/mm/yyyy" as PostgreSQL writes dates for the program.
QDate parseDate(const char* p, int n)
{
    if (n < 10)
        return {};
    const bool iso = p[4] == '-' && p[7] == '-';
    if (!iso && (p[2] != '/' || p[5] != '/'))
        return {};
    const int y = digits(p + (iso ? 0 : 6), 4), m = digits(p + (iso ? 5 : 3), 2), d = digits(p + (iso ? 8 : 0), 2);
    if (y < 0 || m < 0 || d < 0)
        return {};
    return QDate(y, m, d);
}

QDateTime parseDateTime(const char* p, int n)
{
    const QDate date = parseDate(p, n);
    if (!date.isValid())
        return {};
    if (n < 19 || (p[10] != ' ' && p[10] != 'T') || p[13] != ':' || p[16] != ':')
        return wallClock(date);
    const int h = digits(p + 11, 2), mi = digits(p + 14, 2), s = digits(p + 17, 2);
    int ms = 0;
    if (n > 20 && p[19] == '.') {
        // up to three decimals count; more are cut off
        int scale = 100;
        for (int i = 20; i < n && i < 23 && p[i] >= '0' && p[i] <= '9'; ++i, scale /= 10)
            ms += (p[i] - '0') * scale;
    }
    if (h < 0 || mi < 0 || s < 0)
        return {};
    return wallClock(date, QTime(h, mi, s, ms));
}

} // namespace

QVariant fromText(FieldType type, const char* p, int n)
{
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        const QByteArray text = QByteArray::fromRawData(p, n);
        bool ok = false;
        const int v = text.trimmed().toInt(&ok);
        if (ok)
            return v;
        const double d = text.trimmed().toDouble(&ok);
        return ok ? QVariant(int(d)) : QVariant();
    }
    case FieldType::Float: {
        bool ok = false;
        const double v = QByteArray::fromRawData(p, n).trimmed().toDouble(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case FieldType::Date: {
        const QDate d = parseDate(p, n);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::DateTime: {
        const QDateTime d = parseDateTime(p, n);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Boolean:
        if (n == 0)
            return {};
        return QVariant(p[0] == 't' || p[0] == 'T' || p[0] == '1' || p[0] == 'y' || p[0] == 'Y');
    case FieldType::String:
    case FieldType::Memo:
        return QString::fromUtf8(p, n);
    }
    return {};
}

QByteArray toText(const QVariant& value, bool* isNull)
{
    *isNull = value.isNull();
    if (*isNull)
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return dateText(value.toDate()).toUtf8();
    case QMetaType::QDateTime:
        return dateTimeText(value.toDateTime()).toUtf8();
    case QMetaType::Bool:
        return value.toBool() ? "true" : "false";
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(value.toDouble(), 'g', 17);
    default:
        return value.toString().toUtf8();
    }
}

QVariant coerce(FieldType type, const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        if (value.typeId() == QMetaType::Int)
            return value;
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok ? QVariant(int(d)) : QVariant();
    }
    case FieldType::Float: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }
    case FieldType::Date:
        if (value.typeId() == QMetaType::QDate)
            return value;
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().date();
        break;
    case FieldType::DateTime:
        if (value.typeId() == QMetaType::QDateTime) {
            const QDateTime d = value.toDateTime();
            return d.timeSpec() == Qt::UTC ? value : QVariant(wallClock(d.date(), d.time()));
        }
        if (value.typeId() == QMetaType::QDate)
            return wallClock(value.toDate());
        break;
    case FieldType::Boolean:
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (value.canConvert<int>() && value.typeId() != QMetaType::QString)
            return value.toInt() != 0;
        break;
    case FieldType::String:
    case FieldType::Memo:
        if (value.typeId() == QMetaType::QString)
            return value;
        if (value.typeId() == QMetaType::QDate)
            return dateText(value.toDate());
        if (value.typeId() == QMetaType::QDateTime)
            return dateTimeText(value.toDateTime());
        return value.toString();
    }
    const QByteArray text = value.toString().toUtf8();
    return fromText(type, text.constData(), int(text.size()));
}

} // namespace engine::values
