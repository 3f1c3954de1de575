#pragma once

#include "platform/reporting/Layout.h"
#include "platform/reporting/PreviewWindow.h"
#include "platform/reporting/Printing.h"
#include "report/ExamSnapshot.h"

#include <QObject>
#include <QPointer>

// The exam report: one A4 page, or more for a long report text, with the
// patient's identification, the exam's data, the exam type as a title, the
// report text and the signature block. Each print or preview composes it
// anew from a snapshot of the current patient and exam, with the report's
// own printer settings, which last until the program ends.
class TRelatorio : public QObject {
    Q_OBJECT
public:
    explicit TRelatorio(QObject* parent = nullptr);
    ~TRelatorio() override;

    // Prints the current exam's report, with no dialog first.
    void print();
    void print(const ExamSnapshot& exam);
    // Shows the current exam's report in the preview window; the window
    // already open shows it instead of what it showed.
    void preview();
    void preview(const ExamSnapshot& exam);
    // Writes the current exam's report to a PDF file. False, with the reason
    // in `*error`, when it cannot.
    bool exportPdf(const QString& fileName, QString* error);

    // A print job or a composition is under way: print and preview requests
    // are refused meanwhile.
    bool busy() const { return m_job && m_job->running(); }
    reporting::PrinterSettings& printerSettings() { return m_settings; }
    reporting::PreviewWindow* previewWindow() const { return m_preview; }

    // The layout, and its pages, for one exam on a page of `orientation`.
    static reporting::Report layout(const ExamSnapshot& exam, QPageLayout::Orientation orientation);
    static std::vector<reporting::Page> compose(const ExamSnapshot& exam,
                                                QPageLayout::Orientation orientation = QPageLayout::Portrait);

    // The text rules: what the weight, height, age and doctor's name print.
    static QString QRDBText4Print(const QString& text);
    static QString QRDBText5Print(const QString& text);
    static QString QRDBText3Print(const QString& text);
    static QString QRLabel9Print(const ExamSnapshot& exam);

private:
    reporting::PrinterSettings m_settings;
    QPointer<reporting::PrintJob> m_job;
    QPointer<reporting::PreviewWindow> m_preview;
};

extern TRelatorio* Relatorio;
