#include "search/NamePrefixes.h"

#include "data/Dataset.h"
#include "platform/engine/NameOrder.h"

// The first letters of the name key, by which the list is ordered.
NamePrefixes::Key NamePrefixes::keyOf(const QString& name, int length)
{
    Key key;
    for (int i = 0; i < length && i < name.size(); ++i)
        (i < 4 ? key.low : key.high) |= quint64(engine::nameKeyChar(name[i].unicode())) << (16 * (i % 4));
    return key;
}

void NamePrefixes::build(const Dataset& list, int nameField)
{
    const int count = list.active() ? list.recordCount() : 0;
    m_keys.resize(size_t(count));
    m_null.resize(size_t(count));
    for (int row = 0; row < count; ++row) {
        const QVariant name = list.rowAt(row).value(nameField);
        m_null[row] = name.isNull();
        m_keys[row] = keyOf(name.toString(), kLength);
    }
}

int NamePrefixes::find(const Dataset& list, int nameField, const QString& text) const
{
    const int compared = std::min(kLength, int(text.size()));
    const Key wanted = keyOf(text, compared);
    Key mask;
    for (int i = 0; i < compared; ++i)
        (i < 4 ? mask.low : mask.high) |= quint64(0xFFFF) << (16 * (i % 4));
    const QString whole = engine::nameKey(text);
    for (int row = 0; row < int(m_keys.size()); ++row) {
        const Key& key = m_keys[row];
        if ((key.low & mask.low) != wanted.low || (key.high & mask.high) != wanted.high || m_null[row])
            continue;
        // Beyond the first letters the record itself decides.
        if (text.size() <= kLength
            || engine::nameKey(list.rowAt(row).value(nameField).toString()).startsWith(whole))
            return row;
    }
    return -1;
}
