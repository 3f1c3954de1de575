#pragma once

#include <QStringView>

class QTextDocument;

namespace richtext::detail {

// Appends the content of the RTF stream `rtf` to the empty document `doc`.
void readRtf(QTextDocument* doc, QStringView rtf);

} // namespace richtext::detail
