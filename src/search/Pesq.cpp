#include "search/Pesq.h"

#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"

TFormPesqAV* FormPesqAV = nullptr;

TFormPesqAV::TFormPesqAV(QWidget* parent) : QDialog(parent, Qt::WindowStaysOnTopHint)
{
    setObjectName("FormPesqAV");
    setWindowTitle("Pesquisa Avançada");
    setFont(uiFont(11));
    setFixedSize(437, 326);
    setAttribute(Qt::WA_DeleteOnClose);
}

TFormPesqAV::~TFormPesqAV()
{
    if (FormPesqAV == this)
        FormPesqAV = nullptr;
}

void TFormPesqAV::showWindow()
{
    if (!FormPesqAV) {
        FormPesqAV = new TFormPesqAV;
        Application::instance()->registerComponent(FormPesqAV);
    }
    FormPesqAV->show();
    FormPesqAV->raise();
    FormPesqAV->activateWindow();
}
