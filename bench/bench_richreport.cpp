// A report written with everything a word processor gives it: about 20
// pages of clinical text with indents, tab stops, super- and subscripts,
// 10 pictures (PNG and JPEG) and 5 tables with borders and shading. Times
// loading its RTF, laying the printed report out and painting the 20 pages
// to PDF. Goals: load under 10 ms, layout under 50 ms, PDF under 250 ms.
//
//   bench_richreport [alias] [--pdf FILE] [--rtf FILE]
// (the printed report and its RTF, to look at)
//
// It needs no store: the exam is built here.

#include "Measure.h"
#include "Reports.h"
#include "platform/reporting/Printing.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"
#include "report/Rel.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {

using bench::Figures;
using bench::measure;

void show(const char* name, const Figures& f, double goal)
{
    std::printf("%-34s %10.2f %10.2f %8.0f\n", name, f.median, f.min, goal);
}

QString hex(const QByteArray& data)
{
    QString out;
    const QByteArray h = data.toHex();
    for (qsizetype i = 0; i < h.size(); i += 128)
        out += QString::fromLatin1(h.mid(i, 128)) + '\n';
    return out;
}

// A picture of an echo-like gradient with a mark, as `format` ("PNG", "JPG").
QByteArray picture(int width, int height, const char* format, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(20, 20, 20));
    g.setColorAt(1, QColor(90 + seed * 10, 120, 160));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(Qt::yellow, 3));
    p.drawEllipse(QRect(width / 4, height / 4, width / 2, height / 2));
    p.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 85);
    return data;
}

QString table(int n)
{
    QString rtf;
    for (int r = 0; r < 5; ++r) {
        rtf += "\\trowd\\trgaph108\\trleft-108";
        for (int c = 0; c < 3; ++c) {
            rtf += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
            if (r == 0)
                rtf += "\\clcbpat2";
            rtf += QString("\\cellx%1").arg(2500 * (c + 1));
        }
        rtf += "\n";
        for (int c = 0; c < 3; ++c)
            rtf += r == 0 ? QString("\\pard\\intbl\\b Medida %1\\b0\\cell ").arg(c + 1)
                          : QString("\\pard\\intbl\\qr %1,%2 cm{\\super 2}\\cell ").arg(n * 10 + r).arg(c);
        rtf += "\\row\n";
    }
    return rtf;
}

// About 20 pages: the benchmark's clinical text, and every 80 lines a
// picture or a table between indented and tabbed paragraphs.
QString richReport()
{
    QTextDocument doc;
    bench::buildReport(doc, 19 * 45);
    const QString text = richtext::save(&doc);
    const qsizetype bodyStart = text.indexOf("\\pard");
    QString rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"
                  "{\\colortbl ;\\red0\\green0\\blue0;\\red220\\green230\\blue240;}\n";
    const QStringList paragraphs = text.mid(bodyStart, text.size() - 1 - bodyStart).split("\\par\n");
    int pictures = 0, tables = 0;
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        rtf += paragraphs[i] + "\\par\n";
        if (i % 80 != 40)
            continue;
        rtf += "\\pard\\li720\\fi-360\\tx2880\\tqr\\tx8000 H{\\sub 2}O\\tab 4,5 cm{\\super 2}\\tab fim\\par\n";
        if (pictures < 10) {
            const bool png = pictures % 2 == 0;
            rtf += QString("\\pard\\qc{\\pict\\%1\\picw400\\pich300\\picwgoal4500\\pichgoal3375\n")
                       .arg(png ? "pngblip" : "jpegblip")
                   + hex(picture(400, 300, png ? "PNG" : "JPG", pictures)) + "}\\par\n";
            ++pictures;
        }
        if (tables < 5 && i % 160 == 40) {
            rtf += table(tables);
            ++tables;
        }
    }
    return rtf + "}";
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    const QStringList args = app.arguments();
    ExamSnapshot exam;
    exam.name = "ANA MARIA COSTA";
    exam.examDate = "10/03/2026";
    exam.doctor = "Dra. Helena Vasconcelos";
    exam.examType = "Ecocardiograma Transtorácico Pediátrico";
    exam.body = richReport();

    const std::vector<reporting::Page> pages = TRelatorio::compose(exam);
    std::printf("report: %lld KB of RTF, %zu pages\n\n", (long long)(exam.body.size() / 1024), pages.size());
    std::printf("%-34s %10s %10s %8s\n", "", "median ms", "min ms", "goal");
    const Figures load = measure(9, [&] {
        QTextDocument doc;
        richtext::load(&doc, exam.body);
    });
    show("load", load, 10);
    const Figures compose = measure(9, [&] { TRelatorio::compose(exam); });
    show("layout (compose less load)", {compose.median - load.median, compose.min - load.min}, 50);
    const Figures pdf = measure(5, [&] {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QString error;
        reporting::writePdf(pages, &buffer, exam.title(), &error);
    });
    show("pages to PDF", pdf, 250);

    const qsizetype at = args.indexOf("--pdf");
    if (at >= 0 && at + 1 < args.size()) {
        QString error;
        if (!reporting::writePdf(pages, args[at + 1], exam.title(), &error))
            std::printf("%s\n", qPrintable(error));
    }
    const qsizetype rtfAt = args.indexOf("--rtf");
    if (rtfAt >= 0 && rtfAt + 1 < args.size()) {
        QFile file(args[rtfAt + 1]);
        if (file.open(QIODevice::WriteOnly))
            file.write(exam.body.toLatin1());
    }
    return 0;
}
