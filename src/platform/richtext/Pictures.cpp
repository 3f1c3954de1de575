#include "platform/richtext/Pictures.h"

#include "platform/richtext/Formats.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>

#include <algorithm>
#include <cmath>

namespace richtext {

namespace {

// The size a picture's bytes decode to, without decoding them; empty when
// they are not a picture we read or decode beyond the limits.
QSize decodedSize(const QByteArray& data, QByteArray* format = nullptr)
{
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (format)
        *format = reader.format();
    if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)
        return {};
    return size;
}

// Lays pictures out at their size in the device's pixels and draws them,
// or a framed box where a picture cannot be drawn. The screen keeps the
// picture decoded at the size it was last shown.
class PictureObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    explicit PictureObject(QObject* parent) : QObject(parent) { setObjectName("richtext::PictureObject"); }

    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override
    {
        const QPaintDevice* device = doc->documentLayout()->paintDevice();
        const double scale = device ? device->logicalDpiY() / 96.0 : 1.0;
        return pictureSize(format) * scale;
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format) override
    {
        const QByteArray data = drawablePicture(format);
        const QImage image = data.isEmpty() ? QImage() : cached(data, rect.size().toSize() * painter->device()->devicePixelRatioF());
        if (!image.isNull()) {
            painter->drawImage(rect, image);
            return;
        }
        painter->save();
        painter->setPen(QPen(Qt::gray, 0));
        painter->setBrush(QColor(240, 240, 240));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

private:
    QImage cached(const QByteArray& data, const QSize& size)
    {
        const QString key = QString::number(quintptr(data.constData())) + '/' + QString::number(data.size());
        auto it = m_images.find(key);
        if (it == m_images.end() || it->size() != size)
            it = m_images.insert(key, decodePicture(data, size));
        return *it;
    }

    QHash<QString, QImage> m_images;
};

// The data of the pictures `doc` shows.
qsizetype shownPictureBytes(const QTextDocument& doc)
{
    qsizetype bytes = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (isPicture(it.fragment().charFormat()) && !it.fragment().charFormat().boolProperty(PictureHidden))
                bytes += it.fragment().length() * it.fragment().charFormat().property(PictureData).toByteArray().size();
    return bytes;
}

} // namespace

QTextCharFormat pictureFormat(const QByteArray& data, const QString& kind, const QString& words,
                              const QSizeF& sizePx, bool shown)
{
    QTextCharFormat format;
    format.setObjectType(kPictureObject);
    format.setProperty(PictureData, data);
    format.setProperty(PictureKind, kind);
    format.setProperty(PictureWords, words);
    format.setProperty(QTextFormat::ImageWidth, sizePx.width());
    format.setProperty(QTextFormat::ImageHeight, sizePx.height());
    if (!shown)
        format.setProperty(PictureHidden, true);
    return format;
}

bool isPicture(const QTextFormat& format) { return format.objectType() == kPictureObject; }

QSizeF pictureSize(const QTextFormat& format)
{
    return {format.doubleProperty(QTextFormat::ImageWidth), format.doubleProperty(QTextFormat::ImageHeight)};
}

QByteArray drawablePicture(const QTextFormat& format)
{
    if (!isPicture(format) || format.boolProperty(PictureHidden))
        return {};
    const QString kind = format.stringProperty(PictureKind);
    if (kind != u"pngblip" && kind != u"jpegblip")
        return {};
    const QByteArray data = format.property(PictureData).toByteArray();
    return decodedSize(data).isValid() ? data : QByteArray();
}

QImage decodePicture(const QByteArray& data, const QSize& maxSize)
{
    const QSize size = decodedSize(data);
    if (!size.isValid())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    if (maxSize.isValid() && !maxSize.isEmpty() && (size.width() > maxSize.width() || size.height() > maxSize.height()))
        reader.setScaledSize(size.scaled(maxSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
}

void enablePictures(QTextDocument* doc)
{
    if (doc->findChild<PictureObject*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    doc->documentLayout()->registerHandler(kPictureObject, new PictureObject(doc));
}

bool insertPictureFile(QTextCursor& cursor, const QString& fileName, double maxWidthPx, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QString::fromUtf8("Não foi possível inserir a imagem \"%1\": %2")
                         .arg(QFileInfo(fileName).fileName(), why);
        return false;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString() + '.');
    if (file.size() > kMaxPictureBytes)
        return fail(QString::fromUtf8("a imagem tem mais de 10 MB."));
    const QByteArray data = file.readAll();
    QByteArray format;
    const QSize size = decodedSize(data, &format);
    if (format != "png" && format != "jpeg")
        return fail(QString::fromUtf8("só se inserem imagens PNG ou JPEG."));
    if (!size.isValid())
        return fail(QString::fromUtf8("a imagem é demasiado grande."));
    if (shownPictureBytes(*cursor.document()) + data.size() > kMaxPictureBytes)
        return fail(QString::fromUtf8("o relatório já tem 10 MB de imagens."));
    QSizeF shown(size);
    if (maxWidthPx > 0 && shown.width() > maxWidthPx)
        shown = shown * (maxWidthPx / shown.width());
    // In whole twips, as the stored report will give it back.
    const long goalWidth = std::max(1L, std::lround(shown.width() / kPixelsPerTwip));
    const long goalHeight = std::max(1L, std::lround(shown.height() / kPixelsPerTwip));
    shown = QSizeF(goalWidth, goalHeight) * kPixelsPerTwip;
    const QString kind = format == "png" ? "pngblip" : "jpegblip";
    const QString words = QString("\\%1\\picw%2\\pich%3\\picwgoal%4\\pichgoal%5")
                              .arg(kind)
                              .arg(size.width())
                              .arg(size.height())
                              .arg(goalWidth)
                              .arg(goalHeight);
    enablePictures(cursor.document());
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), pictureFormat(data, kind, words, shown));
    return true;
}

} // namespace richtext

#include "Pictures.moc"
