#pragma once

#include "platform/reporting/Printing.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;

namespace reporting {

class PageImage;

// The "Print Preview" window: one page of a composed or loaded report at a
// time, with the zoom, page, printer set-up, print, save and load commands
// (hints as tool tips) and the keys Esc, Page Up/Down, Home/End and
// Ctrl+Page Up/Down. It is not modal, and is destroyed when closed.
class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Zoom { ToFit, Actual, ToWidth };

    // `settings` are the report's printer settings, which the printer set-up
    // changes; they must outlive the window.
    explicit PreviewWindow(PrinterSettings* settings, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Shows pages the report composed, on page 1 unless `keepPage` and the
    // shown page still exists; `title` names a PDF saved from them.
    void showComposed(std::vector<Page> pages, const QString& title, bool keepPage = false);
    // Shows the pages saved in `fileName`; on refusal says why and keeps the
    // shown pages.
    bool loadFile(const QString& fileName);
    // Saves the shown pages: as a PDF when the name ends in ".pdf", else as
    // saved pages. On failure says why.
    bool saveFile(const QString& fileName);

    const std::vector<Page>& pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }
    int pageNumber() const { return m_page + 1; }
    void showPageNumber(int number);
    bool showsLoadedPages() const { return m_loaded; }
    Zoom zoom() const { return m_zoom; }
    void setZoom(Zoom zoom);
    // Painter units per millimetre of the shown page image.
    double scale() const { return m_scale; }
    bool printing() const { return m_job; }

    // "Print" on composed pages asks the report to compose again and print.
    std::function<void()> printComposed;
    // A confirmed printer set-up: the report may lay its pages out again.
    std::function<void()> printerSettingsChanged;

    QAction* ZoomToFit;
    QAction* Zoom100;
    QAction* ZoomToWidth;
    QAction* FirstPage;
    QAction* PreviousPage;
    QAction* NextPage;
    QAction* LastPage;
    QAction* PrinterSetup;
    QAction* Print;
    QAction* SaveReport;
    QAction* LoadReport;
    QPushButton* CloseButton;
    QLabel* ProgressField;
    QLabel* PageIndicator;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* command(const char* name, const QString& text, const QString& hint, QList<QKeySequence> keys = {});
    // Shows `pages` from page index `page` (kept within them).
    void showPages(std::vector<Page> pages, const QString& title, bool loaded, int page);
    void render();
    void updateCommands();
    void tell(const QString& text);
    void printerSetup();
    void print();
    void saveReport();
    void loadReport();

    PrinterSettings* m_settings;
    std::vector<Page> m_pages;
    QString m_title;
    int m_page = 0;
    bool m_loaded = false;
    Zoom m_zoom = Zoom::ToWidth;
    double m_scale = 1;
    QScrollArea* m_view;
    PageImage* m_image;
    QPointer<PrintJob> m_job;
};

} // namespace reporting
