#include "common/TestMain.h"

#include "platform/reporting/Layout.h"
#include "platform/reporting/PageFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace reporting;

namespace {

QFont face(double points)
{
    QFont font("Liberation Sans");
    font.setPointSizeF(points);
    return font;
}

TextElement label(const QString& name, const QString& text, double top = 0)
{
    TextElement e;
    e.name = name;
    e.box = QRectF(0, top, 50, 5);
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

QStringList texts(const std::vector<Page>& pages)
{
    QStringList out;
    for (const Page& page : pages)
        for (const PageItem& item : page.items)
            if (item.kind == PageItem::Kind::Text)
                out << item.text;
    return out;
}

} // namespace

// The banded report engine: band placement, growth and overflow, text
// rules, and the saved-pages file.
class TestReporting : public QObject {
    Q_OBJECT

private slots:
    void aBandThatDoesNotFitStartsTheNextPage()
    {
        // Three 100 mm bands: two fit under the header (30 to 230 mm), the
        // third starts page 2 under its header; a band taller than a page
        // prints on a page of its own instead of never.
        const std::vector<Page> pages = compose(frame({band(BandKind::Title, 100, {label("a", "A")}),
                                                       band(BandKind::Detail, 100, {label("b", "B")}),
                                                       band(BandKind::Child, 100, {label("c", "C")}),
                                                       band(BandKind::Child, 400, {label("d", "D")}),
                                                       band(BandKind::Child, 10, {label("e", "E")})}));
        QCOMPARE(pages.size(), size_t(4));
        const double ascent = find(pages, "A").origin.y() - 30;
        QCOMPARE(find(pages, "B").page, 1);
        QCOMPARE(find(pages, "B").origin.y(), 130 + ascent);
        QCOMPARE(find(pages, "C").page, 2);
        QCOMPARE(find(pages, "C").origin.y(), 30 + ascent);
        QCOMPARE(find(pages, "D").page, 3);
        QCOMPARE(find(pages, "E").page, 4);
        QCOMPARE(find(pages, "E").origin.x(), 10.0);
    }

    void textRulesRunOnlyOnTextThatIsNotEmpty()
    {
        TextElement weight = label("w", "12");
        TextElement empty = label("e", "", 10);
        for (TextElement* e : {&weight, &empty})
            e->rule = [](const QString& text) { return text + " gr."; };
        const QStringList printed = texts(compose(frame({band(BandKind::Title, 20, {weight, empty})})));
        QCOMPARE(printed, QStringList{"12 gr."});
    }

    void wrappedTextPrintsTheLinesThatFitOrGrowsItsBand()
    {
        const QString words = "um dois três quatro cinco seis sete oito nove dez onze doze treze catorze";
        TextElement cut = label("cut", words);
        cut.autoSize = false;
        cut.wordWrap = true;
        cut.box = QRectF(0, 0, 30, 5); // one line high
        TextElement grows = cut;
        grows.name = "grows";
        grows.grows = true;
        grows.box.moveLeft(100);

        const auto onlyCut = compose(frame({band(BandKind::Title, 10, {cut}), band(BandKind::Detail, 5, {label("n", "N")})}));
        QCOMPARE(texts(onlyCut).size(), 2); // one line of the text, and N
        const QString firstLine = texts(onlyCut).constFirst();
        QVERIFY(firstLine.startsWith("um ") && !firstLine.contains("catorze"));
        QCOMPARE(find(onlyCut, "N").origin.y() - find(onlyCut, firstLine).origin.y(), 10.0);

        const auto grown =
            compose(frame({band(BandKind::Title, 10, {cut, grows}), band(BandKind::Detail, 5, {label("n", "N")})}));
        const int lines = int(texts(grown).size()) - 2;
        QVERIFY(lines >= 4);
        QCOMPARE(texts(grown).join(' ').count("catorze"), 1);
        // The band grew by the lines beyond its box's 5 mm.
        const double lineHeight = (find(grown, "N").origin.y() - find(grown, firstLine).origin.y() - 5) / lines;
        QVERIFY(lineHeight > 3 && lineHeight < 5);
    }

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
        const auto pages = compose(frame({band(BandKind::Title, 30), detail, band(BandKind::Child, 17.2, {label("s", "S")})}));

        // Every line exactly once, each whole above the footer, in order.
        QCOMPARE(texts(pages).size(), lines + 1);
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

    void savedPagesReadBackAsTheyWere()
    {
        Band title = band(BandKind::Title, 40, {label("n", QString::fromUtf8("Nome: JOÃO"))});
        title.rules.push_back(RuleElement{"rule", 0, 39, 0, 0.35});
        auto document = std::make_shared<QTextDocument>();
        QTextCursor cursor(document.get());
        QTextCharFormat underlined;
        underlined.setFontUnderline(true);
        underlined.setForeground(Qt::darkRed);
        cursor.insertText("Conclusão: ", underlined);
        Band detail = band(BandKind::Detail, 35.72);
        detail.richText = RichTextElement{"body", QRectF(10, 19.05, 169.6, 10.85), document, 5};
        const std::vector<Page> pages = compose(frame({title, detail}));

        QTemporaryDir dir;
        const QString file = dir.filePath("r.QRP");
        QString error;
        QVERIFY2(savePages(file, pages, &error), qPrintable(error));
        QCOMPARE(loadPages(file, &error), pages);
    }

    void damagedForeignOrNewerFilesAreRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");
        const QByteArray good = encodePages(compose(frame({band(BandKind::Title, 20, {label("a", "A")})})));
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x20);
        // A well-formed file of a later format: its checksum is right.
        QByteArray newer = good.left(good.size() - 32);
        newer[9] = 2;
        newer += QCryptographicHash::hash(newer, QCryptographicHash::Sha256);
        const QString damaged = QString::fromUtf8("danificado ou incompleto");
        QTest::newRow("a byte changed") << flipped << damaged;
        QTest::newRow("cut short") << good.left(good.size() - 40) << damaged;
        QTest::newRow("header only") << good.left(20) << damaged;
        QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n0000000000000000000000000000000000000000000000000000000", 60)
                                   << QString::fromUtf8("não é um relatório gravado");
        QTest::newRow("empty") << QByteArray() << QString::fromUtf8("não é um relatório gravado");
        QTest::newRow("newer format") << newer << QString::fromUtf8("formato mais recente (versão 2)");
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
};

VELUNOR_TEST(TestReporting)
#include "tst_reporting.moc"
