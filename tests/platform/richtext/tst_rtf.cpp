#include "common/TestMain.h"
#include "common/Pictures.h"

#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QCryptographicHash>
#include <QImage>
#include <QTextDocument>
#include <QTextTable>

#include <functional>

using Build = std::function<void(QTextCursor&)>;
Q_DECLARE_METATYPE(Build)

namespace {

// The editor's default: Arial, 13 pixels.
void setEditorDefaults(QTextDocument& doc)
{
    QFont font("Arial");
    font.setPixelSize(13);
    doc.setDefaultFont(font);
}

QString readData(const QString& name)
{
    QFile file(QStringLiteral(VELUNOR_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return QString::fromLatin1(file.readAll());
}

QString describeRun(const QTextDocument& doc, const QTextCharFormat& format)
{
    const QFont font = format.font().resolve(doc.defaultFont());
    const double points =
        font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    QString d = font.family() + ' ' + QString::number(qRound(points * 2));
    if (font.bold())
        d += " b";
    if (font.italic())
        d += " i";
    if (font.underline())
        d += " u";
    if (font.strikeOut())
        d += " s";
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        d += ' ' + format.foreground().color().name();
    return d;
}

// One line per paragraph: its alignment, then each run of equal formatting
// as its formatting followed by its text; an empty paragraph shows the
// formatting that sets its height.
QStringList describe(const QTextDocument& doc)
{
    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const Qt::Alignment a = block.blockFormat().alignment();
        QString line = a & Qt::AlignHCenter ? "C:" : a & Qt::AlignRight ? "R:"
                                                 : a & Qt::AlignJustify ? "J:" : "L:";
        if (block.length() <= 1)
            line += " <" + describeRun(doc, block.charFormat()) + ">";
        QString lastFormat;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString format = describeRun(doc, it.fragment().charFormat());
            if (format != lastFormat)
                line += " <" + format + "> ";
            line += it.fragment().text();
            lastFormat = format;
        }
        lines << line;
    }
    return lines;
}

QTextCharFormat style(bool bold, bool italic, bool underline, bool strike)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    f.setFontUnderline(underline);
    f.setFontStrikeOut(strike);
    return f;
}

QTextCharFormat font(const QString& family, double points)
{
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(points);
    return f;
}

QTextCharFormat color(const QColor& c)
{
    QTextCharFormat f;
    f.setForeground(c);
    return f;
}

QTextBlockFormat aligned(Qt::Alignment align)
{
    QTextBlockFormat f;
    f.setAlignment(align);
    return f;
}

std::unique_ptr<QTextDocument> loaded(const QString& text)
{
    auto doc = std::make_unique<QTextDocument>();
    setEditorDefaults(*doc);
    richtext::load(doc.get(), text);
    return doc;
}


QString twipsOf(const QTextFormat& f, int property)
{
    return QString::number(std::lround(f.doubleProperty(property) * 15));
}

