#include "insertion/UnitConc.h"

#include "data/controls/ControlSupport.h"
#include "data/controls/DBGrid.h"
#include "data/controls/DBNavigator.h"
#include "data/controls/DBRichEdit.h"
#include "insertion/Insertion.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormConc* FormConc = nullptr;

TFormConc::TFormConc(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("FormConc");
    setWindowTitle(QString::fromUtf8("Conclusões Standard"));
    setFont(uiFont(11));
    resize(502, 312);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(103);

    DBGrid1 = new DBGrid(Panel1);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setGeometry(4, 4, 334, 96);
    DBGrid1->setIndicatorVisible(true);
    DBGrid1->setEditable(true);
    DBGrid1->setConfirmDelete(true);
    DBGrid1->addColumn("Nome", QString::fromUtf8("Tipo de Conclusão"), 300, Qt::AlignCenter);
    DBGrid1->setDataSourceName("DataModule1.DataSourceConc");

    Label1 = new QLabel(QString::fromUtf8("Crie conclusões standard de modo a que as possa utilizar nas conclusões "
                                          "de relatórios."),
                        Panel1);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(344, 4, 150, 40);

    BitBtn1 = new QPushButton(QIcon(":/assets/btn_use.png"), QString::fromUtf8("usar conclusão"), Panel1);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(344, 48, 150, 25);

    DBNavigator1 = new DBNavigator(Panel1);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setGeometry(344, 80, 150, 18);
    DBNavigator1->setFlat(true);
    DBNavigator1->setVisibleButtons({DBNavigator::Prior, DBNavigator::Next, DBNavigator::Insert, DBNavigator::Delete,
                                     DBNavigator::Post, DBNavigator::Cancel});
    DBNavigator1->setHints(insertion::navigatorHints());
    DBNavigator1->setDataSourceName("DataModule1.DataSourceConc");

    PreConclusao = new DBRichEdit(this);
    PreConclusao->setObjectName("PreConclusao");
    QFont arial = faceFont("Arial", 13);
    PreConclusao->setDefaultFormat(arial, Qt::black);
    PreConclusao->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PreConclusao->setDataSourceName("DataModule1.DataSourceConc");
    PreConclusao->setDataField("Descricao");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(PreConclusao, 1);
    QWidget::setTabOrder(DBGrid1, BitBtn1);
    QWidget::setTabOrder(BitBtn1, PreConclusao);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { controls::runReported([this] { BitBtn1Click(); }); });
}

TFormConc::~TFormConc()
{
    if (FormConc == this)
        FormConc = nullptr;
}

void TFormConc::showWindow() { openWithFocus(this, DBGrid1); }

void TFormConc::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    insertion::placeOverMainWindow(this, QSize(502, 312));
    DBGrid1->setFocus();
}

void TFormConc::BitBtn1Click() { insertion::pasteIntoReport(PreConclusao->toPlainText()); }
