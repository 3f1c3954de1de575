#include "platform/reporting/Printing.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace reporting {

void PrinterSettings::applyTo(QPrinter& printer) const
{
    if (!outputFileName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(outputFileName);
    } else if (!printerName.isEmpty()) {
        printer.setPrinterName(printerName);
    }
    printer.setCopyCount(copies);
    printer.setCollateCopies(true);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPageLayout(QPageLayout(paper, orientation, QMarginsF()));
    // Drawing starts at the paper's corner, whatever the printer's margins:
    // the report keeps its own.
    printer.setFullPage(true);
    if (fromPage > 0 || toPage > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(fromPage, toPage);
    }
}

void PrinterSettings::takeFrom(const QPrinter& printer, bool layoutAndRange)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        outputFileName = printer.outputFileName();
    } else {
        outputFileName.clear();
        printerName = printer.printerName();
    }
    copies = std::max(1, printer.copyCount());
    if (!layoutAndRange)
        return;
    orientation = printer.pageLayout().orientation();
    if (printer.printRange() == QPrinter::PageRange) {
        fromPage = printer.fromPage();
        toPage = printer.toPage();
    } else {
        fromPage = toPage = 0; // all pages, or the selection, which is all of them
    }
}

bool PrinterSettings::hasTarget() const
{
    return !outputFileName.isEmpty() || !QPrinterInfo::availablePrinterNames().isEmpty();
}

std::vector<int> PrinterSettings::pagesToPrint(int pageCount) const
{
    int first = 1, last = pageCount;
    if (fromPage > 0 || toPage > 0) {
        first = std::max(1, fromPage);
        last = std::min(pageCount, toPage > 0 ? toPage : pageCount);
    }
    std::vector<int> order;
    for (int copy = 0; copy < std::max(1, copies); ++copy)
        for (int page = first; page <= last; ++page)
            order.push_back(page);
    return order;
}

namespace {

// The scale that fits a page to the paper.
double fitScale(const QSizeF& page, const QSizeF& paper)
{
    if (page.isEmpty())
        return 1;
    return std::min(paper.width() / page.width(), paper.height() / page.height());
}

} // namespace

bool writePdf(const std::vector<Page>& pages, QIODevice* device, const QString& title, QString* error)
{
    QPdfWriter writer(device);
    writer.setTitle(title);
    writer.setCreator("Velunor");
    writer.setResolution(1200);
    const QSizeF size = pages.empty() ? QSizeF(210, 297) : pages.front().sizeMm;
    writer.setPageLayout(
        QPageLayout(QPageSize(size, QPageSize::Millimeter), QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QString::fromUtf8("não foi possível começar o documento PDF.");
        return false;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        paintPage(pages[i], painter);
    }
    painter.end();
    return true;
}

bool writePdf(const std::vector<Page>& pages, const QString& fileName, const QString& title, QString* error)
{
    QSaveFile file(fileName);
    QString why;
    if (!file.open(QIODevice::WriteOnly))
        why = file.errorString();
    else if (!writePdf(pages, &file, title, &why))
        file.cancelWriting();
    else if (!file.commit())
        why = file.errorString();
    else
        return true;
    if (error)
        *error = QString::fromUtf8("Não foi possível gravar o PDF \"%1\": %2")
                     .arg(QFileInfo(fileName).fileName(), why.endsWith('.') ? why : why + ".");
    return false;
}

PrintJob* startPrinting(std::vector<Page> pages, const PrinterSettings& settings, const QString& documentName,
                        QString* error)
{
    if (!settings.hasTarget()) {
        if (error)
            *error = QString::fromUtf8("Não existe nenhuma impressora instalada.");
        return nullptr;
    }
    if (settings.pagesToPrint(int(pages.size())).empty()) {
        if (error)
            *error = QString::fromUtf8("O relatório tem %1 página(s): não há nenhuma entre a %2 e a %3.")
                         .arg(pages.size())
                         .arg(settings.fromPage)
                         .arg(settings.toPage);
        return nullptr;
    }
    auto* job = new PrintJob(std::move(pages), settings, documentName, QCoreApplication::instance());
    QObject::connect(job, &PrintJob::finished, job, &QObject::deleteLater);
    job->start();
    return job;
}

// --- the print job ----------------------------------------------------------------

PrintJob::PrintJob(std::vector<Page> pages, const PrinterSettings& settings, const QString& documentName,
                   QObject* parent)
    : QObject(parent), m_pages(std::move(pages)), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    settings.applyTo(*m_printer);
    m_printer->setDocName(documentName);
    m_order = settings.pagesToPrint(int(m_pages.size()));
    // The pages go out once per copy (collated), whatever the printer could do.
    m_printer->setCopyCount(1);

    m_window = new QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    m_window->setObjectName("PrintProgress");
    m_window->setWindowTitle("Printing progress");
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(m_window);
    m_bar = new QProgressBar(m_window);
    m_bar->setObjectName("ProgressBar");
    m_bar->setRange(0, int(m_order.size()));
    auto* cancelButton = new QPushButton("Cancel", m_window);
    cancelButton->setObjectName("CancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    m_window->setFixedSize(300, 90);
    connect(cancelButton, &QPushButton::clicked, this, &PrintJob::cancel);
    connect(m_window, &QDialog::rejected, this, &PrintJob::cancel); // Esc or the window's close box
}

PrintJob::~PrintJob() { delete m_window; }

void PrintJob::start()
{
    m_running = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    m_window->show();
    QTimer::singleShot(0, this, &PrintJob::countNext);
}

void PrintJob::cancel()
{
    if (m_running)
        finish(false, {});
}

void PrintJob::countNext()
{
    if (!m_running)
        return;
    if (m_counted == m_order.size()) {
        send();
        return;
    }
    m_bar->setValue(int(++m_counted));
    QTimer::singleShot(0, this, &PrintJob::countNext);
}

void PrintJob::send()
{
    QPainter painter;
    if (!painter.begin(m_printer.get())) {
        const QString target = m_printer->outputFileName();
        finish(false, target.isEmpty()
                          ? QString::fromUtf8("Não foi possível imprimir na impressora \"%1\".").arg(m_printer->printerName())
                          : QString::fromUtf8("Não foi possível escrever o ficheiro \"%1\".").arg(target));
        return;
    }
    const QSizeF paper = m_printer->pageLayout().fullRect(QPageLayout::Millimeter).size();
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (i > 0)
            m_printer->newPage();
        const Page& page = m_pages[size_t(m_order[i] - 1)];
        paintPage(page, painter, m_printer->resolution() / 25.4 * fitScale(page.sizeMm, paper));
    }
    painter.end();
    finish(true, {});
}

void PrintJob::finish(bool printed, const QString& error)
{
    m_running = false;
    m_window->hide();
    emit finished(printed, error);
}

} // namespace reporting
