#include "platform/reporting/PreviewWindow.h"

#include "platform/reporting/PageFile.h"

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>

namespace reporting {

namespace {

const QString kSavedFilter = "QRP files (*.QRP *.qrp)";
const QString kPdfFilter = "PDF (*.pdf)";
// Grey around the page, as on a desk.
constexpr int kPageMargin = 8;
// The longest side of the shown page, in pixels: widget geometry stays far
// inside what the window system handles however thin the page.
constexpr double kMaxImageSide = 32000;

} // namespace

// The shown page at the preview's scale with the grey margin around it. It
// paints only the part that the scroll area exposes, so that its memory does
// not grow with the page's size or the zoom.
class PageImage : public QWidget {
public:
    PageImage()
    {
        setObjectName("PageImage");
        setAttribute(Qt::WA_OpaquePaintEvent); // lets the scroll area move what it already shows
    }

    void setPage(const Page* page, double scale)
    {
        m_page = page;
        m_scale = scale;
        m_paper = page ? QRect(QPoint(kPageMargin, kPageMargin), (page->sizeMm * scale).toSize()) : QRect();
        resize(m_paper.size().grownBy(QMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin)));
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().dark());
        const QRect shown = event->rect() & m_paper;
        if (!m_page || shown.isEmpty())
            return;
        painter.fillRect(shown, Qt::white);
        painter.setClipRect(shown);
        painter.translate(m_paper.topLeft());
        paintPage(*m_page, painter, m_scale);
    }

private:
    const Page* m_page = nullptr;
    double m_scale = 1;
    QRect m_paper;
};

PreviewWindow::PreviewWindow(PrinterSettings* settings, QWidget* parent) : QMainWindow(parent), m_settings(settings)
{
    setObjectName("PreviewWindow");
    setWindowTitle("Print Preview");
    setAttribute(Qt::WA_DeleteOnClose);

    auto* bar = addToolBar("Preview");
    bar->setObjectName("PreviewToolBar");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](QAction* a) { bar->addAction(a); };

    ZoomToFit = command("ZoomToFit", "Fit", "Zoom to fit");
    Zoom100 = command("Zoom100", "100%", "100%");
    ZoomToWidth = command("ZoomToWidth", "Width", "Zoom to width");
    auto* zooms = new QActionGroup(this);
    for (QAction* a : {ZoomToFit, Zoom100, ZoomToWidth}) {
        a->setCheckable(true);
        zooms->addAction(a);
        add(a);
    }
    ZoomToWidth->setChecked(true);
    connect(ZoomToFit, &QAction::triggered, this, [this] { setZoom(Zoom::ToFit); });
    connect(Zoom100, &QAction::triggered, this, [this] { setZoom(Zoom::Actual); });
    connect(ZoomToWidth, &QAction::triggered, this, [this] { setZoom(Zoom::ToWidth); });
    bar->addSeparator();

    FirstPage = command("FirstPage", "First", "First page", {Qt::Key_Home, Qt::CTRL | Qt::Key_PageUp});
    PreviousPage = command("PreviousPage", "Previous", "Previous page", {Qt::Key_PageUp});
    NextPage = command("NextPage", "Next", "Next page", {Qt::Key_PageDown});
    LastPage = command("LastPage", "Last", "Last page", {Qt::Key_End, Qt::CTRL | Qt::Key_PageDown});
    for (QAction* a : {FirstPage, PreviousPage, NextPage, LastPage})
        add(a);
    connect(FirstPage, &QAction::triggered, this, [this] { showPageNumber(1); });
    connect(PreviousPage, &QAction::triggered, this, [this] { showPageNumber(pageNumber() - 1); });
    connect(NextPage, &QAction::triggered, this, [this] { showPageNumber(pageNumber() + 1); });
    connect(LastPage, &QAction::triggered, this, [this] { showPageNumber(pageCount()); });
    bar->addSeparator();

    PrinterSetup = command("PrinterSetup", "Setup", "Printer setup");
    Print = command("Print", "Print", "Print");
    SaveReport = command("SaveReport", "Save", "Save Report");
    LoadReport = command("LoadReport", "Open", "Load Report");
    for (QAction* a : {PrinterSetup, Print, SaveReport, LoadReport})
        add(a);
    connect(PrinterSetup, &QAction::triggered, this, &PreviewWindow::printerSetup);
    connect(Print, &QAction::triggered, this, &PreviewWindow::print);
    connect(SaveReport, &QAction::triggered, this, &PreviewWindow::saveReport);
    connect(LoadReport, &QAction::triggered, this, &PreviewWindow::loadReport);
    bar->addSeparator();

    CloseButton = new QPushButton("&Close", bar);
    CloseButton->setObjectName("CloseButton");
    CloseButton->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(CloseButton);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    QAction* escape = command("CloseWindow", "Close", QString(), {Qt::Key_Escape});
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);

    m_view = new QScrollArea(this);
    m_view->setObjectName("PageView");
    m_view->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_view->setBackgroundRole(QPalette::Dark);
    m_view->viewport()->installEventFilter(this);
    m_image = new PageImage;
    m_view->setWidget(m_image);
    m_view->setWidgetResizable(false);
    setCentralWidget(m_view);

    ProgressField = new QLabel(this);
    ProgressField->setObjectName("ProgressField");
    ProgressField->setMinimumWidth(60);
    PageIndicator = new QLabel(this);
    PageIndicator->setObjectName("PageIndicator");
    statusBar()->addPermanentWidget(ProgressField);
    statusBar()->addPermanentWidget(PageIndicator, 1);
    updateCommands();
}

