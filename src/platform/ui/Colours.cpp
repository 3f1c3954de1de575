#include "platform/ui/Colours.h"

#include <QWidget>

void fillBackground(QWidget* w, const QColor& background, const QColor& text)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    if (text.isValid())
        p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
}
