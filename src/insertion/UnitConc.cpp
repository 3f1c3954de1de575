#include "insertion/UnitConc.h"

#include "platform/ui/Fonts.h"

TFormConc* FormConc = nullptr;

TFormConc::TFormConc(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("FormConc");
    setWindowTitle("Conclusões Standard");
    setFont(uiFont(11));
    resize(502, 312);
}

TFormConc::~TFormConc() { FormConc = nullptr; }
