#pragma once

#include <QString>

// The code pages the old tables' text may be kept in: DOS 437, 850 (Latin I)
// and 860 (Portuguese), and Windows-1252.
namespace paradox::codepages {

// Bytes 0x80 to 0xFF of `codePage` in Unicode, or null for a code page not
// known here.
const char16_t* upperHalf(int codePage);

QString decode(const char* bytes, int length, const char16_t* upperHalf);

} // namespace paradox::codepages
