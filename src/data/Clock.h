#pragma once

#include <QDateTime>
#include <functional>

// The wall clock the exam rules read ("now" and "today"); tests set their own.
namespace clock_ {
QDateTime now();
inline QDate today() { return now().date(); }
// Replaces the clock; an empty function restores the system's.
void set(std::function<QDateTime()> source);
} // namespace clock_
