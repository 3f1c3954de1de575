#include "insertion/frase.h"

#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBGrid.h"
#include "data/controls/DBNavigator.h"
#include "insertion/Insertion.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"

#include <QKeyEvent>
#include <QVBoxLayout>

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8("Selecione a Frase a inserir nas Conclusões...   ESC p/ saír..."));
    setFont(uiFont(11));
    resize(415, 224);

    DBNavigator1 = new DBNavigator(this);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setFixedSize(100, 18);
    DBNavigator1->setFlat(true);
    DBNavigator1->setVisibleButtons({DBNavigator::Insert, DBNavigator::Edit, DBNavigator::Post, DBNavigator::Cancel});
    DBNavigator1->setHints(insertion::navigatorHints());
    DBNavigator1->setDataSourceName("DataModule1.DataSourceFr");

    DBGrid1 = new DBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setIndicatorVisible(true);
    DBGrid1->setRowSelect(true);
    // Enter and a double-click paste: the cells take typing only once the
    // navigator (or the Insert key) has started a change.
    DBGrid1->setEditOnRequest(true);
    DBGrid1->setEditable(true);
    // One slip of the fingers must not lose a phrase: Ctrl+Delete asks
    // first, as the navigators' Delete does.
    DBGrid1->setConfirmDelete(true);
    DBGrid1->addColumn("Frase", "Frase", 350, Qt::AlignCenter, true);
    DBGrid1->addColumn("Outros", QString::fromUtf8("Observações"), 370, Qt::AlignLeft | Qt::AlignVCenter, true);
    DBGrid1->setDataSourceName("DataModule1.DataSourceFr");
    DBGrid1->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(DBNavigator1);
    layout->addWidget(DBGrid1, 1);
    setFocusProxy(DBGrid1);

    connect(DBGrid1, &DBGrid::dblClick, this, [this] { controls::runReported([this] { DBGrid1DblClick(); }); });
    connect(DBGrid1, &DBGrid::keyPress, this,
            [this](QChar key) { controls::runReported([this, key] { DBGrid1KeyPress(key); }); });
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::showWindow() { openWithFocus(this, DBGrid1); }

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        insertion::placeOverMainWindow(this, QSize(415, 224));
    }
    DBGrid1->setFocus();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Esc hides the picker and nothing else: a phrase being added or
    // changed stays so, to be saved or given up with the navigator (the
    // list's own Esc would give it up unseen).
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        DBGrid1KeyPress(QChar(0x1b));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::DBGrid1DblClick()
{
    // Only the phrase goes in; its notes never do. An empty or closed phrase
    // table gives an empty text, which still clears the editor's selection.
    insertion::pasteIntoReport(DataModule1 ? DataModule1->TableFraseFrase->asString() : QString());
}

void TForm1::DBGrid1KeyPress(QChar key)
{
    if (key == QChar('\r'))
        DBGrid1DblClick();
    else if (key == QChar(0x1b))
        close();
}
