// The page "Pacientes" of the main window: the patient pane "Informação
// Pessoal", the exam pane "Informação Clínica" with the exam navigator, and
// the lower page control that holds the report editor.

#include "app/Main.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBLookupComboBox.h"
#include "data/controls/DBRichEdit.h"
#include "editing/FormRecebidos.h"
#include "editing/MeasurementsPage.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Tag.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QColor kSilver(192, 192, 192);
const QColor kPaleYellow(255, 255, 189);
const QColor kTypeYellow(255, 255, 121);
const QColor kNavy(0, 0, 128);

void setColours(QWidget* w, const QColor& base, const QColor& text)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Window, base);
    p.setColor(QPalette::Button, base);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
}

QLabel* caption(QWidget* parent, const QString& text, int x, int y, const QFont& font = uiFont(11))
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->move(x, y);
    l->adjustSize();
    return l;
}

DBEdit* edit(QWidget* parent, const char* name, const char* source, const char* field, const QRect& where)
{
    auto* e = new DBEdit(parent);
    e->setObjectName(name);
    e->setGeometry(where);
    e->setDataSourceName(QString("DataModule1.") + source);
    e->setDataField(field);
    setColours(e, Qt::white, Qt::black);
    return e;
}

} // namespace

void TMainForm::buildPatientPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // --- Informação Pessoal ---
    GroupBox1 = new QGroupBox(QString::fromUtf8("Informação Pessoal"), page);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedHeight(61);
    GroupBox1->setAutoFillBackground(true);
    setColours(GroupBox1, kSilver, Qt::black);
    layout->addWidget(GroupBox1);

    caption(GroupBox1, "Nome", 13, 14);
    DBEdit1 = edit(GroupBox1, "DBEdit1", "DataSourcePac", "NOME", QRect(13, 30, 348, 21));
    DBEdit1->setCharCaseUpper(true);
    caption(GroupBox1, "Data Nasc.", 369, 14);
    DBEdit3 = edit(GroupBox1, "DBEdit3", "DataSourcePac", "DNASC", QRect(369, 30, 62, 21));
    auto* divider = new QFrame(GroupBox1);
    divider->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    divider->setGeometry(439, 10, 2, 46);
    QLabel* examData = caption(GroupBox1, "Dados do Exame", 443, 14);
    examData->setWordWrap(true);
    examData->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    examData->setFixedSize(45, 40);
    QPalette grey = examData->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    examData->setPalette(grey);

    caption(GroupBox1, "Idade", 489, 14);
    DBEdit4 = edit(GroupBox1, "DBEdit4", "DataSourceEco", "Idade", QRect(489, 30, 32, 21));
    DBEdit4->setFocusPolicy(Qt::ClickFocus); // not a Tab-key stop
    caption(GroupBox1, "meses", 523, 38, faceFont("Small Fonts", 9));
    caption(GroupBox1, "Peso", 557, 14);
    DBEdit5 = edit(GroupBox1, "DBEdit5", "DataSourceEco", "Peso", QRect(557, 30, 47, 21));
    caption(GroupBox1, "G.", 606, 38, faceFont("Small Fonts", 8));
    caption(GroupBox1, "Altura", 622, 14);
    DBEdit6 = edit(GroupBox1, "DBEdit6", "DataSourceEco", "Altura", QRect(622, 30, 25, 21));
    caption(GroupBox1, "Cm.", 649, 38, faceFont("Small Fonts", 8));

    // --- Informação Clínica ---
    GroupBox2 = new QGroupBox(QString::fromUtf8("Informação Clínica"), page);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setFixedHeight(68);
    layout->addWidget(GroupBox2);

    caption(GroupBox2, "Dt. Exame:", 14, 20);
    DBEdit8 = edit(GroupBox2, "DBEdit8", "DataSourceEco", "DataExame", QRect(72, 18, 65, 21));
    setColours(DBEdit8, kPaleYellow, Qt::black);

    DBLookupComboBox1 = new DBLookupComboBox(GroupBox2);
    DBLookupComboBox1->setObjectName("DBLookupComboBox1");
    DBLookupComboBox1->setGeometry(144, 18, 193, 21);
    DBLookupComboBox1->setDataSourceName("DataModule1.DataSourceEco");
    DBLookupComboBox1->setDataField("Executor");
    DBLookupComboBox1->setListSourceName("DataModule1.DataSourceMed");
    DBLookupComboBox1->setKeyField("CODIGO");
    DBLookupComboBox1->setListField("NOME");
    setColours(DBLookupComboBox1, kPaleYellow, Qt::black);

    Label71 = caption(GroupBox2, "x", 340, 22);
    Label71->setObjectName("Label71");
    Label71->setFixedSize(10, 13);
    Label71->setToolTip(QString::fromUtf8("apagar médico"));
    setTag(Label71, 10071);
    QPalette red = Label71->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label71->setPalette(red);
    Label71->installEventFilter(this);

    auto* frame = new QFrame(GroupBox2);
    frame->setObjectName("Bevel2");
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(354, 14, 310, 45);
    auto* label63 = new QLabel("exames do paciente seleccionado", GroupBox2);
    label63->setObjectName("Label63");
    label63->setGeometry(356, 16, 305, 14);
    label63->setFont(uiFont(11, true));
    label63->setAlignment(Qt::AlignCenter);
    label63->setAutoFillBackground(true);
    setColours(label63, kSilver, Qt::black);

    DBNavigator2 = new DBNavigator(GroupBox2);
    DBNavigator2->setObjectName("DBNavigator2");
    DBNavigator2->setGeometry(355, 32, 308, 26);
    DBNavigator2->setFlat(true);
    DBNavigator2->setVisibleButtons({DBNavigator::Prior, DBNavigator::Next, DBNavigator::Insert, DBNavigator::Delete,
                                     DBNavigator::Edit, DBNavigator::Post, DBNavigator::Cancel});
    DBNavigator2->setHints({"Primeiro Exame", "Exame Anterior", QString::fromUtf8("Próximo Exame"),
                            QString::fromUtf8("Último Exame"), "Novo Exame", "Apagar Exame", "Editar Exame",
                            "Gravar Exame", "Cancelar Exame", "Actualizar Exame"});
    DBNavigator2->setDataSourceName("DataModule1.DataSourceEco");

    caption(GroupBox2, "Tipo:", 38, 44);
    DBLookupComboBox2 = new DBLookupComboBox(GroupBox2);
    DBLookupComboBox2->setObjectName("DBLookupComboBox2");
    DBLookupComboBox2->setGeometry(72, 41, 265, 21);
    DBLookupComboBox2->setDataSourceName("DataModule1.DataSourceEco");
    DBLookupComboBox2->setDataField("ModoD");
    DBLookupComboBox2->setListSourceName("DataModule1.DataSourceTipoEx");
    DBLookupComboBox2->setKeyField("Id");
    DBLookupComboBox2->setListField("Tipo");
    setColours(DBLookupComboBox2, kTypeYellow, Qt::black);

    // Focus colouring: the exam date and the exam type send it.
    DBEdit8->installEventFilter(this);
    DBLookupComboBox2->installEventFilter(this);

    // --- the lower area ---
    PageControl2 = new QTabWidget(page);
    PageControl2->setObjectName("PageControl2");
    PageControl2->setTabPosition(QTabWidget::West);
    PageControl2->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl2->tabBar()->setAttribute(Qt::WA_Hover);
    TabSheet7 = new QWidget;
    TabSheet7->setObjectName("TabSheet7");
    PageControl2->addTab(TabSheet7, QString::fromUtf8("Relatório"));
    TabSheetMedicoes = new MeasurementsPage;
    PageControl2->addTab(TabSheetMedicoes, QString::fromUtf8("Medições"));
    connect(TabSheetMedicoes, &MeasurementsPage::evolucaoRequested, this, [this](const QString& site) {
        controls::runReported([&] { Evolucao1Click(site); });
    });
    layout->addWidget(PageControl2, 1);
    buildReportPage(TabSheet7);
    connect(PageControl2, &QTabWidget::currentChanged, this, &TMainForm::PageControl2Change);

    // The Tab key: name, birth date, weight, height, exam date, doctor, type.
    QWidget::setTabOrder(DBEdit1, DBEdit3);
    QWidget::setTabOrder(DBEdit3, DBEdit5);
    QWidget::setTabOrder(DBEdit5, DBEdit6);
    QWidget::setTabOrder(DBEdit6, DBEdit8);
    QWidget::setTabOrder(DBEdit8, DBLookupComboBox1);
    QWidget::setTabOrder(DBLookupComboBox1, DBLookupComboBox2);
    QWidget::setTabOrder(DBLookupComboBox2, Editor);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label71 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        try {
            Label71Click(Label71);
        } catch (...) {
            Application::report(std::current_exception());
        }
        return true;
    }
    if (watched == DBEdit8 || watched == DBLookupComboBox2) {
        if (event->type() == QEvent::FocusIn)
            DBEdit1Enter(static_cast<QWidget*>(watched));
        else if (event->type() == QEvent::FocusOut)
            DBEdit1Exit(static_cast<QWidget*>(watched));
    }
    return QMainWindow::eventFilter(watched, event);
}

// Focus colouring by the kind of control: a data-bound edit, memo or combo box
// turns white with navy text while focused; a lookup list keeps its colours.
void TMainForm::DBEdit1Enter(QWidget* sender)
{
    if (qobject_cast<DBEdit*>(sender))
        setColours(sender, Qt::white, kNavy);
}

void TMainForm::DBEdit1Exit(QWidget* sender)
{
    if (qobject_cast<DBEdit*>(sender))
        setColours(sender, kPaleYellow, Qt::black);
}

void TMainForm::Label71Click(QObject* sender)
{
    if (!DataModule1->TableEco->editing()) {
        Application::showMessage(QString::fromUtf8("Operação permitida só em modo de Edição/Inserção"));
        return;
    }
    if (tagOf(sender) == 10071)
        DataModule1->TableEcoExecutor->clear();
}

void TMainForm::PageControl2Change()
{
    if (PageControl2->currentWidget() == TabSheet7)
        Editor->setFocus();
    else if (PageControl2->currentWidget() == TabSheetMedicoes)
        TabSheetMedicoes->setFocus();
}

void TMainForm::Recebidos1Click() { TFormRecebidos::showWindow(*DataModule1); }
