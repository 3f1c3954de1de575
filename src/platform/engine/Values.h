#pragma once

#include "platform/engine/Types.h"

#include <QDate>
#include <QDateTime>

// How typed values are written as text for the stores and read back.
// Dates are "YYYY-MM-DD", date-times "YYYY-MM-DD HH:MM:SS.zzz"; reading
// takes "DD/MM/YYYY" too, as PostgreSQL writes dates for the program.
//
// A date-time is a wall-clock reading without a zone: what the practice's
// clock showed. It travels as a QDateTime in UTC spec, so that no zone rules
// apply to it: no hour is skipped or doubled by summer time, differences in
// days are exact, and building one costs nothing (a local-time QDateTime
// looks the zone up each time).
namespace engine::values {

QDateTime wallClock(const QDate& date, const QTime& time = QTime(0, 0));
// The local clock now, as a wall-clock reading.
QDateTime now();

QString dateText(const QDate& date);
QString dateTimeText(const QDateTime& dateTime);

// A value of `type` from the store's text (UTF-8); an invalid QVariant when
// the text does not hold such a value.
QVariant fromText(FieldType type, const char* text, int length);

// The text a store takes for a bound value (UTF-8); `isNull` for a null.
QByteArray toText(const QVariant& value, bool* isNull);

// `value` converted to the representation of `type` (see Types.h); an
// invalid QVariant when it cannot be.
QVariant coerce(FieldType type, const QVariant& value);

} // namespace engine::values
