#pragma once

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
