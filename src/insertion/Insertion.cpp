#include "insertion/Insertion.h"

#include "app/Main.h"
#include "data/controls/DBRichEdit.h"
#include "platform/ui/Placement.h"

#include <QApplication>
#include <QClipboard>

namespace insertion {

void pasteIntoReport(const QString& text)
{
    QApplication::clipboard()->setText(text);
    if (MainForm)
        MainForm->Editor->pasteFromClipboard();
}

void placeOverMainWindow(QWidget* window, const QSize& outer)
{
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(outer - frame);
    centreOn(window, MainForm);
}

} // namespace insertion
