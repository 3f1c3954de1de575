#include "data/Field.h"

#include "data/Dataset.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

using engine::EngineError;
using engine::FieldType;

QString shortDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains("yyyy"))
        format.replace("yy", "yyyy");
    return format;
}

void useRegionalDefaults()
{
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Portugal));
}

namespace {

// Delphi-style number pictures: '#' an optional digit, '0' a required one,
// ',' asks for grouped thousands. "###,###" shows 1234 as "1 234" (the
// locale's separator) and 0 as nothing, since every digit is optional.
QString formatPicture(qint64 value, const QString& picture)
{
    const int required = int(picture.count('0'));
    QString digits = QString::number(std::llabs(value));
    if (value == 0)
        digits = required > 0 ? QString(required, '0') : QString();
    else if (digits.size() < required)
        digits = QString(required - digits.size(), '0') + digits;
    if (picture.contains(',') && digits.size() > 3) {
        const QString sep = QLocale().groupSeparator();
        for (int i = int(digits.size()) - 3; i > 0; i -= 3)
            digits.insert(i, sep);
    }
    return (value < 0 && !digits.isEmpty() ? "-" : "") + digits;
}

// The century of a two-digit year: within fifty years of today.
int fullYear(int year, int digitCount)
{
    if (digitCount > 2)
        return year;
    const int now = QDate::currentDate().year();
    int full = now / 100 * 100 + year;
    if (full > now + 50)
        full -= 100;
    else if (full <= now - 50)
        full += 100;
    return full;
}

// A date typed in the locale's order of day, month and year, with any of
// '/', '-', '.' or blanks between the parts; a missing year is this year.
QDate parseDate(const QString& text)
{
    const QStringList parts = text.split(QRegularExpression("[/.\\- ]+"), Qt::SkipEmptyParts);
    if (parts.size() < 2 || parts.size() > 3)
        return {};
    const QString order = shortDateFormat();
    const int d = int(order.indexOf('d')), m = int(order.indexOf('M')), y = int(order.indexOf('y'));
    QList<std::pair<int, char>> positions = {{d, 'd'}, {m, 'M'}, {y, 'y'}};
    std::sort(positions.begin(), positions.end());
    int day = 0, month = 0, year = QDate::currentDate().year();
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const int v = parts[i].toInt(&ok);
        if (!ok)
            return {};
        switch (positions[i].second) {
        case 'd': day = v; break;
        case 'M': month = v; break;
        default: year = fullYear(v, int(parts[i].size())); break;
        }
    }
    return QDate(year, month, day);
}

QTime parseTime(const QString& text)
{
    for (const char* format : {"H:mm:ss.zzz", "H:mm:ss", "H:mm"})
        if (const QTime t = QTime::fromString(text, format); t.isValid())
            return t;
    return {};
}

} // namespace

Field::Field(Dataset* dataset, const engine::FieldDef& def, int index)
    : QObject(dataset), m_dataset(dataset), m_def(def), m_index(index)
{
}

bool Field::isText() const { return m_def.type == FieldType::String || m_def.type == FieldType::Memo; }

bool Field::isNumeric() const
{
    switch (m_def.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::Float: return true;
    default: return false;
    }
}

bool Field::canModify() const { return !readOnly() && m_dataset->canModify(); }

QVariant Field::value() const { return m_dataset->fieldValue(m_index); }

QString Field::asString() const { return format(value(), false); }

void Field::checkRange(double value) const
{
    double low = 0, high = 0;
    if (m_def.type == FieldType::SmallInt) {
        low = -32768;
        high = 32767;
    } else if (m_def.type == FieldType::Integer || m_def.type == FieldType::AutoInc) {
        low = -2147483648.0;
        high = 2147483647.0;
    } else {
        return;
    }
    if (value < low || value > high)
        throw EngineError(QString("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                              .arg(QString::number(value, 'g', 15), displayName(), QString::number(low, 'g', 15),
                                   QString::number(high, 'g', 15)));
}

