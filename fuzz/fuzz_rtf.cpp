// Fuzzes the RTF reader and writer: every input is loaded, laid out (its
// tables and pictures included, each picture decoded as the screen would)
// and laid out for print (leaders, rows cut for pages), saved, and the saved
// RTF loaded and saved again, which must give the same text.
//
// Build and run (clang 14 with libFuzzer):
//   cmake -S fuzz -B /tmp/build-fuzz -DCMAKE_CXX_COMPILER=clang++
//   cmake --build /tmp/build-fuzz --target fuzz_rtf
//   mkdir -p /tmp/rtf-corpus
//   /tmp/build-fuzz/fuzz_rtf /tmp/rtf-corpus tests/platform/richtext/data \
//       -dict=fuzz/rtf.dict -max_total_time=600 -max_len=4096 -timeout=10
// with ASAN_OPTIONS=detect_leaks=0: the font database keeps fontconfig's
// caches to the end, which the leak checker would report.
// (or configure the whole project with -DVELUNOR_FUZZ=ON and clang).
// Copy any crash-* or timeout-* file it writes into
// tests/platform/richtext/data/crashers/, where the unit tests load it.
#include "platform/reporting/RichText.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input =
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    // Fonts and the layout need the application object.
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = (qputenv("QT_QPA_PLATFORM", "offscreen"), new QGuiApplication(argc, argv));
    (void)app;

    QTextDocument doc;
    richtext::load(&doc, input);
    doc.setTextWidth(640);
    doc.documentLayout()->documentSize();
    for (const QTextFormat& format : doc.allFormats())
        if (richtext::isPicture(format))
            richtext::decodePicture(richtext::drawablePicture(format), {64, 64});
    const QString rtf = richtext::save(&doc);
    QTextDocument printed; // the print readies a document of its own
    richtext::load(&printed, input);
    reporting::layRichText(printed, 170);

    for (const QChar c : rtf) {
        if (c.unicode() >= 128) {
            std::fprintf(stderr, "non-ASCII character in the saved RTF\n");
            std::abort();
        }
    }
    // What the writer produces must read back to the same document.
    QTextDocument again;
    richtext::load(&again, rtf);
    if (richtext::save(&again) != rtf) {
        std::fprintf(stderr, "RTF changed on a second round:\n%s\n---\n%s\n", qPrintable(rtf),
                     qPrintable(richtext::save(&again)));
        std::abort();
    }
    return 0;
}
