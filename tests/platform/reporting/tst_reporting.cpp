#include "common/TestMain.h"
#include "common/Pictures.h"

#include "platform/reporting/Layout.h"
#include "platform/reporting/PageFile.h"
#include "platform/reporting/PreviewWindow.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QtEndian>
#include <sys/resource.h>

using namespace reporting;

namespace {

QFont face(double points)
{
    QFont font("Liberation Sans");
    font.setPointSizeF(points);
    return font;
}

TextElement label(const QString& text)
{
    TextElement e;
    e.box = QRectF(0, 0, 50, 5);
    e.text = text;
    e.font = face(10);
    e.autoSize = true;
    return e;
}

Band band(BandKind kind, double height, std::vector<TextElement> texts = {})
{
    Band b;
    b.kind = kind;
    b.height = height;
    b.texts = std::move(texts);
    return b;
}

// A report on A4 with 10 mm margins, a 20 mm page header and a 10 mm page
// footer (whose top is 277 mm from the paper's top).
Report frame(std::vector<Band> bands)
{
    Report r;
    r.bands.push_back(band(BandKind::PageHeader, 20));
    for (Band& b : bands)
        r.bands.push_back(std::move(b));
    r.bands.push_back(band(BandKind::PageFooter, 10));
    return r;
}

// Where each text was put: page (from 1) and baseline.
struct Placed {
    int page = 0;
    QPointF origin;
};

Placed find(const std::vector<Page>& pages, const QString& text)
{
    for (size_t p = 0; p < pages.size(); ++p)
        for (const PageItem& item : pages[p].items)
            if (item.kind == PageItem::Kind::Text && item.text == text)
                return {int(p) + 1, item.origin};
    return {};
}

// Lowers the address space the process may take to what it holds now plus
// `room` bytes, until destroyed.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(qint64 room)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        QFile status("/proc/self/statm");
        status.open(QIODevice::ReadOnly);
        const qint64 held = status.readAll().split(' ').value(0).toLongLong() * getpagesize();
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(held + room);
        setrlimit(RLIMIT_AS, &lowered);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_saved); }

private:
    rlimit m_saved{};
};

int textCount(const std::vector<Page>& pages)
{
    int count = 0;
    for (const Page& page : pages)
        for (const PageItem& item : page.items)
            count += item.kind == PageItem::Kind::Text;
    return count;
}

} // namespace

// The banded report engine's growth and overflow of rich text, the
// saved-pages file's refusals and the preview of the largest page (the exam
// report's tests measure the rest in real output).
class TestReporting : public QObject {
    Q_OBJECT

private slots:
    void richTextGrowsInStepsAndBreaksOnlyBetweenLines_data()
    {
        QTest::addColumn<int>("lines");
        QTest::newRow("nominal box") << 2;
        QTest::newRow("grown box") << 12;
        QTest::newRow("three pages") << 150;
    }

    void richTextGrowsInStepsAndBreaksOnlyBetweenLines()
    {
        QFETCH(int, lines);
        auto document = std::make_shared<QTextDocument>();
        document->setDefaultFont(face(10)); // as the signature's label
        QStringList body;
        for (int i = 1; i <= lines; ++i)
            body << QString("linha %1").arg(i);
        document->setPlainText(body.join('\n'));
        Band detail = band(BandKind::Detail, 35.72);
        detail.richText = RichTextElement{"body", QRectF(10.58, 19.05, 169.60, 10.85), document, 5};
        const auto pages = compose(frame({band(BandKind::Title, 30), detail, band(BandKind::Child, 17.2, {label("S")})}));

        // Every line exactly once, each whole above the footer, in order.
        QCOMPARE(textCount(pages), lines + 1);
        const Placed first = find(pages, "linha 1");
        const double ascent = first.origin.y() - (60 + 19.05);
        const double lineHeight = find(pages, "linha 2").origin.y() - first.origin.y();
        int lastPage = 1;
        double lastY = 0;
        for (int i = 1; i <= lines; ++i) {
            const Placed p = find(pages, QString("linha %1").arg(i));
            QVERIFY(p.page == lastPage ? p.origin.y() > lastY : p.page == lastPage + 1);
            QVERIFY(p.origin.y() - ascent + lineHeight <= 277 + 0.001);
            if (p.page != lastPage) // a continuation starts at the body's offset under the header
                QCOMPARE(p.origin.y() - ascent, 30 + 19.05);
            lastPage = p.page;
            lastY = p.origin.y();
        }
        // The band ends 5.82 mm under the box, which grew in 5 mm steps; the
        // signature follows, or starts the next page when it does not fit.
        const double boxTop = lastPage == 1 ? 60 + 19.05 : 30 + 19.05;
        const double textBottom = lastY - ascent + lineHeight - boxTop;
        const double box = 10.85 + 5 * std::max(0.0, std::ceil((textBottom - 10.85 - 0.001) / 5));
        const Placed signature = find(pages, "S");
        const double signatureTop = signature.origin.y() - ascent;
        if (signature.page == lastPage) {
            QCOMPARE(qRound((signatureTop - (boxTop + box + 5.82)) * 1000), 0);
        } else {
            QCOMPARE(signature.page, lastPage + 1);
            QVERIFY(boxTop + box + 5.82 + 17.2 > 277);
            QCOMPARE(signatureTop, 30.0);
        }
        QCOMPARE(int(pages.size()), signature.page);
    }

