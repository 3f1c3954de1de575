#include "insertion/Insertion.h"

#include "app/Main.h"
#include "data/controls/DBRichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QScreen>
#include <algorithm>

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
    const QScreen* screen = MainForm ? MainForm->screen() : window->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), outer);
    const QPoint centre = MainForm && MainForm->isVisible() ? MainForm->frameGeometry().center() : available.center();
    QRect place(QPoint(0, 0), outer);
    place.moveCenter(centre);
    // A main window near an edge must not push the window off the screen.
    const QPoint last(std::max(available.left(), available.right() + 1 - outer.width()),
                      std::max(available.top(), available.bottom() + 1 - outer.height()));
    window->move(std::clamp(place.left(), available.left(), last.x()),
                 std::clamp(place.top(), available.top(), last.y()));
}

} // namespace insertion
