#pragma once

#include <QString>

class QTextDocument;

namespace richtext::detail {

// The whole of `doc` as RTF; see Rtf.h.
QString writeRtf(const QTextDocument* doc);

} // namespace richtext::detail
