#pragma once

// Windows-1252, the code page of \'xx escapes in the RTF we read and write.
namespace richtext::cp1252 {

// The character for byte `b`. The five bytes Windows leaves undefined map to
// the control character of the same value, as Windows itself does.
char16_t toUnicode(unsigned char b);

// The byte for `c`, or -1 when Windows-1252 has no such character.
int fromUnicode(char16_t c);

} // namespace richtext::cp1252
