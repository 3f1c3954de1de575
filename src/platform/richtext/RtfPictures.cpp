#include "platform/richtext/RtfPictures.h"

#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/RtfWords.h"

#include <algorithm>
#include <array>

namespace richtext::detail {

namespace {

constexpr int kMaxScale = 10000; // per cent

} // namespace

void PictureReader::start() { *this = PictureReader(); }

void PictureReader::word(QStringView raw, Word word, bool hasParam, int param)
{
    m_words += raw;
    if (!hasParam && word != Word::PictureKind)
        return;
    switch (word) {
    case Word::PictureKind:
        if (m_kind.isEmpty()) {
            m_kind = raw.mid(1).toString();
            while (m_kind.endsWith(u' '))
                m_kind.chop(1);
        }
        break;
    case Word::PictureGoalWidth: m_goalWidth = std::max(param, 0); break;
    case Word::PictureGoalHeight: m_goalHeight = std::max(param, 0); break;
    case Word::PictureScaleX: m_scaleX = std::clamp(param, 1, kMaxScale); break;
    case Word::PictureScaleY: m_scaleY = std::clamp(param, 1, kMaxScale); break;
    default:
        if (raw.startsWith(u"\\picw") && !raw.startsWith(u"\\picwgoal"))
            m_width = std::max(param, 0);
        else if (raw.startsWith(u"\\pich") && !raw.startsWith(u"\\pichgoal"))
            m_height = std::max(param, 0);
        break;
    }
}

void PictureReader::hex(QStringView text)
{
    // The bulk of a report with pictures: digits straight into the bytes.
    qsizetype size = m_data.size();
    m_data.resize(size + text.size() / 2 + 1);
    char* out = m_data.data();
    static const auto values = [] {
        std::array<signed char, 128> t;
        for (int c = 0; c < 128; ++c)
            t[c] = static_cast<signed char>(hexValue(char16_t(c)));
        return t;
    }();
    for (const QChar c : text) {
        const int v = c.unicode() < 128 ? values[c.unicode()] : -1;
        if (v < 0)
            continue;
        if (m_nibble < 0) {
            m_nibble = v;
        } else {
            out[size++] = char(m_nibble * 16 + v);
            m_nibble = -1;
        }
    }
    m_data.truncate(size);
}

void PictureReader::binary(QStringView bytes)
{
    m_data.reserve(m_data.size() + bytes.size());
    for (const QChar c : bytes)
        m_data.append(char(c.unicode() & 0xFF));
}

QTextCharFormat PictureReader::finish(qsizetype& budget)
{
    const bool shown = m_data.size() <= budget;
    if (shown)
        budget -= m_data.size();
    // The size on paper: the goal, else the picture's own pixels, else
    // \picw/\pich, which metafiles give in hundredths of a millimetre.
    QSizeF size(m_goalWidth * kPixelsPerTwip, m_goalHeight * kPixelsPerTwip);
    if (size.isEmpty()) {
        const bool metafile = !m_kind.startsWith(u"png") && !m_kind.startsWith(u"jpeg")
                              && !m_kind.startsWith(u"dib") && !m_kind.startsWith(u"wbitmap");
        const double unit = metafile ? 96.0 / 2540.0 : 1.0;
        size = QSizeF(m_width * unit, m_height * unit);
        if (size.isEmpty())
            size = QSizeF(96, 96);
    }
    size = QSizeF(size.width() * m_scaleX / 100.0, size.height() * m_scaleY / 100.0);
    return pictureFormat(m_data, m_kind, m_words, size, shown);
}

void writeKept(QString& out, QStringView rtf)
{
    static const char digits[] = "0123456789abcdef";
    for (const QChar c : rtf) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out += c;
        } else if (u <= 0xFF) {
            out += u"\\'";
            out += QChar(digits[u >> 4]);
            out += QChar(digits[u & 15]);
        } else {
            out += u"\\u";
            out += QString::number(u > 32767 ? int(u) - 65536 : int(u));
            out += u'?';
        }
    }
}

void writePicture(QString& out, const QTextFormat& format)
{
    static const char digits[] = "0123456789abcdef";
    const QByteArray data = format.property(PictureData).toByteArray();
    out += u"{\\pict";
    writeKept(out, format.stringProperty(PictureWords));
    out.reserve(out.size() + data.size() * 2 + data.size() / 64 + 4);
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i % 64 == 0)
            out += u'\n';
        const auto byte = static_cast<unsigned char>(data[i]);
        out += QChar(digits[byte >> 4]);
        out += QChar(digits[byte & 15]);
    }
    out += u'}';
}

} // namespace richtext::detail