    void aLineTallerThanAPagePrintsCutInsteadOfNever()
    {
        auto document = std::make_shared<QTextDocument>();
        document->setDefaultFont(face(9));
        QTextCursor cursor(document.get());
        QTextCharFormat huge;
        huge.setFontPointSize(900);
        cursor.insertText("antes\n");
        cursor.insertText("X", huge);
        cursor.insertText("\ndepois", QTextCharFormat());
        Band detail = band(BandKind::Detail, 35.72);
        detail.richText = RichTextElement{"body", QRectF(10, 19.05, 169.6, 10.85), document, 5};
        const auto pages = compose(frame({band(BandKind::Title, 30), detail}));
        QCOMPARE(find(pages, "X").page, 2);
        QCOMPARE(find(pages, "depois").page, 3);
    }

    void damagedForeignOrNewerFilesAreRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");
        const QByteArray good = encodePages(compose(frame({band(BandKind::Title, 20, {label("A")})})));
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x20);
        // A well-formed file of a later format: its checksum is right.
        QByteArray newer = good.left(good.size() - 32);
        newer[9] = 3;
        newer += QCryptographicHash::hash(newer, QCryptographicHash::Sha256);
        const QString damaged = QString::fromUtf8("danificado ou incompleto");
        QTest::newRow("a byte changed") << flipped << damaged;
        QTest::newRow("cut short") << good.left(good.size() - 40) << damaged;
        QTest::newRow("header only") << good.left(20) << damaged;
        QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n0000000000000000000000000000000000000000000000000000000", 60)
                                   << QString::fromUtf8("não é um relatório gravado");
        QTest::newRow("empty") << QByteArray() << QString::fromUtf8("não é um relatório gravado");
        QTest::newRow("newer format") << newer << QString::fromUtf8("formato mais recente (versão 3)");
        // Damage right after the signature, in the version's bytes too.
        QTest::newRow("noise") << good.left(8) + QByteArray(5000, '\x22') << damaged;

        // Pages beyond what paper takes, or holding more than a page may.
        const QSizeF a4(210, 297);
        const PageItem dot = PageItem::fill(QRectF(10, 10, 1, 1), Qt::black);
        auto run = [](qsizetype length) {
            return PageItem::textRun(QPointF(10, 20), FontSpec::of(face(10)), Qt::black, QString(length, 'x'));
        };
        const struct {
            const char* name;
            Page page;
        } tooMuch[] = {
            {"a page longer than 2 m", {QSizeF(210, PageLimits::sideMm + 1), {dot}}},
            {"too many marks", {a4, std::vector<PageItem>(PageLimits::marks + 1, dot)}},
            {"too long a run", {a4, {run(PageLimits::runLength + 1)}}},
            {"too much text", {a4, std::vector<PageItem>(PageLimits::characters / PageLimits::runLength + 1,
                                                         run(PageLimits::runLength))}},
            {"too much picture data",
             {a4, {PageItem::picture(QRectF(10, 10, 50, 50), QByteArray(PageLimits::pictureBytes + 1, 'x'))}}},
        };
        for (const auto& [name, page] : tooMuch)
            QTest::newRow(name) << encodePages({page}) << damaged;
    }

    void damagedForeignOrNewerFilesAreRefusedWhole()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QFile file(dir.filePath("x.QRP"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();
        QString error;
        QVERIFY(loadPages(file.fileName(), &error).empty());
        QVERIFY2(error.contains(message) && error.contains("x.QRP"), qPrintable(error));
        QVERIFY(loadPages(dir.filePath("missing.QRP"), &error).empty());
        QCOMPARE(error, QString("File does not exist"));
    }

    // Saved pages keep their pictures, the boxes of pictures that cannot be
    // drawn and the clips of every mark; a file of the first format, which
    // had neither, still loads.
    void savedPagesKeepPicturesAndClips()
    {
        const QByteArray png = pictureBytes({4, 2}, Qt::red);
        const QRectF clip(10, 10, 100, 20);
        PageItem cutFill = PageItem::fill(QRectF(10, 25, 50, 10), Qt::gray);
        cutFill.clip = clip;
        PageItem cutRule = PageItem::rule(QLineF(10, 25, 60, 25), 0.2, Qt::black);
        cutRule.clip = clip;
        PageItem cutPicture = PageItem::picture(QRectF(70, 15, 25.4, 12.7), png);
        cutPicture.clip = clip;
        const Page page{QSizeF(210, 297),
                        {cutFill, cutRule, cutPicture, PageItem::picture(QRectF(10, 40, 10, 5), QByteArray()),
                         PageItem::textRun(QPointF(10, 60), FontSpec::of(face(9)), Qt::black, "texto", clip)}};
        QString error;
        const std::vector<Page> back = decodePages(encodePages({page}), &error);
        QCOMPARE(error, QString());
        QVERIFY(back == std::vector<Page>{page});

        // The first format: a fill without the byte of its clip.
        const Page filled{QSizeF(210, 297), {PageItem::fill(QRectF(10, 10, 5, 5), Qt::black)}};
        QByteArray first = encodePages({filled});
        first.chop(32 + 1);
        first[9] = 1;
        qToBigEndian(quint64(first.size() - 40), first.data() + 32); // the body's size, after a 40-byte header
        first += QCryptographicHash::hash(first, QCryptographicHash::Sha256);
        QVERIFY(decodePages(first, &error) == std::vector<Page>{filled});
    }

    // The largest page, holding as many marks as a page may, at 100 %: it
    // loads, and shows although memory could not hold its whole picture
    // (7 559 pixels a side).
    void theLargestPageShowsAt100PercentInLittleMemory()
    {
        const double side = PageLimits::sideMm;
        Page page{QSizeF(side, side), {}};
        page.items.push_back(PageItem::fill(QRectF(0, 0, 50, 50), Qt::black));
        page.items.push_back(PageItem::fill(QRectF(side - 50, side - 50, 50, 50), Qt::black));
        page.items.resize(PageLimits::marks, PageItem::rule(QLineF(100, 100, 1900, 1900), 0.2, Qt::gray));
        QTemporaryDir dir;
        QString error;
        QVERIFY2(savePages(dir.filePath("large.QRP"), {page}, &error), qPrintable(error));
        PrinterSettings settings;
        PreviewWindow preview(&settings);
        preview.resize(800, 600);
        QVERIFY(preview.loadFile(dir.filePath("large.QRP")));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));

        auto* view = preview.findChild<QScrollArea*>("PageView");
        const AddressSpaceLimit limit(150 << 20);
        preview.setZoom(PreviewWindow::Zoom::Actual);
        QCOMPARE(preview.scale(), preview.logicalDpiX() / 25.4);
        const QSize room = view->viewport()->size();
        // The black squares at the page's top-left and bottom-right corners.
        QCOMPARE(view->viewport()->grab().toImage().pixelColor(100, 100), QColor(Qt::black));
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QCOMPARE(view->viewport()->grab().toImage().pixelColor(room.width() - 100, room.height() - 100),
                 QColor(Qt::black));
    }
};

VELUNOR_TEST(TestReporting)
#include "tst_reporting.moc"
