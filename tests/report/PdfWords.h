#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

// The words of a PDF file as a reader finds them (pdftotext -bbox-layout),
// with their boxes in millimetres from the top-left corner of their page.
struct PdfWord {
    int page = 0; // from 1
    QString text;
    QRectF box;
};

class PdfWords {
public:
    explicit PdfWords(const QString& pdfFile);

    int pageCount() const { return m_pages; }
    QSizeF pageSize() const { return m_pageSize; } // of the first page
    const std::vector<PdfWord>& all() const { return m_words; }
    // The first word `text` on `page`; an empty box when there is none.
    PdfWord find(const QString& text, int page = 1) const;
    // The words on `page` whose top is `top` (within 0.3 mm) and whose left
    // edge lies in [left, right), joined by blanks in reading order.
    QString textAt(int page, double top, double left = 0, double right = 1000) const;
    // The box around those words.
    QRectF boxAt(int page, double top, double left = 0, double right = 1000) const;
    QStringList pageText(int page) const;

private:
    std::vector<PdfWord> wordsAt(int page, double top, double left, double right) const;

    int m_pages = 0;
    QSizeF m_pageSize;
    std::vector<PdfWord> m_words;
};