// What a report holds beyond its text and its character formatting, one
// line per paragraph (its cell, its indents, spacing, tab stops, page break,
// shading, list words and kept groups, then its runs' positions, highlights
// and pictures), one per table, and the document's own groups and tab step.
QStringList structure(const QTextDocument& doc)
{
    QStringList out;
    out << "deftab " + QString::number(std::lround(doc.defaultTextOption().tabStopDistance() * 15));
    out << doc.rootFrame()->frameFormat().property(richtext::DocumentGroups).toStringList();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QString line;
        if (const auto* table = qobject_cast<QTextTable*>(QTextCursor(block).currentTable())) {
            const QTextTableCell cell = table->cellAt(block.position());
            line += QString("cell %1,%2 span %3x%4 ").arg(cell.row()).arg(cell.column()).arg(cell.rowSpan()).arg(cell.columnSpan());
            const QTextTableCellFormat c = cell.format().toTableCellFormat();
            line += QString("borders %1/%2/%3/%4 ").arg(c.topBorder() * 15).arg(c.leftBorder() * 15).arg(c.bottomBorder() * 15).arg(c.rightBorder() * 15);
            if (c.hasProperty(QTextFormat::BackgroundBrush))
                line += "shading " + c.background().color().name() + ' ';
            if (cell.row() == 0 && cell.column() == 0 && block.position() == cell.firstPosition()) {
                QStringList widths;
                for (const QTextLength& w : table->format().columnWidthConstraints())
                    widths << QString::number(std::lround(w.rawValue() * 15));
                out << QString("table %1x%2 widths %3").arg(table->rows()).arg(table->columns()).arg(widths.join(','));
            }
        }
        const QTextBlockFormat f = block.blockFormat();
        line += "li " + twipsOf(f, QTextFormat::BlockLeftMargin) + " ri " + twipsOf(f, QTextFormat::BlockRightMargin)
                + " fi " + twipsOf(f, QTextFormat::TextIndent) + " sb " + twipsOf(f, QTextFormat::BlockTopMargin)
                + " sa " + twipsOf(f, QTextFormat::BlockBottomMargin);
        if (f.hasProperty(QTextFormat::LineHeight))
            line += QString(" line %1:%2").arg(f.lineHeightType()).arg(f.lineHeight());
        for (const QTextOption::Tab& tab : f.tabPositions())
            line += QString(" tab %1:%2").arg(std::lround(tab.position * 15)).arg(tab.type);
        line += ' ' + f.stringProperty(richtext::TabLeaders).trimmed();
        if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            line += " page";
        if (f.hasProperty(QTextFormat::BackgroundBrush))
            line += " shading " + f.background().color().name();
        line += ' ' + f.stringProperty(richtext::ListWords) + ' ' + f.property(richtext::KeptGroups).toStringList().join("");
        line += " |";
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat c = it.fragment().charFormat();
            if (richtext::isPicture(c)) {
                const QSizeF size = richtext::pictureSize(c) * 15;
                line += QString(" picture %1 %2x%3 %4 %5").arg(c.stringProperty(richtext::PictureKind))
                            .arg(std::lround(size.width())).arg(std::lround(size.height()))
                            .arg(QString(QCryptographicHash::hash(c.property(richtext::PictureData).toByteArray(), QCryptographicHash::Md5).toHex()))
                            .arg(richtext::drawablePicture(c).isEmpty() ? "box" : "drawn");
                continue;
            }
            line += ' ';
            if (c.verticalAlignment() == QTextCharFormat::AlignSuperScript)
                line += "super:";
            if (c.verticalAlignment() == QTextCharFormat::AlignSubScript)
                line += "sub:";
            if (c.hasProperty(richtext::Raise))
                line += QString("up%1:").arg(c.intProperty(richtext::Raise));
            if (c.hasProperty(QTextFormat::BackgroundBrush))
                line += "highlight " + c.background().color().name() + ':';
            if (c.boolProperty(richtext::ListText))
                line += "bullet:";
            line += it.fragment().text();
        }
        out << line;
    }
    return out;
}

QString pngHex(QSize size, QColor colour, const char* format = "PNG")
{
    return QString::fromLatin1(pictureBytes(size, colour, format).toHex());
}

} // namespace

