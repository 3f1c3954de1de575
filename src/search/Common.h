#pragma once

// What both search windows use.

#include <QKeyEvent>
#include <QString>

// Every letter in capitals, accented ones included, one character for one
// as the stores' upper() maps them ("ç" to "Ç"; "ß" stays), so that what
// the user types and what the store holds are upper-cased alike.
inline QString upperEveryLetter(const QString& text)
{
    QList<uint> letters = text.toUcs4();
    for (uint& c : letters)
        c = QChar::toUpper(c);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(letters.constData()), letters.size());
}

// Whether an event is a press of Enter (either key), which both windows give
// a meaning of their own.
inline bool isEnterPress(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
