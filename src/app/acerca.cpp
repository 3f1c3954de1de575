#include "app/acerca.h"

#include "app/Main.h"
#include "platform/ui/Fonts.h"

#include <QAction>

TFormAcerca* FormAcerca = nullptr;

TFormAcerca::TFormAcerca(QWidget* parent) : QDialog(parent, Qt::WindowStaysOnTopHint)
{
    setObjectName("FormAcerca");
    setWindowTitle("Acerca de...");
    setFont(uiFont(11));
    setFixedSize(319, 247);
    setAttribute(Qt::WA_DeleteOnClose);
}

TFormAcerca::~TFormAcerca()
{
    // Closing the box makes the menu entry available again.
    if (MainForm)
        MainForm->Acercade1->setEnabled(true);
    if (FormAcerca == this)
        FormAcerca = nullptr;
}
