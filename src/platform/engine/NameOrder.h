#pragma once

#include <QString>

namespace engine {

// The order in which a Portuguese practice expects names: an accented letter
// with its plain one (Á, À, Â, Ã with A; Ç with C; É, Ê with E; Í with I; Ó,
// Ô, Õ with O; Ú, Ü with U), and capitals with small letters. Names are
// ordered by their name key, the name with each of those letters made plain
// and small; other characters stay as they are and compare by code point.
//
// Both stores compute the key with their own built-in functions only (the
// drivers' nameKey), so that an index on it is kept and checked alike by
// every program that opens the store; nameKey() below is the same key in
// the program, for finding names as the lists order them.

// The letters that sort with a plain one, and that plain small letter, side
// by side.
inline constexpr char16_t kAccentedLetters[] = u"ÁÀÂÃÇÉÊÍÓÔÕÚÜáàâãçéêíóôõúü";
inline constexpr char16_t kPlainLetters[] = u"aaaaceeiooouuaaaaceeiooouu";

// One character of the key: one character of the name each.
inline char16_t nameKeyChar(char16_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
    for (int i = 0; kAccentedLetters[i]; ++i)
        if (kAccentedLetters[i] == c)
            return kPlainLetters[i];
    return c;
}

inline QString nameKey(const QString& name)
{
    QString key = name;
    for (QChar& c : key)
        c = QChar(nameKeyChar(c.unicode()));
    return key;
}

} // namespace engine