class TestRtf : public QObject {
    Q_OBJECT

private slots:
    void detectsRtf()
    {
        QVERIFY(richtext::isRtf("{\\rtf1\\ansi a}"));
        QVERIFY(richtext::isRtf(" \r\n\t{\\rtf1 a}"));
        QVERIFY(!richtext::isRtf("Sopro sistólico"));
        QVERIFY(!richtext::isRtf(""));
        QVERIFY(!richtext::isRtf("{\\rt"));
        QVERIFY(!richtext::isRtf("a{\\rtf1}"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<Build>("build");
        QTest::newRow("empty") << Build([](QTextCursor&) {});
        QTest::newRow("plain") << Build([](QTextCursor& c) { c.insertText("Texto simples."); });
        QTest::newRow("styles") << Build([](QTextCursor& c) {
            c.insertText("normal ");
            c.insertText("negrito ", style(true, false, false, false));
            c.insertText("itálico ", style(false, true, false, false));
            c.insertText("sublinhado ", style(false, false, true, false));
            c.insertText("riscado ", style(false, false, false, true));
            c.insertText("todos", style(true, true, true, true));
            c.insertText(" normal", style(false, false, false, false));
        });
        QTest::newRow("fonts and sizes") << Build([](QTextCursor& c) {
            c.insertText("serifa ", font("Times New Roman", 14));
            c.insertText("12", font("Courier New", 9)); // digits right after \fs
            QTextCharFormat pixels;
            QFont f("Verdana");
            f.setPixelSize(16);
            pixels.setFont(f);
            c.insertText(" dezasseis pixels", pixels);
            c.insertText(" predefinido", QTextCharFormat());
            c.insertText(" meio ponto", font("Arial", 10.5));
        });
        QTest::newRow("colours") << Build([](QTextCursor& c) {
            c.insertText("vermelho", color(Qt::red));
            c.insertText(" azul", color(QColor(0, 0, 200)));
            c.insertText(" automático ", QTextCharFormat());
            c.insertText("vermelho outra vez", color(Qt::red));
        });
        QTest::newRow("tabs and line breaks") << Build([](QTextCursor& c) {
            c.insertText("Peso:\t14 kg\tAltura:\t98 cm");
            c.insertText(QString(QChar::LineSeparator) + "segunda linha");
        });
        QTest::newRow("paragraphs and alignment") << Build([](QTextCursor& c) {
            c.insertText("Título");
            c.setBlockFormat(aligned(Qt::AlignHCenter));
            c.insertBlock(aligned(Qt::AlignRight));
            c.insertText("à direita");
            c.insertBlock(aligned(Qt::AlignLeft));
            c.insertBlock(aligned(Qt::AlignJustify));
            c.insertText("justificado, depois de uma linha vazia");
            c.insertBlock(aligned(Qt::AlignLeft));
        });
        QTest::newRow("only empty paragraphs") << Build([](QTextCursor& c) {
            c.insertBlock();
            c.insertBlock();
        });
        QTest::newRow("empty lines keep their size") << Build([](QTextCursor& c) {
            c.setBlockCharFormat(font("Georgia", 20));
            c.insertBlock(QTextBlockFormat(), font("Arial", 16));
            c.insertBlock();
            c.insertText("texto", font("Arial", 8));
            c.insertBlock(QTextBlockFormat(), font("Georgia", 30));
        });
        QTest::newRow("portuguese") << Build([](QTextCursor& c) {
            c.insertText("ã ç é õ á ê à º ª « » € — “aspas” ÃÇÉÕÁÊÀ");
        });
        QTest::newRow("rtf syntax in text") << Build([](QTextCursor& c) {
            c.insertText("a\\b{c}d \\par {\\b x}");
            c.insertText(QString(QChar::Nbsp) + "nbsp", style(true, false, false, false));
        });
        QTest::newRow("outside windows-1252") << Build([](QTextCursor& c) {
            c.insertText("Ω α ≥ ♥ 中文 😀");
        });
    }
    void roundTrip()
    {
        QFETCH(Build, build);
        QTextDocument original;
        setEditorDefaults(original);
        QTextCursor cursor(&original);
        build(cursor);

        const QString rtf = richtext::save(&original);
        const auto copy = loaded(rtf);
        QCOMPARE(describe(*copy), describe(original));
        QCOMPARE(copy->toPlainText(), original.toPlainText());
        // Saving what was read gives the same RTF again.
        QCOMPARE(richtext::save(copy.get()), rtf);
    }

    void savesCompactSevenBitRtf()
    {
        QTextDocument doc;
        setEditorDefaults(doc);
        QTextCursor c(&doc);
        c.insertText("ã€“Ω😀 ");
        c.insertText("a", color(Qt::blue));
        c.insertText("b", color(Qt::red));
        c.insertText("c", color(Qt::blue));
        const QString rtf = richtext::save(&doc);

        QVERIFY(rtf.startsWith(
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"));
        QVERIFY(rtf.endsWith('}'));
        for (const QChar ch : rtf)
            QVERIFY2(ch.unicode() < 128, qPrintable(rtf));
        QVERIFY2(rtf.contains("\\fs20\\'e3\\'80\\'93\\u937?\\u-10179?\\u-8704? \\cf1 a\\cf2 b\\cf1 c"),
                 qPrintable(rtf));
        // Only the colours in use, after the automatic entry.
        QVERIFY2(rtf.contains("{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}"),
                 qPrintable(rtf));

        QTextDocument uncoloured;
        QTextCursor(&uncoloured).insertText("x");
        QVERIFY(!richtext::save(&uncoloured).contains("\\c"));
    }

    // A report written with the rich-edit control or a word processor, with
    // one word changed elsewhere in it and saved, keeps what it was written
    // with: each row holds a paragraph with the feature after one to edit.
    void keepsWhatAReportWasWrittenWith_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("feature");
        const QString png = pngHex({4, 2}, Qt::red);
        const QString jpeg = pngHex({8, 8}, Qt::blue, "JPG");
        QTest::newRow("indents, rich edit") << "\\pard\\li720\\ri360\\fi-360\\sb120\\sa200\\sl276\\slmult1 Recuado\\par" << "li 720 ri 360 fi -360 sb 120 sa 200 line 1:115";
        QTest::newRow("indents, word") << "\\pard\\plain\\ltrpar\\s0\\ql\\li1134\\ri0\\sb0\\sa160\\sl-240\\slmult0\\lin1134\\rin0\\itap0 Recuado\\par" << "li 1134 ri 0 fi 0 sb 0 sa 160 line 2:16";
        QTest::newRow("tab stops, rich edit") << "\\pard\\tx1440\\tx2880 A\\tab B\\tab C\\par" << "tab 1440:0 tab 2880:0";
        QTest::newRow("tab stops, word") << "\\pard\\tqr\\tldot\\tx5670\\tqc\\tx3000\\tqdec\\tx7000 A\\tab B\\par" << "tab 5670:1 tab 3000:2 tab 7000:3 d";
        QTest::newRow("default tab stop") << "\\deftab567\\pard A\\tab B\\par" << "deftab 567";
        QTest::newRow("superscript, rich edit") << "\\pard 4 cm\\super 2\\nosupersub  e H\\sub 2\\nosupersub O\\par" << "super:2  e H sub:2";
        QTest::newRow("superscript, word") << "\\pard 4 cm{\\super 2} e {\\up6 x}{\\dn4 y}\\par" << "super:2  e  up6:x up-4:y";
        QTest::newRow("highlight, rich edit") << "\\pard a \\highlight1 marcado\\highlight0  b\\par" << "highlight #ffff00:marcado";
        QTest::newRow("highlight, word") << "\\pard a {\\chcbpat1 marcado} b\\cbpat2 \\par" << "highlight #ffff00:marcado";
        QTest::newRow("page break, rich edit") << "\\pard antes\\page depois\\par" << " page   | depois";
        QTest::newRow("page break, word") << "\\pard antes\\par\\pard\\pagebb depois\\par" << " page   | depois";
        QTest::newRow("png, rich edit") << "\\pard Antes{\\pict\\pngblip\\picw4\\pich2\\picwgoal1440\\pichgoal720 " + png + "}depois\\par"
                                        << "picture pngblip 1440x720 ";
        QTest::newRow("jpeg, word") << "\\pard Antes{\\*\\shppict{\\pict{\\*\\picprop\\shplid1025{\\sp{\\sn shapeType}{\\sv 75}}}\\picscalex50\\picscaley200\\piccropl0\\picw8\\pich8\\picwgoal720\\pichgoal720\\jpegblip\\bliptag255{\\*\\blipuid 00ff}" + jpeg + "}}{\\nonshppict{\\pict\\wmetafile8 0100}}depois\\par"
                                    << "picture jpegblip 360x1440 ";
        QTest::newRow("metafile kept as a box") << "\\pard{\\pict\\wmetafile8\\picw1000\\pich500\\picwgoal567\\pichgoal283 010009000003}\\par"
                                                << "picture wmetafile8 567x283 ";
        QTest::newRow("table, rich edit") << "\\trowd\\trgaph108\\trleft-108\\cellx2000\\cellx4000\\pard\\intbl A\\cell B\\cell\\row\\pard fim\\par"
                                          << "cell 0,1 span 1x1";
        QTest::newRow("table, word") << "\\trowd\\irow0\\trgaph108\\trleft-108\\clbrdrt\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw15\\clcbpat2\\clmgf\\cellx2000\\clmrg\\cellx4000\\cellx6000"
                                        "\\pard\\intbl{A}\\cell\\cell{C}\\cell\\pard\\intbl{\\trowd\\irow0\\trgaph108\\trleft-108\\clbrdrt\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw15\\clcbpat2\\clmgf\\cellx2000\\clmrg\\cellx4000\\cellx6000\\row}"
                                        "\\trowd\\trgaph108\\trleft-108\\clvmgf\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl D\\cell E\\cell F\\cell\\row"
                                        "\\trowd\\trgaph108\\trleft-108\\clvmrg\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl\\cell H\\cell I\\cell\\row\\pard fim\\par"
                                     << "cell 0,0 span 1x2 borders 10/0/15/0 shading #dcdcdc";
        QTest::newRow("table ending the report") << "\\trowd\\cellx2000\\cellx4000\\pard\\intbl A\\cell\\pard\\intbl B{\\*\\nota x}\\cell\\row"
                                                 << "{\\*\\nota x} | B";
        QTest::newRow("bullets, rich edit") << "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 Item\\par"
                                            << "{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}} | bullet:\u2022\t";
        QTest::newRow("bullets, word") << "\\pard\\fi-360\\li720\\ls1\\ilvl0{\\listtext\\pard\\plain\\f1 \\'b7\\tab}Item\\par"
                                       << "\\ls1\\ilvl0";
        QTest::newRow("unknown group") << "\\pard texto {\\*\\xyzdados {ocultos}} mais\\par" << "{\\*\\xyzdados {ocultos}} |";
    }
    void keepsWhatAReportWasWrittenWith()
    {
        QFETCH(QString, body);
        QFETCH(QString, feature);
        const QString rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}"
                            "{\\colortbl ;\\red255\\green255\\blue0;\\red220\\green220\\blue220;}"
                            "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}}\\listid1}}"
                            "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\n"
                            "\\pard Uma palavra a EDITAR.\\par\n" + body + "}";
        const auto doc = loaded(rtf);
        const QStringList before = structure(*doc);
        QVERIFY2(before.join('\n').contains(feature), qPrintable(before.join('\n')));

        QTextCursor edit = doc->find("EDITAR");
        QVERIFY(!edit.isNull());
        edit.insertText("editada");
        const auto after = loaded(richtext::save(doc.get()));
        QCOMPARE(structure(*after), structure(*doc));
        QCOMPARE(after->toPlainText(), doc->toPlainText());
    }

    // What other word processors write for the same features.
    void readsSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::newRow("rich edit") << "wordpad.rtf"
                                   << QStringList({
                                          "C: <Arial 28 b> Ecocardiograma",
                                          "L: <Arial 20> Paciente com 3 anos, sexo feminino.\tPeso: 14 kg",
                                          "L: <Arial 20> Conclusão:  <Arial 20 i> comunicação interauricular"
                                          " <Arial 20>  tipo  <Arial 20 u> ostium secundum <Arial 20> ,  "
                                          "<Arial 20 #ff0000> sem repercussão <Arial 20> .",
                                          "L: <Calibri 20> Função sistólica « normal ».",
                                      });
        QTest::newRow("libreoffice")
            << "libreoffice.rtf"
            << QStringList({
                   "C: <Liberation Serif 28 b> Relatório de ecocardiograma",
                   "J: <Liberation Serif 24> Ventrículo esquerdo de dimensões normais. "
                   " <Liberation Serif 24 i #0000ff> Fração de ejeção"
                   " <Liberation Serif 24>  preservada (65º).",
                   "L: <Liberation Serif 24 u> Nota <Liberation Serif 24> :\trevisão em 6 "
                   "meses – exemplo.pt.",
               });
        QTest::newRow("word") << "word.rtf"
                              << QStringList({
                                     "C: <Calibri 22 b> Honorários: 50 €",
                                     "L: <Calibri 22 #ff0000> Atenção: <Calibri 22> "
                                     " “sopro” grau 2/6 – inocente αﬁβ",
                                 });
    }
    void readsSamples()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, paragraphs);
        const auto doc = loaded(readData(file));
        QCOMPARE(describe(*doc), paragraphs);

