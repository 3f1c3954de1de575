#include "common/MainWindow.h"

#include "app/Main.h"
#include "app/Startup.h"
#include "common/Dialogs.h"
#include "data/Clock.h"
#include "platform/engine/Values.h"
#include "platform/ui/Application.h"

#include <QTest>

bool showMainWindow()
{
    Startup startup(*Application::instance());
    answerBoxes([&] { startup.build(); });
    MainForm->show();
    return QTest::qWaitForWindowExposed(MainForm);
}

void setTickingClock(const QDate& day)
{
    static int ticks = 0;
    clock_::set([day] { return engine::values::wallClock(day, QTime(9, 15)).addMSecs(ticks++); });
}
