#include "PdfWords.h"
#include "clinical/ReportBlock.h"
#include "common/TestMain.h"
#include "common/TestStore.h"
#include "common/Pictures.h"
#include "editing/MeasurementsBlock.h"
#include "platform/engine/Values.h"
#include "platform/reporting/Printing.h"
#include "platform/richtext/Rtf.h"
#include "report/Rel.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using engine::values::wallClock;

namespace {

// Where the layout puts things, in millimetres from the paper's top-left
// corner: a band's elements stand at their offsets plus the 10 mm margin.
constexpr double kTitleTop = 27.73;
constexpr double kDetailTop = 61.59;
constexpr double kChildTop = 97.31; // under a body that fits the nominal box
constexpr double kFooterTop = 281.97;
constexpr double kTolerance = 0.3;

QString lines(int count, const QString& text = "Linha %1 do relatório.")
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << text.arg(i);
    return out.join("\r\n");
}

// The words of the doctor's name, on one line or two.
QString doctorName(const PdfWords& words)
{
    std::vector<PdfWord> found;
    for (const PdfWord& w : words.all())
        if (w.page == 1 && w.box.top() > kChildTop + 12 && w.box.top() < kChildTop + 30)
            found.push_back(w);
    std::sort(found.begin(), found.end(), [](const PdfWord& a, const PdfWord& b) {
        return std::pair(qRound(a.box.top() * 10), a.box.left()) < std::pair(qRound(b.box.top() * 10), b.box.left());
    });
    QStringList text;
    for (const PdfWord& w : found)
        text << w.text;
    return text.join(' ');
}

} // namespace

// The exam report as it leaves the practice: the report of known exams
// written to PDF, the words' boxes read back with a PDF reader and checked
// against the layout, to a third of a millimetre.
class TestReportLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<engine::Database> db;
    QTemporaryDir dir;
    int ana = 0, carlos = 0;
    QDateTime standard, sparse, unusual, signatureAlone, threePages;

    void insertExam(const QDateTime& key, const QVariantList& idadePesoAltura, const QVariant& executor,
                    const QVariant& modoD, const QString& body)
    {
        db->execute("insert into eco (CodigoPaciente, CodigoExame, DataExame, Idade, Peso, Altura, Executor, ModoD, Eco1)"
                    " values (:p, :c, :d, :i, :w, :h, :e, :t, :b)",
                    {double(ana), key, key.date(), idadePesoAltura[0], idadePesoAltura[1], idadePesoAltura[2],
                     executor, modoD, body});
    }

    int insertReturning(const QString& insert, const QVariantList& values, const QString& select)
    {
        db->execute(insert, values);
        return db->query(select, {values.first()}).rows.at(0).at(0).toInt();
    }

    // The report of Ana's exam `key` ("-": of Carlos, who has none) as PDF.
    PdfWords pdf(const QDateTime& key, const QString& name)
    {
        const QString file = dir.filePath(name + ".pdf");
        const ExamSnapshot exam = key.isValid()
                                      ? ExamSnapshot::fromStore(*db, ana, key.toString("yyyy-MM-dd HH:mm:ss.zzz"))
                                      : ExamSnapshot::fromStore(*db, carlos, "-");
        QString error;
        if (!reporting::writePdf(TRelatorio::compose(exam), file, exam.title(), &error))
            qFatal("%s", qPrintable(error));
        return PdfWords(file);
    }