        // Writing what was read and reading it again changes nothing.
        const QString rtf = richtext::save(doc.get());
        const auto again = loaded(rtf);
        QCOMPARE(describe(*again), paragraphs);
        QCOMPARE(richtext::save(again.get()), rtf);
    }

    void readsFormatting_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::newRow("groups restore formatting")
            << "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Georgia;}}\\fs20 a{\\b\\f1 b{\\i\\fs40 c}d}"
               "e\\b f\\b0 g\\plain h}"
            << QStringList({"L: <Arial 20> a <Georgia 20 b> b <Georgia 40 b i> c <Georgia 20 b> "
                            "d <Arial 20> e <Arial 20 b> f <Arial 20> g <Arial 24> h"});
        // Old-style font table without groups, \deff naming the second font,
        // a colour table without the automatic entry and an unknown \f.
        QTest::newRow("tables")
            << "{\\rtf1\\deff1{\\fonttbl\\f0\\fswiss Courier New;\\f1\\froman Georgia;}"
               "{\\colortbl\\red0\\green128\\blue0;;}a\\f0 b\\f9 c\\plain\\cf0 d\\cf1 e\\cf7 f}"
            << QStringList({"L: <Georgia 24> a <Courier New 24> b <Arial 24> c "
                            "<Georgia 24 #008000> d <Georgia 24> ef"});
        QTest::newRow("paragraphs")
            << "{\\rtf1\\pard\\qc a\\par\\qr b\\par\\pard c\\par\\qj\\fs40\\par}"
            << QStringList({"C: <Arial 24> a", "R: <Arial 24> b", "L: <Arial 24> c",
                            "J: <Arial 40>"});
        // The customary final \par ends the last paragraph instead of adding one.
        QTest::newRow("final par") << "{\\rtf1 a\\par\r\n}\r\n" << QStringList({"L: <Arial 24> a"});
        QTest::newRow("beyond the depth limit")
            << "{\\rtf1\\fs20 " + QString(300, '{') + "\\b fundo" + QString(300, '}') + " raso}"
            << QStringList({"L: <Arial 20> fundo raso"});
    }
    void readsFormatting()
    {
        QFETCH(QString, rtf);
        QFETCH(QStringList, paragraphs);
        QCOMPARE(describe(*loaded(rtf)), paragraphs);
    }

    void readsCharacters_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("symbols and escapes")
            << "{\\rtf1 a\\\\b\\{c\\}d\\~e\\-f\\_g\\emdash\\endash\\bullet\\lquote\\rquote"
               "\\ldblquote\\rdblquote\\'80\\'93\\'94\\'e7\\'8a\\'81\\tab x\\line y\r\nz}"
            << "a\\b{c}d\u00A0e\u00ADf\u2011g—–•‘’“”€“”çŠ\u0081\tx\u2028yz";
        QTest::newRow("unicode, default skip") << "{\\rtf1 \\u8364?x}" << "€x";
        QTest::newRow("unicode, escape skipped") << "{\\rtf1 \\u8364\\'80x}" << "€x";
        QTest::newRow("unicode, uc2") << "{\\rtf1\\uc2 \\u945\\'3f\\'3fx}" << "αx";
        QTest::newRow("unicode, uc0") << "{\\rtf1\\uc0 \\u945 x}" << "αx";
        QTest::newRow("unicode, negative") << "{\\rtf1 \\u-1279?}" << "ﬁ";
        QTest::newRow("unicode, uc scoped") << "{\\rtf1{\\uc3 a}\\u945?b}" << "aαb";
        QTest::newRow("unicode, skip ends with group") << "{\\rtf1{\\uc3\\u945 ?}b}" << "αb";
        QTest::newRow("unicode, surrogates") << "{\\rtf1 \\u-10179?\\u-8704?}" << "😀";
        // A destination word that does not open its group is ignored.
        QTest::newRow("destinations")
            << "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T\\'edtulo}{\\author X}}"
               "{\\*\\generator Gerador 1.0;}{\\header Cabe\\'e7alho\\par}{\\footer Rodap\\'e9}"
               "{\\*\\unknown oculto}{\\pict\\wmetafile8\\picw10 0102ff{\\*\\blipuid 00}}"
               "{\\*\\listtable{\\list{\\listlevel{\\leveltext \\'01\\u-3913 ?;}}}}"
               "a{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt liga\\'e7\\'e3o}}"
               " b \\info c{\\b\\pict d}}"
            << "\uFFFCaligação b cd";
    }
    void readsCharacters()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(loaded(rtf)->toRawText(), text);
    }

    void loadsPlainTextAndEmptyText()
    {
        auto doc = loaded("Linha 1\r\nLinha 2 {\\b não é rtf}");
        QCOMPARE(doc->blockCount(), 2);
        QCOMPARE(doc->toPlainText(), QString("Linha 1\nLinha 2 {\\b não é rtf}"));
        QCOMPARE(describe(*doc).first(), QString("L: <Arial 20> Linha 1"));

        // Loading replaces the content and leaves nothing to undo.
        richtext::load(doc.get(), "{\\rtf1 novo}");
        QCOMPARE(doc->toPlainText(), QString("novo"));
        QVERIFY(!doc->isUndoAvailable());
        QVERIFY(doc->isUndoRedoEnabled());
        richtext::load(doc.get(), QString());
        QVERIFY(doc->isEmpty());
    }

    void survivesBadInput_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        const QString open300(300, '{'), close300(300, '}');
        QTest::newRow("white space before the group") << " \r\n {\\rtf1 a}" << "a";
        QTest::newRow("truncated in group") << "{\\rtf1 Ol\\'e1 {\\b mun" << "Olá mun";
        QTest::newRow("truncated escape") << "{\\rtf1 a\\'e" << "a";
        QTest::newRow("truncated word") << "{\\rtf1 a\\pa" << "a";
        QTest::newRow("truncated backslash") << "{\\rtf1 a\\" << "a";
        QTest::newRow("truncated unicode") << "{\\rtf1 a\\u" << "a";
        QTest::newRow("truncated destination") << "{\\rtf1{\\*" << "";
        QTest::newRow("truncated font table") << "{\\rtf1{\\fonttbl{\\f0 Arial" << "";
        QTest::newRow("extra closing braces") << "{\\rtf1 a}}}}\r\n" << "a";
        QTest::newRow("stray brace mid-document") << "{\\rtf1 {\\b a}} b\\par c}" << "a b\nc";
        QTest::newRow("missing closing braces") << "{\\rtf1 {\\b a{\\i b" << "ab";
        QTest::newRow("huge bin") << "{\\rtf1 a\\bin99999999999999 xyz}" << "a";
        QTest::newRow("bin data skipped") << "{\\rtf1 a\\bin3 {}\\b}" << "ab";
        QTest::newRow("negative bin") << "{\\rtf1 \\bin-5 a}" << "a";
        QTest::newRow("many digits")
            << "{\\rtf1\\fs999999999999999999999 a\\f-99999999999999999999 b"
               "\\u99999999999999999?c\\cf88888888888888888 d}"
            << "abcd";
        QTest::newRow("huge skip count") << "{\\rtf1\\uc999999 \\u65 bcd}e}" << "Ae";
        QTest::newRow("control characters") << QString::fromLatin1("{\\rtf1 a\0\x01\x7f" "b}", 13)
                                              << "ab";
        QTest::newRow("long control word")
            << "{\\rtf1 a\\" + QString(100000, 'x') + " b}" << "ab";
        QTest::newRow("deep nesting")
            << "{\\rtf1 " + QString(100000, '{') + "x" + QString(100000, '}') + "y}" << "xy";
        QTest::newRow("deep skipped destination")
            << "{\\rtf1 " + open300 + "{\\*\\junk oculto}vis\\'edvel" + close300 + "}"
            << "visível";
        QTest::newRow("only open braces") << "{\\rtf1" + QString(100000, '{') << "";
        QTest::newRow("only close braces") << "{\\rtf1 a" + QString(100000, '}') + "b" << "ab";
    }
    void survivesBadInput()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(loaded(rtf)->toPlainText(), text);
    }

    // Hostile tables: a thousand fonts all in use, and colours far beyond
    // what a report uses. Families beyond a few dozen fall back to the
    // default font (each one in use slows every insertion), and entries
    // beyond the colour table's cap are ignored.
    void capsFontAndColourTables()
    {
        QString rtf = "{\\rtf1{\\fonttbl";
        for (int i = 0; i < 1000; ++i)
            rtf += QString("{\\f%1 Fonte%1;}").arg(i);
        rtf += "}{\\colortbl;" + QString("\\red255;").repeated(5000) + "}";
        for (int i = 0; i < 1000; ++i)
            rtf += QString("\\f%1 x").arg(i);
        rtf += "\\cf5 y\\cf4000 z}";
        const auto doc = loaded(rtf);
        QCOMPARE(doc->toPlainText(), QString(1000, 'x') + "yz");

        QSet<QString> families;
        QStringList colours;
        for (auto it = doc->begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            families.insert(f.font().family());
            if (it.fragment().text().endsWith('y') || it.fragment().text().endsWith('z'))
                colours << (f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name()
                                                                        : "auto");
        }
        // A few dozen of the thousand, and the editor's default.
        QVERIFY2(families.size() <= 33, qPrintable(QString::number(families.size())));
        QCOMPARE(colours, QStringList({"#ff0000", "auto"}));
    }

    // A report that would fill memory: what fits in the limits loads, the
    // rest is dropped.
    void boundsTheDocument_data()
    {
        QTest::addColumn<QString>("text");
        const QString paragraphs = QString("a\\par ").repeated(richtext::kMaxParagraphs + 5);
        QTest::newRow("rtf paragraphs") << "{\\rtf1 " + paragraphs + "}";
        QTest::newRow("rtf characters")
            << "{\\rtf1 " + QString(richtext::kMaxCharacters + 5, 'a') + "\\par b}";
        QTest::newRow("plain lines") << QString("a\r\n").repeated(richtext::kMaxParagraphs + 5);
    }
    void boundsTheDocument()
    {
        QFETCH(QString, text);
        QTextDocument doc;
        richtext::load(&doc, text);
        // Each paragraph counts one separator besides its text.
        const qsizetype characters = doc.characterCount() - doc.blockCount();
        QVERIFY(doc.blockCount() <= richtext::kMaxParagraphs);
        QVERIFY(characters <= richtext::kMaxCharacters);
        QVERIFY(doc.blockCount() == richtext::kMaxParagraphs
                || characters == richtext::kMaxCharacters);
        QCOMPARE(doc.begin().text().left(1), QString("a"));
    }

    // Cutting a file anywhere loses only what follows the cut.
    void readsEveryPrefixOfTheSamples()
    {
        for (const QString& name : QDir(VELUNOR_TEST_DATA).entryList({"*.rtf"}, QDir::Files)) {
            const QString rtf = readData(name);
            const QString full = loaded(rtf)->toPlainText();
            QTextDocument doc;
            for (qsizetype n = 5; n < rtf.size(); ++n) { // from "{\rtf" on
                richtext::load(&doc, rtf.left(n));
                QString part = doc.toPlainText();
                // A cut number (\u94 of \u945) may change the last character;
                // a cut table still has the paragraph after it.
                while (part.endsWith(u'\n'))
                    part.chop(1);
                QVERIFY2(full.startsWith(part.chopped(part.isEmpty() ? 0 : 1)),
                         qPrintable(name + " cut at " + QString::number(n) + ": " + part));
            }
        }
    }

    // Inputs that once crashed or hung the reader.
    void loadsCrashers()
    {
        const QDir dir(VELUNOR_TEST_DATA "/crashers");
        const QStringList files = dir.entryList(QDir::Files);
        if (files.isEmpty())
            QSKIP("no crash inputs recorded");
        for (const QString& name : files) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const auto first = loaded(QString::fromLatin1(file.readAll()));
            const QString rtf = richtext::save(first.get());
            QCOMPARE(richtext::save(loaded(rtf).get()), rtf);
        }
    }
};

VELUNOR_TEST(TestRtf)
#include "tst_rtf.moc"
