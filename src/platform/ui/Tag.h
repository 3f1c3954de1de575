#pragma once

#include <QObject>
#include <QVariant>

// The small number a handler shared by several controls uses to tell its
// senders apart (10 and 11 for the two searches, 1 to 3 for the formats ...).
inline int tagOf(const QObject* object) { return object ? object->property("tag").toInt() : 0; }
inline void setTag(QObject* object, int tag) { object->setProperty("tag", tag); }