void Field::setValue(const QVariant& value)
{
    QVariant v = value;
    if (!v.isNull() && isNumeric() && m_def.type != FieldType::Float) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok)
            checkRange(d);
    }
    v = engine::values::coerce(m_def.type, v);
    if (m_def.type == FieldType::String && m_def.size > 0 && v.toString().size() > m_def.size)
        v = v.toString().left(m_def.size);
    m_dataset->setFieldValue(m_index, v);
}

QString Field::format(const QVariant& v, bool forDisplay) const
{
    return formatFieldValue(m_def.type, v, forDisplay ? m_displayFormat : QString());
}

QString formatFieldValue(FieldType type, const QVariant& v, const QString& displayFormat)
{
    if (v.isNull())
        return {};
    const QLocale locale;
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
        if (!displayFormat.isEmpty())
            return formatPicture(v.toLongLong(), displayFormat);
        return QString::number(v.toLongLong());
    case FieldType::Float:
        return locale.toString(v.toDouble(), 'g', 15);
    case FieldType::Date:
        return v.toDate().toString(shortDateFormat());
    case FieldType::DateTime: {
        const QDateTime dt = v.toDateTime();
        QString text = dt.date().toString(shortDateFormat());
        // The time shows only when there is one, as a short date is a day.
        if (dt.time() != QTime(0, 0))
            text += " " + dt.time().toString(dt.time().second() || dt.time().msec() ? "HH:mm:ss" : "HH:mm");
        return text;
    }
    case FieldType::Boolean:
        return v.toBool() ? "True" : "False";
    case FieldType::String:
    case FieldType::Memo:
        return v.toString();
    }
    return v.toString();
}

QVariant Field::parse(const QString& typed) const
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    const QLocale locale;
    switch (m_def.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        // The display groups thousands, so grouped text typed back is a number too.
        QString digits = text;
        digits.remove(locale.groupSeparator()).remove(' ');
        bool ok = false;
        const qint64 v = digits.toLongLong(&ok);
        if (!ok)
            throw EngineError(QString("'%1' is not a valid integer value for field '%2'").arg(typed, displayName()));
        checkRange(double(v));
        return int(v);
    }
    case FieldType::Float: {
        bool ok = false;
        double v = locale.toDouble(text, &ok);
        if (!ok)
            v = QLocale::c().toDouble(text, &ok);
        if (!ok || !std::isfinite(v))
            throw EngineError(
                QString("'%1' is not a valid floating point value for field '%2'").arg(typed, displayName()));
        return v;
    }
    case FieldType::Date: {
        const QDate d = parseDate(text);
        if (!d.isValid())
            throw EngineError(QString("'%1' is not a valid date").arg(typed));
        return d;
    }
    case FieldType::DateTime: {
        const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
        const QDate d = parseDate(parts.first());
        const QTime t = parts.size() > 1 ? parseTime(parts.mid(1).join(' ')) : QTime(0, 0);
        if (!d.isValid() || !t.isValid() || parts.size() > 2)
            throw EngineError(QString("'%1' is not a valid date and time").arg(typed));
        return engine::values::wallClock(d, t);
    }
    case FieldType::Boolean: {
        const QString t = text.toLower();
        if (t == "true" || t == "t" || t == "sim" || t == "s" || t == "1")
            return true;
        if (t == "false" || t == "f" || t == "não" || t == "n" || t == "0")
            return false;
        throw EngineError(QString("'%1' is not a valid boolean value for field '%2'").arg(typed, displayName()));
    }
    case FieldType::String:
    case FieldType::Memo:
        return typed;
    }
    return typed;
}

void Field::setText(const QString& text) { setValue(parse(text)); }

bool Field::isValidChar(QChar c) const
{
    const QLocale locale;
    switch (m_def.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
        return c.isDigit() || c == '+' || c == '-' || c == locale.groupSeparator().front() || c == ' ';
    case FieldType::Float:
        return c.isDigit() || c == '+' || c == '-' || c == 'e' || c == 'E' || c == locale.decimalPoint().front()
            || c == '.';
    default:
        return true;
    }
}
