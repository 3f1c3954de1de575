#include "platform/ui/ToolBarGap.h"

#include <QFrame>
#include <QToolBar>

void addToolBarGap(QToolBar* bar, const char* name, int width, bool divider)
{
    auto* space = new QFrame(bar);
    space->setObjectName(name);
    space->setFixedWidth(width);
    if (divider) {
        auto* line = new QFrame(space);
        line->setFrameStyle(QFrame::VLine | QFrame::Sunken);
        line->setGeometry(width / 2 - 1, 2, 2, 32);
    }
    bar->addWidget(space);
}
