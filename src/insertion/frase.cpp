#include "insertion/frase.h"

#include "platform/ui/Fonts.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName("Form1");
    setWindowTitle("Selecione a Frase a inserir nas Conclusões...   ESC p/ saír...");
    setFont(uiFont(11));
    resize(415, 224);
}

TForm1::~TForm1() { Form1 = nullptr; }
