#include "platform/ui/Placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void centreOn(QWidget* window, const QWidget* over)
{
    const QScreen* screen = over ? over->screen() : window->screen();
    const QSize outer = window->frameGeometry().size();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), outer);
    QRect place(QPoint(0, 0), outer);
    place.moveCenter(over && over->isVisible() ? over->frameGeometry().center() : available.center());
    // A window near an edge must not push this one off the screen.
    const QPoint last(std::max(available.left(), available.right() + 1 - outer.width()),
                      std::max(available.top(), available.bottom() + 1 - outer.height()));
    window->move(std::clamp(place.left(), available.left(), last.x()),
                 std::clamp(place.top(), available.top(), last.y()));
}

void openWithFocus(QWidget* window, QWidget* focus)
{
    window->show();
    window->raise();
    window->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
}