private slots:
    void initTestCase()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        db = store->connect("SEED");
        ana = insertReturning("insert into bddid (nome, dnasc) values (:n, :d)",
                              {"ANA MARIA COSTA", wallClock(QDate(2025, 1, 20))}, "select nf from bddid where nome = :n");
        carlos = insertReturning("insert into bddid (nome, dnasc) values (:n, :d)",
                                 {"CARLOS NUNES", wallClock(QDate(2025, 12, 1), QTime(14, 30))},
                                 "select nf from bddid where nome = :n");
        const int helena = insertReturning("insert into medico (nome, activo) values (:n, :a)", {"Dra. Helena Sousa", true},
                                           "select codigo from medico where nome = :n");
        // No longer active, and a name too long for one line at 8 pt.
        const int jorge = insertReturning(
            "insert into medico (nome, activo) values (:n, :a)",
            {QString::fromUtf8("DR. JOSÉ MANUEL ALBUQUERQUE VASCONCELOS CARNEIRO"), false},
            "select codigo from medico where nome = :n");
        const int type = insertReturning("insert into tipoexame (tipo) values (:t)",
                                         {QString::fromUtf8("Ecocardiograma Transtorácico Pediátrico")},
                                         "select id from tipoexame where tipo = :t");
        const int longType = insertReturning(
            "insert into tipoexame (tipo) values (:t)",
            {QString::fromUtf8("Ecocardiograma fetal morfológico detalhado com estudo Doppler pulsado, contínuo e a "
                               "cores de todas as válvulas e vasos, do segundo trimestre")},
            "select id from tipoexame where tipo = :t");

        standard = wallClock(QDate(2026, 3, 10), QTime(9, 0));
        sparse = standard.addSecs(60);
        unusual = standard.addSecs(120);
        signatureAlone = standard.addSecs(180);
        threePages = standard.addSecs(240);
        insertExam(standard, {13, 45000, 75}, helena, QString::number(type),
                   QString::fromUtf8("Exame normal.\r\nSem alterações."));
        insertExam(sparse, {0, QVariant(), QVariant()}, QVariant(), "999", "Curto.");
        insertExam(unusual, {QVariant(), 950, 0}, jorge, QString::number(longType), "Curto.");
        insertExam(signatureAlone, {13, 9000, 75}, helena, QString::number(type), lines(50));
        insertExam(threePages, {13, 9000, 75}, helena, QString::number(type), lines(150));
    }

    void cleanupTestCase()
    {
        db.reset();
        store.reset();
    }

    void everyElementStandsWhereTheLayoutPutsIt()
    {
        const PdfWords words = pdf(standard, "standard");
        QCOMPARE(words.pageCount(), 1);
        struct Expected {
            const char* word;
            double left;
            double top;
        };
        // Captions at 10.58 mm into the band, values at 22.23, 30.43 and 162.98.
        const double row1 = kTitleTop + 14.29, row2 = kTitleTop + 19.84, row3 = kTitleTop + 25.40;
        const Expected placed[] = {
            {"Nome:", 20.58, row1},          {"ANA", 32.23, row1},
            {"Data", 20.58, row2},           {"20/01/2025", 40.43, row2},
            {"Idade:", 20.58, row3},         {"13", 32.23, row3},
            {"45", 172.98, row1},            {"75", 172.98, row2},
            {"10/03/2026", 172.98, row3},    {"Exame", 20.58, kDetailTop + 19.05},
            {"______________________________", 113.45, kChildTop + 3.97},
            {"o", 135.41, kChildTop + 8.20},
        };
        for (const Expected& e : placed) {
            const QRectF box = words.find(QString::fromUtf8(e.word)).box;
            QVERIFY2(std::abs(box.left() - e.left) <= kTolerance && std::abs(box.top() - e.top) <= kTolerance,
                     qPrintable(QString("%1 at %2, %3").arg(e.word).arg(box.left()).arg(box.top())));
        }
        // The right-hand captions end where their values begin.
        for (const auto& [caption, top] : {std::pair{"Peso:", row1}, {"Altura:", row2}, {"Exame:", row3}}) {
            const QRectF box = words.find(caption).box;
            QVERIFY2(std::abs(box.right() - 171.66) <= kTolerance && std::abs(box.top() - top) <= kTolerance,
                     qPrintable(QString("%1 ends at %2").arg(caption).arg(box.right())));
        }
        // The exam type centred over the body, in bold 10 pt; the doctor's name
        // centred under the signature line.
        const QRectF title = words.boxAt(1, kDetailTop + 6.35);
        QCOMPARE(words.textAt(1, kDetailTop + 6.35), QString::fromUtf8("Ecocardiograma Transtorácico Pediátrico"));
        QVERIFY(std::abs(title.center().x() - 105.38) <= kTolerance);
        QVERIFY(std::abs(words.boxAt(1, kChildTop + 12.17).center().x() - 141.37) <= kTolerance);
        QCOMPARE(words.textAt(1, kChildTop + 12.17), QString("Dra. Helena Sousa"));

        QCOMPARE(words.textAt(1, row1, 30, 100), QString("ANA MARIA COSTA"));
        QCOMPARE(words.textAt(1, row1, 170), QString("45 000 gr.")); // a reader splits at the no-break space
        QCOMPARE(words.textAt(1, row2, 170), QString("75 cm"));
        QCOMPARE(words.textAt(1, row3, 30, 100), QString("13 meses"));
        QCOMPARE(words.textAt(1, kChildTop + 8.20), QString::fromUtf8("o médico"));
        // Text without a format of its own is Arial 9 pt: a word of it is
        // 1.117 times 9 points high.
        const QRectF body = words.find("Exame").box;
        QVERIFY2(std::abs(body.height() - 9 * 1.117 * 25.4 / 72) < 0.1, qPrintable(QString::number(body.height())));
        const QRectF next = words.find("Sem").box;
        QVERIFY(std::abs(next.left() - 20.58) <= kTolerance && next.top() > body.bottom() - 0.1);
        QCOMPARE(words.textAt(1, next.top(), 0, 100), QString::fromUtf8("Sem alterações."));
    }

    // A report written with indents, tab stops, superscripts, a picture, a
    // table and a page break prints them where its text puts them.
    void printsWhatTheReportWasWrittenWith()
    {
        const QByteArray png = pictureBytes({40, 20}, Qt::red);
        ExamSnapshot exam;
        exam.name = "ANA MARIA COSTA";
        exam.body = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\n"
                    "\\pard\\li720 Recuado\\par\n"
                    "\\pard\\tx2880 Peso:\\tab Alvo\\par\n"
                    "\\pard\\li720\\tqr\\tldot\\tx5760 Aorta\\tab 20\\par\n"
                    "\\pard\\sa240 Espaçado\\par\\pard Seguinte\\par\n"
                    "\\pard\\fs20 Superficie 4 cm{\\super 2} fim\\par\n"
                    "\\pard Antes{\\pict\\pngblip\\picw40\\pich20\\picwgoal1440\\pichgoal720 "
                    + QString::fromLatin1(png.toHex()) + "}Depois\\par\n"
                    "\\trowd\\trgaph108\\cellx2880\\cellx5760\\pard\\intbl Primeira\\cell Segunda\\cell\\row\n"
                    "\\pard Antes-da-quebra\\page Depois-da-quebra\\par}";
        const QString file = dir.filePath("rich.pdf");
        QString error;
        QVERIFY2(reporting::writePdf(TRelatorio::compose(exam), file, exam.title(), &error), qPrintable(error));
        const PdfWords words(file);
        const double bodyLeft = 20.58;
        auto near = [](double a, double b) { return std::abs(a - b) <= kTolerance; };

        const QRectF indented = words.find("Recuado").box;
        QVERIFY2(near(indented.left(), bodyLeft + 12.7), qPrintable(QString::number(indented.left())));
        const QRectF tabbed = words.find("Alvo").box;
        QVERIFY2(near(tabbed.left(), bodyLeft + 50.8), qPrintable(QString::number(tabbed.left())));
        // A dotted leader fills the gap up to the right stop, where "20" ends.
        const QRectF aorta = words.find("Aorta").box, twenty = words.find("20").box;
        const QString dots = words.textAt(1, aorta.top(), aorta.right(), twenty.left());
        const QRectF leader = words.boxAt(1, aorta.top(), aorta.right(), twenty.left());
        QVERIFY2(near(twenty.right(), bodyLeft + 101.6) && dots.count('.') == dots.size() && dots.size() > 40
                     && leader.left() - aorta.right() < 2.5 && twenty.left() - leader.right() < 2.5,
                 qPrintable(QString("%1 from %2 to %3; 20 at %4-%5")
                                .arg(dots).arg(leader.left()).arg(leader.right()).arg(twenty.left()).arg(twenty.right())));
        // 240 twips below a paragraph: 4.23 mm more than from line to line.
        const double lineToLine = tabbed.top() - indented.top();
        const double spaced = words.find("Seguinte").box.top() - words.find(QString::fromUtf8("Espaçado")).box.top();
        QVERIFY2(near(spaced - lineToLine, 4.23), qPrintable(QString::number(spaced - lineToLine)));

        // The superscript is smaller and raised: its foot above the line's.
        const QRectF unit = words.find("cm").box, power = words.find("2").box;
        QVERIFY2(power.height() < unit.height() * 0.8 && power.bottom() < unit.bottom() - 0.5,
                 qPrintable(QString("cm %1-%2, 2 %3-%4").arg(unit.top()).arg(unit.bottom()).arg(power.top()).arg(power.bottom())));
        QVERIFY(near(power.left(), unit.right()));

        // The picture takes 25.4 x 12.7 mm between the words around it.
        const QRectF before = words.find("Antes").box, after = words.find("Depois").box;
        QVERIFY2(near(after.left() - before.right(), 25.4), qPrintable(QString::number(after.left() - before.right())));
        QProcess render;
        render.start("pdftoppm", {"-r", "254", "-f", "1", "-l", "1", "-singlefile", "-png", file, dir.filePath("rich")});
        QVERIFY(render.waitForFinished(30000));
        const QImage page(dir.filePath("rich.png")); // 10 dots to the millimetre
        QRect drawn;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (const QRgb p = page.pixel(x, y); qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60)
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY2(std::abs(drawn.width() / 10.0 - 25.4) <= 0.3 && std::abs(drawn.height() / 10.0 - 12.7) <= 0.3,
                 qPrintable(QString("%1 x %2").arg(drawn.width()).arg(drawn.height())));
        QVERIFY(std::abs(drawn.left() / 10.0 - before.right()) <= 0.3);

        // The second cell starts 2880 twips and the cell's gap from the first.
        const QRectF first = words.find("Primeira").box, second = words.find("Segunda").box;
        QVERIFY2(near(second.left(), bodyLeft + 50.8 + 1.905) && near(first.left(), bodyLeft + 1.905),
                 qPrintable(QString("%1, %2").arg(first.left()).arg(second.left())));
        QVERIFY(near(second.top(), first.top()));

        // The page break: the rest starts the body of page 2.
        QCOMPARE(words.pageCount(), 2);
        QVERIFY(words.find("Antes-da-quebra", 1).box.isValid());
        const QRectF broken = words.find("Depois-da-quebra", 2).box;
        QVERIFY2(near(broken.top(), 46.78) && near(broken.left(), bodyLeft), qPrintable(QString::number(broken.top())));
    }

    // The report editor's measurements block, saved and printed: the values
    // start at one tab stop, the z-scores end at the next, in one column.
    void theMeasurementsBlockPrintsInColumns()
    {
        clinical::Body body;
        body.heightCm = 110;
        body.weightKg = 20;
        const clinical::ReportBlock block = clinical::reportBlock(
            {{"vd", 9.0}, {"ao", 20.5}, {"anel_ao", 14.5}, {"anel_m", 16.0}, {"tce", 2.5}}, body, {});
        QTextDocument document;
        QTextCursor(&document).insertFragment(measurementsFragment(block));
        ExamSnapshot exam;
        exam.name = "ANA MARIA COSTA";
        exam.body = richtext::save(&document);
        const QString file = dir.filePath("measurements.pdf");
        QString error;
        QVERIFY2(reporting::writePdf(TRelatorio::compose(exam), file, exam.title(), &error), qPrintable(error));
        const PdfWords words(file);
        const double bodyLeft = 20.58, valueStop = bodyLeft + 264 * 25.4 / 96, zStop = bodyLeft + 408 * 25.4 / 96;
        QCOMPARE(block.lines.size(), size_t(5));
        double lineTop = 0;
        for (const QStringList& line : block.lines) {
            QCOMPARE(line.size(), 4);
            const QRectF value = words.find(line[1].section(' ', 0, 0)).box, z = words.find(line[3]).box;
            QVERIFY2(std::abs(value.left() - valueStop) <= kTolerance && std::abs(z.right() - zStop) <= kTolerance
                         && std::abs(z.top() - value.top()) <= kTolerance && value.top() > lineTop,
                     qPrintable(QString("%1: value at %2, %3; z ends at %4, %5")
                                    .arg(line[0]).arg(value.left()).arg(value.top()).arg(z.right()).arg(z.top())));
            lineTop = value.top();
        }
    }

    void theTitleBandEndsInARuleOnePointThick()
    {
        const QString file = dir.filePath("standard.pdf");
        pdf(standard, "standard");
        QProcess render;
        render.start("pdftoppm", {"-r", "254", "-gray", "-singlefile", "-png", file, dir.filePath("page")});
        QVERIFY(render.waitForFinished(30000));
        const QImage page(dir.filePath("page.png")); // 10 dots to the millimetre
        QVERIFY(!page.isNull());
        auto dark = [&](double xMm, double yMm) { return qGray(page.pixel(int(xMm * 10), int(yMm * 10))) < 128; };
        for (double x : {10.2, 105.0, 199.8}) {
            QVERIFY(dark(x, kDetailTop - 0.15));
            QVERIFY(!dark(x, kDetailTop - 0.6));
            QVERIFY(!dark(x, kDetailTop + 0.2));
        }
        QVERIFY(!dark(9.5, kDetailTop - 0.15));
        QVERIFY(!dark(200.5, kDetailTop - 0.15));
    }

    void emptyValuesPrintNothingNotEvenTheirUnit_data()
    {
        QTest::addColumn<QDateTime>("exam");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("weight");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("doctor");
        QTest::newRow("age 0, no weight, no height, no doctor") << sparse << "0 meses" << "" << "" << "";
        QTest::newRow("no age, weight 950, height 0, doctor no longer active")
            << unusual << "" << "950 gr." << "" << QString::fromUtf8("DR. JOSÉ MANUEL ALBUQUERQUE VASCONCELOS CARNEIRO");
        QTest::newRow("patient without exams") << QDateTime() << "" << "" << "" << "";
    }

    void emptyValuesPrintNothingNotEvenTheirUnit()
    {
        QFETCH(QDateTime, exam);
        QFETCH(QString, age);
        QFETCH(QString, weight);
        QFETCH(QString, height);
        QFETCH(QString, doctor);
        const PdfWords words = pdf(exam, "values");
        QCOMPARE(words.textAt(1, kTitleTop + 25.40, 30, 100), age);
        QCOMPARE(words.textAt(1, kTitleTop + 14.29, 170), weight);
        QCOMPARE(words.textAt(1, kTitleTop + 19.84, 170), height);
        QCOMPARE(doctorName(words), doctor);
        // The captions, the rule and the signature block always print.
        for (const char* always : {"Nome:", "Idade:", "Peso:", "Altura:", "Exame:", "médico"})
            QVERIFY2(!words.find(QString::fromUtf8(always)).box.isEmpty(), always);
        if (!exam.isValid()) {
            QCOMPARE(words.textAt(1, kTitleTop + 14.29, 30, 100), QString("CARLOS NUNES"));
            QCOMPARE(words.textAt(1, kTitleTop + 19.84, 30, 100), QString("01/12/2025 14:30"));
            QCOMPARE(words.textAt(1, kTitleTop + 25.40, 140), QString("Data de Exame:"));
        }
    }

    void aLongDoctorNameWrapsAndALongTypeKeepsItsFirstLine()
    {
        // Two lines centred under the signature line; the band grew by one.
        const PdfWords words = pdf(unusual, "unusual");
        const QRectF first = words.find("DR.").box, last = words.find("CARNEIRO").box;
        QVERIFY(std::abs(first.top() - (kChildTop + 12.17)) <= kTolerance);
        QVERIFY(last.top() > first.bottom() - 0.1);
        for (const QRectF& line : {first, last})
            QVERIFY(std::abs(words.boxAt(1, line.top()).center().x() - 141.37) <= kTolerance);
        const QString type = words.textAt(1, kDetailTop + 6.35);
        QVERIFY2(type.startsWith("Ecocardiograma fetal") && !type.contains("trimestre"), qPrintable(type));
        QVERIFY(words.find("trimestre").box.isEmpty());
    }

    void aLongBodyRunsOverPagesAndTheSignatureFollowsIt_data()
    {
        QTest::addColumn<QDateTime>("exam");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("linesOnLastPage");
        QTest::newRow("signature block alone on page 2") << signatureAlone << 2 << 0;
        QTest::newRow("three pages") << threePages << 3 << -1;
    }

    void aLongBodyRunsOverPagesAndTheSignatureFollowsIt()
    {
        QFETCH(QDateTime, exam);
        QFETCH(int, pages);
        QFETCH(int, linesOnLastPage);
        const PdfWords words = pdf(exam, "long");
        QCOMPARE(words.pageCount(), pages);
        int lineNumber = 0;
        for (int page = 1; page <= pages; ++page) {
            // Lines continue in order, whole, above the page footer's space;
            // a continuation starts at the body's own offset, 46.78 mm down.
            std::vector<PdfWord> bodyLines;
            for (const PdfWord& w : words.all())
                if (w.page == page && w.text == "Linha")
                    bodyLines.push_back(w);
            if (page == pages && linesOnLastPage == 0) {
                QVERIFY(bodyLines.empty());
            } else if (page > 1) {
                QVERIFY(std::abs(bodyLines.front().box.top() - 46.78) <= kTolerance);
            }
            for (const PdfWord& w : bodyLines) {
                QCOMPARE(words.textAt(page, w.box.top(), 0, 100),
                         QString::fromUtf8("Linha %1 do relatório.").arg(++lineNumber));
                QVERIFY(w.box.bottom() <= kFooterTop);
            }
            QCOMPARE(words.find("Nome:", page).box.isEmpty(), page > 1);
            QCOMPARE(words.find(QString::fromUtf8("Pediátrico"), page).box.isEmpty(), page > 1);
        }
        QCOMPARE(lineNumber, exam == threePages ? 150 : 50);
        // The signature block on the last page, alone under the header when
        // it did not fit under the body.
        const QRectF signature = words.find("______________________________", pages).box;
        QVERIFY(!signature.isEmpty());
        if (linesOnLastPage == 0)
            QVERIFY(std::abs(signature.top() - (kTitleTop + 3.97)) <= kTolerance);
        QVERIFY(signature.bottom() <= kFooterTop);
    }

    // A table row taller than a page goes on over the next pages, cut
    // between lines, each line printed once, above the footer's space.
    void aTableRowTallerThanAPageGoesOnOverTheNextPages()
    {
        QString cell;
        for (int i = 1; i <= 120; ++i)
            cell += QString("\\pard\\intbl Celula%1\\par\n").arg(i);
        ExamSnapshot exam;
        exam.name = "ANA MARIA COSTA";
        exam.body = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\pard Antes\\par\n"
                    "\\trowd\\trgaph108\\clbrdrl\\brdrs\\brdrw10\\cellx2880\\cellx5760\n"
                    + cell + "\\pard\\intbl Fim\\cell Lado\\cell\\row\n\\pard Depois\\par}";
        const QString file = dir.filePath("tall-row.pdf");
        QString error;
        QVERIFY2(reporting::writePdf(TRelatorio::compose(exam), file, exam.title(), &error), qPrintable(error));
        const PdfWords words(file);
        QVERIFY(words.pageCount() >= 3);
        QStringList cells;
        for (const PdfWord& w : words.all()) {
            if (!w.text.startsWith("Celula"))
                continue;
            cells << w.text;
            QVERIFY2(w.box.bottom() <= kFooterTop, qPrintable(w.text));
        }
        QStringList expected;
        for (int i = 1; i <= 120; ++i)
            expected << QString("Celula%1").arg(i);
        QCOMPARE(cells, expected);
        for (int page = 2; page <= words.pageCount(); ++page) {
            const QStringList text = words.pageText(page);
            const auto first = std::find_if(text.begin(), text.end(), [](const QString& w) { return w.startsWith("Celula"); });
            if (first == text.end())
                continue;
            const double top = words.find(*first, page).box.top();
            QVERIFY2(top >= 46.78 - kTolerance && top < 46.78 + 2, qPrintable(QString("%1 at %2").arg(*first).arg(top)));
        }
        QStringList around;
        for (const PdfWord& w : words.all())
            if (w.text == "Lado" || w.text == "Fim" || w.text == "Depois")
                around << QString("%1@%2").arg(w.text).arg(w.page);
        QCOMPARE(around, (QStringList{"Lado@1", "Fim@3", "Depois@3"})); // the row starts under "Antes"
    }

    void theAdminToolWritesTheSameReport()
    {
        const QString file = dir.filePath("admin.pdf");
        QProcess admin;
        admin.start(VELUNOR_BINARY_DIR "/tools/admin/velunor-admin",
                    {"report-pdf", "Dorvica2", QString::number(ana), standard.toString("yyyy-MM-dd HH:mm:ss.zzz"), file});
        QVERIFY(admin.waitForFinished(60000));
        QVERIFY2(admin.exitCode() == 0, admin.readAllStandardError().constData());
        const PdfWords fromTool(file), inProcess = pdf(standard, "standard");
        QCOMPARE(fromTool.pageCount(), 1);
        QCOMPARE(fromTool.pageText(1), inProcess.pageText(1));
        QProcess info;
        info.start("pdfinfo", {file});
        QVERIFY(info.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains("ANA MARIA COSTA - 10/03/2026"));
        QProcess fonts;
        fonts.start("pdffonts", {file});
        QVERIFY(fonts.waitForFinished(30000));
        const QStringList embedded = QString(fonts.readAllStandardOutput()).split('\n').mid(2, 2);
        QCOMPARE(embedded.size(), 2);
        for (const QString& f : embedded)
            QVERIFY2(f.contains(" yes "), qPrintable(f));

        admin.start(VELUNOR_BINARY_DIR "/tools/admin/velunor-admin",
                    {"report-pdf", "Dorvica2", QString::number(ana), "2020-01-01 00:00:00.000", file});
        QVERIFY(admin.waitForFinished(60000));
        QCOMPARE(admin.exitCode(), 1);
        QVERIFY(QString::fromUtf8(admin.readAllStandardError()).contains(QString::fromUtf8("não tem o exame")));
    }
};

VELUNOR_TEST(TestReportLayout)
#include "tst_layout.moc"
