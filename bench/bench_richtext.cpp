// Times the RTF writer and reader on a long report: about 20 pages of 45
// lines of clinical text with bold, italic and underlined runs and tabs.
// The editor loads and saves a report on every open and save; each figure
// should stay under 20 ms.
#include "Measure.h"
#include "Reports.h"
#include "platform/richtext/Rtf.h"

#include <QApplication>
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::Figures;
using bench::measure;

void print(const char* name, const Figures& f)
{
    std::printf("%-22s %10.2f %10.2f\n", name, f.median, f.min);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRepetitions = 21;

    QTextDocument report;
    bench::buildReport(report);
    const QString rtf = richtext::save(&report);
    std::printf("report: %d paragraphs, %d characters, %lld bytes of RTF\n\n",
                report.blockCount(), report.characterCount(), qlonglong(rtf.size()));
    std::printf("%-22s %10s %10s\n", "operation", "median ms", "min ms");

    print("save", measure(kRepetitions, [&] { richtext::save(&report); }));
    print("load", measure(kRepetitions, [&] {
              QTextDocument doc;
              richtext::load(&doc, rtf);
          }));
    // What the editor pays: the same load into a document that lays out
    // its text (mostly Qt's layout, shown for comparison).
    print("load + layout", measure(kRepetitions, [&] {
              QTextDocument doc;
              doc.setTextWidth(700);
              doc.documentLayout();
              richtext::load(&doc, rtf);
              doc.size();
          }));
    print("load + save", measure(kRepetitions, [&] {
              QTextDocument doc;
              richtext::load(&doc, rtf);
              richtext::save(&doc);
          }));
    return 0;
}
