// Times the RTF writer and reader on a long report: about 20 pages of 45
// lines of clinical text with bold, italic and underlined runs and tabs.
// The editor loads and saves a report on every open and save; each figure
// should stay under 20 ms.
//
// Then loads hostile reports, each in a process of its own so that its peak
// memory is its own. Goals: the 487 KB report with 20 000 fonts under
// 100 ms; 10 MB of plain paragraphs under 1 s and under 200 MB.
#include "Measure.h"
#include "Reports.h"
#include "platform/richtext/Rtf.h"

#include <QApplication>
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using bench::Figures;
using bench::measure;

void print(const char* name, const Figures& f)
{
    std::printf("%-22s %10.2f %10.2f\n", name, f.median, f.min);
}

// `piece` `count` times, built in place so that making the input costs no
// more memory than the input itself.
QString repeated(const QString& head, QStringView piece, qsizetype count, const QString& tail)
{
    QString rtf;
    rtf.reserve(head.size() + piece.size() * count + tail.size());
    rtf += head;
    for (qsizetype i = 0; i < count; ++i)
        rtf += piece;
    rtf += tail;
    return rtf;
}

// A font table of `count` fonts, each then used by one character.
QString manyFonts(int count)
{
    QString rtf = "{\\rtf1\\ansi{\\fonttbl";
    for (int i = 0; i < count; ++i)
        rtf += QString("{\\f%1 F%1;}").arg(i);
    rtf += '}';
    for (int i = 0; i < count; ++i)
        rtf += QString("\\f%1 x").arg(i);
    return rtf + '}';
}

// About `bytes` of paragraphs of unformatted clinical text, as the writer
// saves them.
QString plainParagraphs(qsizetype bytes)
{
    QTextDocument doc;
    QTextCursor cursor(&doc);
    for (const char* sentence : bench::kSentences) {
        cursor.insertText(QString::fromUtf8(sentence));
        cursor.insertBlock();
    }
    const QString rtf = richtext::save(&doc);
    // The header, then the body of the nine paragraphs as often as fits.
    const qsizetype body = rtf.indexOf(u"\\par");
    const qsizetype start = rtf.lastIndexOf(u'}', body) + 1;
    const QStringView paragraphs = QStringView(rtf).sliced(start, rtf.size() - 1 - start);
    return repeated(rtf.first(start), paragraphs, bytes / paragraphs.size(), "}");
}

const std::vector<std::pair<const char*, std::function<QString()>>>& hostileReports()
{
    static const std::vector<std::pair<const char*, std::function<QString()>>> reports = {
        {"20 000 fonts", [] { return manyFonts(20000); }},
        {"40 000 fonts", [] { return manyFonts(40000); }},
        {"10 MB of paragraphs", [] { return plainParagraphs(10'000'000); }},
        {"50 MB of ; in colours",
         [] { return repeated("{\\rtf1{\\colortbl", u";", 50'000'000, "} a}"); }},
        {"40 MB of \\par", [] { return repeated("{\\rtf1 ", u"\\par", 10'000'000, "}"); }},
    };
    return reports;
}

long residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// Loads one hostile report and prints its figures (run in a child process).
void loadHostile(const QString& name)
{
    for (const auto& [reportName, make] : hostileReports()) {
        if (name != reportName)
            continue;
        const QString rtf = make();
        const long before = residentMegabytes();
        const Figures f = measure(3, [&] {
            QTextDocument doc;
            richtext::load(&doc, rtf);
        });
        QTextDocument doc;
        richtext::load(&doc, rtf);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long peak = usage.ru_maxrss / 1024;
        std::printf("%-22s %8.1f %10.1f %10.1f %8ld %8ld %8d\n", reportName, rtf.size() / 1e6,
                    f.median, f.min, peak, peak - before, doc.blockCount());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hostile") == 0) {
        loadHostile(QString::fromUtf8(argv[2]));
        return 0;
    }
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

    // Peak: the whole process, the input (two bytes a character) included;
    // loading: what the peak exceeds the memory in use before loading.
    std::printf("\nhostile reports\n");
    std::printf("%-22s %8s %10s %10s %8s %8s %8s\n", "report", "MB RTF", "median ms", "min ms",
                "peak MB", "loading", "blocks");
    std::fflush(stdout);
    for (const auto& report : hostileReports()) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--hostile", report.first});
        child.waitForFinished(-1);
    }
    return 0;
}
