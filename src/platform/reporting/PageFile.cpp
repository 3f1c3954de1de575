#include "platform/reporting/PageFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace reporting {

namespace {

constexpr char kSignature[8] = {'V', 'L', 'N', 'R', '-', 'Q', 'R', 'P'};
constexpr qsizetype kHeaderSize = 8 + 2 + 2 + 4 + 8 + 8 + 8;
constexpr qsizetype kChecksumSize = 32;
// Bounds no composed page comes near; a value beyond them is damage.
constexpr double kMaxLength = 10000; // mm
constexpr double kMaxPoints = 2000;
constexpr quint32 kMaxPages = 100000;
constexpr quint32 kMaxFamilyBytes = 1000; // a family is named in a few dozen characters
// Far more than any report's pages take; a bigger file is not one of ours.
constexpr qint64 kMaxFileSize = 256 * 1024 * 1024;

QByteArray checksum(QByteArrayView data) { return QCryptographicHash::hash(data, QCryptographicHash::Sha256); }

class Writer {
public:
    void bytes(const void* p, qsizetype n) { m_data.append(static_cast<const char*>(p), n); }
    template <class T> void number(T value)
    {
        const T be = qToBigEndian(value);
        bytes(&be, sizeof be);
    }
    void real(double value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        number(bits);
    }
    void point(const QPointF& p) { real(p.x()), real(p.y()); }
    void rect(const QRectF& r) { point(r.topLeft()), point(r.bottomRight()); }
    void text(const QString& s)
    {
        const QByteArray utf8 = s.toUtf8();
        number(quint32(utf8.size()));
        m_data.append(utf8);
    }
    QByteArray& data() { return m_data; }

private:
    QByteArray m_data;
};

// Reads what Writer wrote. Any read past the end or any value out of range
// marks the data bad; later reads then give zeros, and the caller checks once.
class Reader {
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_data.size(); }
    void fail() { m_ok = false; }

    template <class T> T number()
    {
        T be{};
        if (!take(&be, sizeof be))
            return T{};
        return qFromBigEndian(be);
    }
    double real()
    {
        const quint64 bits = number<quint64>();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value) || std::abs(value) > kMaxLength)
            fail();
        return m_ok ? value : 0;
    }
    QPointF point()
    {
        const double x = real();
        return {x, real()};
    }
    QRectF rect()
    {
        const QPointF a = point();
        return {a, point()};
    }
    // A text of at most `maxBytes` bytes.
    QString text(quint32 maxBytes) { return QString::fromUtf8(bytes(maxBytes)); }
    QByteArray bytes(quint32 maxBytes)
    {
        const quint32 size = number<quint32>();
        if (!m_ok || size > maxBytes || size > quint32(m_data.size() - m_pos)) {
            fail();
            return {};
        }
        const QByteArray b = m_data.sliced(m_pos, size).toByteArray();
        m_pos += size;
        return b;
    }

private:
    bool take(void* out, qsizetype n)
    {
        if (!m_ok || m_data.size() - m_pos < n) {
            fail();
            return false;
        }
        std::memcpy(out, m_data.data() + m_pos, size_t(n));
        m_pos += n;
        return true;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

enum Flags : quint8 { Italic = 1, Underline = 2, StrikeOut = 4, Clipped = 8 };

// Since version 2 a fill, a rule and a picture end in their clip, if any.
void writeClip(Writer& w, const PageItem& item)
{
    w.number(quint8(item.clip.isEmpty() ? 0 : Clipped));
    if (!item.clip.isEmpty())
        w.rect(item.clip);
}

QRectF readClip(Reader& r, int version)
{
    if (version < 2)
        return {};
    const quint8 flags = r.number<quint8>();
    if (flags & ~Clipped)
        r.fail();
    return (flags & Clipped) ? r.rect() : QRectF();
}

void writeItem(Writer& w, const PageItem& item)
{
    w.number(quint8(item.kind));
    w.number(quint32(item.colour.rgba()));
    switch (item.kind) {
    case PageItem::Kind::Fill:
        w.rect(item.rect);
        writeClip(w, item);
        break;
    case PageItem::Kind::Rule:
        w.point(item.line.p1());
        w.point(item.line.p2());
        w.real(item.width);
        writeClip(w, item);
        break;
    case PageItem::Kind::Picture:
        w.rect(item.rect);
        w.number(quint32(item.data.size()));
        w.bytes(item.data.constData(), item.data.size());
        writeClip(w, item);
        break;
    case PageItem::Kind::Text: {
        w.point(item.origin);
        w.text(item.font.family);
        w.real(item.font.points);
        w.number(quint16(item.font.weight));
        const quint8 flags = (item.font.italic ? Italic : 0) | (item.font.underline ? Underline : 0) |
                             (item.font.strikeOut ? StrikeOut : 0) | (item.clip.isEmpty() ? 0 : Clipped);
        w.number(flags);
        w.text(item.text);
        if (!item.clip.isEmpty())
            w.rect(item.clip);
        break;
    }
    }
}

PageItem readItem(Reader& r, int version)
{
    PageItem item;
    const quint8 kind = r.number<quint8>();
    item.colour = QColor::fromRgba(r.number<quint32>());
    switch (kind) {
    case quint8(PageItem::Kind::Fill):
        item = PageItem::fill(r.rect(), item.colour);
        item.clip = readClip(r, version);
        return item;
    case quint8(PageItem::Kind::Rule): {
        const QPointF p1 = r.point();
        const QPointF p2 = r.point();
        item = PageItem::rule(QLineF(p1, p2), r.real(), item.colour);
        item.clip = readClip(r, version);
        return item;
    }
    case quint8(PageItem::Kind::Picture): {
        if (version < 2)
            break;
        const QRectF rect = r.rect();
        const QColor colour = item.colour;
        item = PageItem::picture(rect, r.bytes(PageLimits::pictureBytes));
        item.colour = colour;
        item.clip = readClip(r, version);
        return item;
    }
    case quint8(PageItem::Kind::Text): {
        const QPointF origin = r.point();
        FontSpec font;
        font.family = r.text(kMaxFamilyBytes);
        font.points = r.real();
        font.weight = r.number<quint16>();
        const quint8 flags = r.number<quint8>();
        font.italic = flags & Italic;
        font.underline = flags & Underline;
        font.strikeOut = flags & StrikeOut;
        // UTF-8 takes at most 3 bytes for a character of a QString.
        const QString text = r.text(3 * PageLimits::runLength);
        const QRectF clip = (flags & Clipped) ? r.rect() : QRectF();
        if (font.points <= 0 || font.points > kMaxPoints || font.weight < 1 || font.weight > 1000 || flags > 15)
            r.fail();
        return PageItem::textRun(origin, font, item.colour, text, clip);
    }
    default: break;
    }
    r.fail();
    return item;
}

const QString kDamaged = QString::fromUtf8("o ficheiro está danificado ou incompleto.");
const QString kNotPages = QString::fromUtf8("o ficheiro não é um relatório gravado.");

} // namespace

