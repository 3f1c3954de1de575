#include "PdfWords.h"

#include <QProcess>
#include <QXmlStreamReader>
#include <algorithm>

namespace {
constexpr double kMmPerPoint = 25.4 / 72;
}

PdfWords::PdfWords(const QString& pdfFile)
{
    QProcess p;
    p.start("pdftotext", {"-bbox-layout", pdfFile, "-"});
    p.waitForFinished(30000);
    QXmlStreamReader xml(p.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"page") {
            if (++m_pages == 1)
                m_pageSize = QSizeF(xml.attributes().value("width").toDouble() * kMmPerPoint,
                                    xml.attributes().value("height").toDouble() * kMmPerPoint);
        } else if (xml.name() == u"word") {
            auto mm = [&](const char* name) { return xml.attributes().value(name).toDouble() * kMmPerPoint; };
            const QRectF box(QPointF(mm("xMin"), mm("yMin")), QPointF(mm("xMax"), mm("yMax")));
            m_words.push_back({m_pages, xml.readElementText(), box});
        }
    }
}

PdfWord PdfWords::find(const QString& text, int page) const
{
    for (const PdfWord& w : m_words)
        if (w.page == page && w.text == text)
            return w;
    return {};
}

std::vector<PdfWord> PdfWords::wordsAt(int page, double top, double left, double right) const
{
    std::vector<PdfWord> found;
    for (const PdfWord& w : m_words)
        if (w.page == page && std::abs(w.box.top() - top) <= 0.3 && w.box.left() >= left && w.box.left() < right)
            found.push_back(w);
    std::sort(found.begin(), found.end(), [](const PdfWord& a, const PdfWord& b) { return a.box.left() < b.box.left(); });
    return found;
}

QString PdfWords::textAt(int page, double top, double left, double right) const
{
    QStringList words;
    for (const PdfWord& w : wordsAt(page, top, left, right))
        words << w.text;
    return words.join(' ');
}

QRectF PdfWords::boxAt(int page, double top, double left, double right) const
{
    QRectF box;
    for (const PdfWord& w : wordsAt(page, top, left, right))
        box = box.united(w.box);
    return box;
}

QStringList PdfWords::pageText(int page) const
{
    QStringList words;
    for (const PdfWord& w : m_words)
        if (w.page == page)
            words << w.text;
    return words;
}
