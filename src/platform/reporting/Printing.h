#pragma once

#include "platform/reporting/Page.h"

#include <QObject>
#include <QPageLayout>
#include <QPageSize>
#include <memory>

class QDialog;
class QIODevice;
class QPrinter;
class QProgressBar;

namespace reporting {

// A report's printer settings: which printer, how many copies, which pages,
// which orientation. They outlive any one print job.
struct PrinterSettings {
    QString printerName;    // empty: the system's default printer
    QString outputFileName; // set when the user chose to print to a PDF file
    int copies = 1;
    int fromPage = 0;       // 0 and 0: every page
    int toPage = 0;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPageSize paper = QPageSize(QPageSize::A4);

    void applyTo(QPrinter& printer) const;
    // What a print dialog's user chose: the printer (or the file) and the
    // number of copies; with `layoutAndRange`, the orientation and the page
    // range too.
    void takeFrom(const QPrinter& printer, bool layoutAndRange);
    // Whether a job can go anywhere: a printer is installed, or a file is named.
    bool hasTarget() const;
    // The page numbers a job prints, from 1, copies collated.
    std::vector<int> pagesToPrint(int pageCount) const;
};

// Writes `pages` as a PDF document with `title`, text kept as text and the
// faces embedded. False, with the reason in `*error`, when it cannot.
bool writePdf(const std::vector<Page>& pages, QIODevice* device, const QString& title, QString* error);
bool writePdf(const std::vector<Page>& pages, const QString& fileName, const QString& title, QString* error);

// One print job in the "Printing progress" window. The pages are counted
// out one a turn of the event loop, so that the window shows and "Cancel"
// can be pressed; only when all are counted does the job open the printer
// and draw them, so a cancelled job leaves nothing, on paper or on disk.
// Pages are stretched, keeping their proportions, to the printer's paper.
class PrintJob : public QObject {
    Q_OBJECT
public:
    PrintJob(std::vector<Page> pages, const PrinterSettings& settings, const QString& documentName,
             QObject* parent = nullptr);
    ~PrintJob() override;

    void start();
    void cancel();
    bool running() const { return m_running; }

signals:
    // `printed` is false when cancelled or failed; `error` says why it failed.
    void finished(bool printed, const QString& error);

private:
    void countNext();
    void send();
    void finish(bool printed, const QString& error);

    std::vector<Page> m_pages;
    std::vector<int> m_order;
    size_t m_counted = 0;
    std::unique_ptr<QPrinter> m_printer;
    QDialog* m_window = nullptr;
    QProgressBar* m_bar = nullptr;
    bool m_running = false;
};

// Starts a job that prints `pages` with `settings`, or returns null, with
// the reason in `*error`, when no printer is installed and no file named, or
// when the page range holds none of the pages.
// The job deletes itself once finished.
PrintJob* startPrinting(std::vector<Page> pages, const PrinterSettings& settings, const QString& documentName,
                        QString* error);

} // namespace reporting
