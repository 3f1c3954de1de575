#include "search/Pesqt2.h"

#include "platform/ui/Fonts.h"

#include <QTabWidget>

TFormT2Pesq* FormT2Pesq = nullptr;

TFormT2Pesq::TFormT2Pesq(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormT2Pesq");
    setWindowTitle("Pesquisa...");
    setFont(uiFont(11));
    setFixedSize(425, 319);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(5, 5, 415, 277);
    auto* patients = new QWidget;
    patients->setObjectName("TabSheet1");
    auto* exams = new QWidget;
    exams->setObjectName("TabSheet2");
    PageControl1->addTab(patients, "pacientes");
    PageControl1->addTab(exams, "exames");
}

TFormT2Pesq::~TFormT2Pesq() { FormT2Pesq = nullptr; }