QByteArray encodePages(const std::vector<Page>& pages)
{
    Writer body;
    for (const Page& page : pages) {
        body.number(quint32(page.items.size()));
        for (const PageItem& item : page.items)
            writeItem(body, item);
    }
    Writer w;
    w.bytes(kSignature, sizeof kSignature);
    w.number(quint16(kPageFileVersion));
    w.number(quint16(0));
    w.number(quint32(pages.size()));
    const QSizeF size = pages.empty() ? QSizeF() : pages.front().sizeMm;
    w.real(size.width());
    w.real(size.height());
    w.number(quint64(body.data().size()));
    w.data().append(body.data());
    w.data().append(checksum(w.data()));
    return w.data();
}

std::vector<Page> decodePages(const QByteArray& data, QString* error)
{
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return std::vector<Page>();
    };
    if (data.size() < qsizetype(sizeof kSignature) || std::memcmp(data.constData(), kSignature, sizeof kSignature))
        return refuse(kNotPages);
    // The checksum comes before the version: every version ends with it, so
    // that damage in the version's bytes reads as damage, not as a newer format.
    const QByteArrayView whole(data);
    if (data.size() < kHeaderSize + kChecksumSize ||
        checksum(whole.first(data.size() - kChecksumSize)) != whole.last(kChecksumSize))
        return refuse(kDamaged);
    Reader header(whole.sliced(sizeof kSignature, kHeaderSize - qsizetype(sizeof kSignature)));
    const quint16 version = header.number<quint16>();
    if (version > kPageFileVersion)
        return refuse(QString::fromUtf8("o relatório foi gravado num formato mais recente (versão %1), "
                                        "que esta versão do programa não lê.")
                          .arg(version));
    header.number<quint16>();
    const quint32 pageCount = header.number<quint32>();
    const double width = header.real();
    const double height = header.real();
    const quint64 bodySize = header.number<quint64>();
    if (!header.ok() || version == 0 || bodySize != quint64(data.size() - kHeaderSize - kChecksumSize) ||
        pageCount == 0 || pageCount > kMaxPages || width < 1 || height < 1)
        return refuse(kDamaged);

    Reader body(whole.sliced(kHeaderSize, qsizetype(bodySize)));
    std::vector<Page> pages;
    for (quint32 p = 0; p < pageCount && body.ok(); ++p) {
        Page page{QSizeF(width, height), {}};
        const quint32 count = body.number<quint32>();
        if (count > PageLimits::marks)
            body.fail();
        for (quint32 i = 0; i < count && body.ok(); ++i)
            page.items.push_back(readItem(body, version));
        if (!withinLimits(page)) // a page too big for paper, or holding too much
            body.fail();
        pages.push_back(std::move(page));
    }
    if (!body.ok() || !body.atEnd())
        return refuse(kDamaged);
    return pages;
}

bool savePages(const QString& fileName, const std::vector<Page>& pages, QString* error)
{
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(encodePages(pages)) >= 0 && file.commit())
        return true;
    if (error)
        *error = QString::fromUtf8("Não foi possível gravar o relatório \"%1\": %2.")
                     .arg(QFileInfo(fileName).fileName(), file.errorString());
    return false;
}

std::vector<Page> loadPages(const QString& fileName, QString* error)
{
    if (!QFileInfo(fileName).isFile()) {
        if (error)
            *error = "File does not exist";
        return {};
    }
    QFile file(fileName);
    QString why;
    std::vector<Page> pages;
    if (!file.open(QIODevice::ReadOnly))
        why = file.errorString() + ".";
    else if (file.size() > kMaxFileSize)
        why = kNotPages;
    else
        pages = decodePages(file.readAll(), &why);
    if (pages.empty() && error)
        *error = QString::fromUtf8("Não foi possível abrir o relatório \"%1\": %2")
                     .arg(QFileInfo(fileName).fileName(), why);
    return pages;
}

} // namespace reporting
