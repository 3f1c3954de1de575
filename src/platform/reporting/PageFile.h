#pragma once

#include "platform/reporting/Page.h"

#include <QByteArray>
#include <vector>

// Composed pages saved to a file and read back ("QRP" files). A file holds a
// header (signature, format version, page count, page size), the pages, and
// a SHA-256 checksum of all that, last in every version of the format. A
// file that is damaged, cut short, of another kind or of a newer format is
// refused whole, and so is one whose pages exceed PageLimits.
namespace reporting {

// Version 2 added pictures and the clips of fills and rules.
inline constexpr int kPageFileVersion = 2;

QByteArray encodePages(const std::vector<Page>& pages);
// The pages of `data`; on refusal, none, and `*error` says why (Portuguese).
std::vector<Page> decodePages(const QByteArray& data, QString* error);

// Writes the file whole or not at all. False, with the reason in `*error`.
bool savePages(const QString& fileName, const std::vector<Page>& pages, QString* error);
// A missing file gives "File does not exist".
std::vector<Page> loadPages(const QString& fileName, QString* error);

} // namespace reporting