PreviewWindow::~PreviewWindow() = default;

QAction* PreviewWindow::command(const char* name, const QString& text, const QString& hint, QList<QKeySequence> keys)
{
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcuts(keys);
    return a;
}

void PreviewWindow::showComposed(std::vector<Page> pages, const QString& title, bool keepPage)
{
    showPages(std::move(pages), title, false, keepPage ? m_page : 0);
}

void PreviewWindow::showPages(std::vector<Page> pages, const QString& title, bool loaded, int page)
{
    m_pages = std::move(pages);
    m_title = title;
    m_loaded = loaded;
    m_page = std::clamp(page, 0, std::max(0, pageCount() - 1));
    ProgressField->setText("100%");
    updateCommands();
    render();
}

bool PreviewWindow::loadFile(const QString& fileName)
{
    QString error;
    std::vector<Page> pages = loadPages(fileName, &error);
    if (pages.empty()) {
        tell(error);
        return false;
    }
    showPages(std::move(pages), QFileInfo(fileName).completeBaseName(), true, 0);
    return true;
}

bool PreviewWindow::saveFile(const QString& fileName)
{
    QString error;
    const bool saved = fileName.endsWith(".pdf", Qt::CaseInsensitive) ? writePdf(m_pages, fileName, m_title, &error)
                                                                        : savePages(fileName, m_pages, &error);
    if (!saved)
        tell(error);
    return saved;
}

void PreviewWindow::showPageNumber(int number)
{
    if (number < 1 || number > pageCount() || number == pageNumber())
        return;
    m_page = number - 1;
    updateCommands();
    render();
}

void PreviewWindow::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    (zoom == Zoom::ToFit ? ZoomToFit : zoom == Zoom::Actual ? Zoom100 : ZoomToWidth)->setChecked(true);
    render();
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize && m_zoom != Zoom::Actual)
        render();
    return QMainWindow::eventFilter(watched, event);
}

void PreviewWindow::render()
{
    if (m_pages.empty()) {
        m_image->setPage(nullptr, m_scale);
        return;
    }
    const Page& page = m_pages[size_t(m_page)];
    const QSizeF room = QSizeF(m_view->viewport()->size()) - QSizeF(2 * kPageMargin, 2 * kPageMargin);
    switch (m_zoom) {
    case Zoom::Actual: m_scale = logicalDpiX() / 25.4; break;
    case Zoom::ToWidth: m_scale = room.width() / page.sizeMm.width(); break;
    case Zoom::ToFit:
        m_scale = std::min(room.width() / page.sizeMm.width(), room.height() / page.sizeMm.height());
        break;
    }
    const double longest = std::max(page.sizeMm.width(), page.sizeMm.height());
    m_scale = std::min(std::max(m_scale, 0.5), kMaxImageSide / longest);
    m_image->setPage(&page, m_scale);
}

void PreviewWindow::updateCommands()
{
    const bool any = !m_pages.empty();
    for (QAction* a : {FirstPage, PreviousPage, NextPage, LastPage})
        a->setEnabled(any);
    PrinterSetup->setEnabled(any && !m_loaded);
    Print->setEnabled(any && !m_job);
    SaveReport->setEnabled(any);
    PageIndicator->setText(any ? QString("Page %1 of %2").arg(pageNumber()).arg(pageCount()) : QString());
}

void PreviewWindow::tell(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
    box.exec();
}

void PreviewWindow::printerSetup()
{
    QPrinter printer(QPrinter::HighResolution);
    m_settings->applyTo(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("PrintDialog");
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, std::max(1, pageCount()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_settings->takeFrom(printer, true);
    if (printerSettingsChanged)
        printerSettingsChanged();
}

void PreviewWindow::print()
{
    if (!m_loaded) {
        if (printComposed)
            printComposed();
        return;
    }
    if (m_job)
        return;
    QString error;
    m_job = startPrinting(m_pages, *m_settings, m_title, &error);
    if (!m_job) {
        tell(error);
        return;
    }
    connect(m_job, &PrintJob::finished, this, [this](bool, const QString& failure) {
        m_job = nullptr;
        if (!failure.isEmpty())
            tell(failure);
        updateCommands();
    });
    updateCommands();
}

void PreviewWindow::saveReport()
{
    QFileDialog dialog(this, "Save report");
    dialog.setObjectName("SaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({kSavedFilter, kPdfFilter});
    dialog.setDefaultSuffix("QRP");
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(filter == kPdfFilter ? "pdf" : "QRP"); });
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveFile(dialog.selectedFiles().constFirst());
}

void PreviewWindow::loadReport()
{
    QFileDialog dialog(this, "Load report");
    dialog.setObjectName("LoadDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({kSavedFilter});
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        loadFile(dialog.selectedFiles().constFirst());
}

} // namespace reporting
