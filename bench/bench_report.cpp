// The printed exam report: composing a 3-page and a 20-page report and
// painting every page to PDF, printing the 3-page one through a PDF printer,
// and opening the preview on it until page 1 is shown. Then the largest page
// a saved file may hold, full to the bound on marks, in the preview at 100 %:
// the time to redraw it and the process's peak memory.
// Goals: 3 pages under 60 ms, 20 pages under 250 ms, the preview under 150 ms,
// the largest page redrawn under 100 ms with the peak memory grown by less
// than 50 MB.
//
// It needs no store: the exam is built here (the alias argument of
// scripts/bench is not used).

#include "Measure.h"
#include "Reports.h"
#include "platform/reporting/PreviewWindow.h"
#include "platform/reporting/Printing.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"
#include "report/Rel.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QLocale>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

using bench::Figures;
using bench::measure;

void show(const char* name, const Figures& f, double goal)
{
    std::printf("%-34s %10.2f %10.2f %8.0f\n", name, f.median, f.min, goal);
}

ExamSnapshot exam(int lines)
{
    ExamSnapshot e;
    e.name = "ANA MARIA COSTA";
    e.birthDate = "20/01/2025";
    e.age = "13";
    e.weight = QString("9") + QChar::Nbsp + "500";
    e.height = "75";
    e.examDate = "10/03/2026";
    e.doctor = "Dra. Helena Vasconcelos";
    e.examType = "Ecocardiograma Transtorácico Pediátrico";
    QTextDocument doc;
    bench::buildReport(doc, lines);
    e.body = richtext::save(&doc);
    return e;
}

// The exam whose report text fills exactly `pages` pages, with as few lines as that takes.
ExamSnapshot examOfPages(int pages)
{
    int low = 1, high = 4000;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (int(TRelatorio::compose(exam(mid)).size()) < pages)
            low = mid + 1;
        else
            high = mid;
    }
    return exam(low);
}

void toPdf(const std::vector<reporting::Page>& pages)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    reporting::writePdf(pages, &out, "bench", nullptr);
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The largest page a saved file may hold, as many text runs as it may hold
// marks (runs cost the most to draw), shown at 100 %.
void largestPageInThePreview()
{
    using namespace reporting;
    const double side = PageLimits::sideMm;
    Page page{QSizeF(side, side), {}};
    const FontSpec font = FontSpec::of(QFont("Liberation Sans", 9));
    const int perRow = 100;
    const QString text(PageLimits::characters / PageLimits::marks, 'x');
    for (int i = 0; i < PageLimits::marks; ++i)
        page.items.push_back(PageItem::textRun(QPointF(10 + (i % perRow) * side / perRow, 10 + (i / perRow) * 9.9),
                                               font, Qt::black, text));
    PrinterSettings settings;
    const double before = peakMegabytes();
    PreviewWindow preview(&settings);
    preview.resize(1280, 1024);
    preview.showComposed({page}, "bench");
    preview.setZoom(PreviewWindow::Zoom::Actual);
    preview.show();
    QWidget* viewport = preview.findChild<QScrollArea*>("PageView")->viewport();
    while (!preview.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    show("redraw the largest page at 100 %", measure(11, [&] { viewport->grab(); }), 100);
    std::printf("%-34s %10.0f %10.0f %8d\n", "peak MB, before and at 100 %", before, peakMegabytes(), 50);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    app.setTitle("Velunor");
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Portugal));
    Relatorio = new TRelatorio;

    const ExamSnapshot three = examOfPages(3);
    const ExamSnapshot twenty = examOfPages(20);
    std::printf("%-34s %10s %10s %8s\n", "operation", "median ms", "min ms", "goal ms");
    const auto threePages = TRelatorio::compose(three);
    const auto twentyPages = TRelatorio::compose(twenty);
    show("compose 3 pages", measure(21, [&] { TRelatorio::compose(three); }), 0);
    show("paint 3 pages to PDF", measure(21, [&] { toPdf(threePages); }), 0);
    show("compose 3 pages + PDF", measure(21, [&] { toPdf(TRelatorio::compose(three)); }), 60);
    show("compose 20 pages", measure(11, [&] { TRelatorio::compose(twenty); }), 0);
    show("paint 20 pages to PDF", measure(11, [&] { toPdf(twentyPages); }), 0);
    show("compose 20 pages + PDF", measure(11, [&] { toPdf(TRelatorio::compose(twenty)); }), 250);

    // Printing through a PDF printer, until the job has ended.
    QTemporaryDir dir;
    Relatorio->printerSettings().outputFileName = dir.filePath("print.pdf");
    show("print 3 pages (PDF printer)", measure(11, [&] {
             Relatorio->print(three);
             while (Relatorio->busy())
                 QCoreApplication::processEvents();
         }),
         0);

    show("preview 3 pages until page 1 shows", measure(11, [&] {
             Relatorio->preview(three);
             QWindow* window = Relatorio->previewWindow()->windowHandle();
             while (!window || !window->isExposed()) {
                 QCoreApplication::processEvents();
                 window = Relatorio->previewWindow()->windowHandle();
             }
             Relatorio->previewWindow()->close();
             QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
         }),
         150);
    largestPageInThePreview();
    delete Relatorio;
    return 0;
}
