// The page "Modelos de Relatório" of the main window: the exam types and the
// template of each, a form over the exam-type table with its own navigator.
// The exam pane's type list shares the data source, so the type shown here
// follows that list and the other way round.

#include "app/Main.h"
#include "data/controls/DBEdit.h"
#include "data/controls/DBMemo.h"
#include "platform/ui/Colours.h"
#include "platform/ui/Fonts.h"

#include <QFrame>
#include <QLabel>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& where,
              const QFont& font = uiFont(11))
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(font);
    l->setGeometry(where);
    return l;
}

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

} // namespace

void TMainForm::buildTemplatePage(QWidget* page)
{
    QLabel* intro = label(page, "Label1",
                          QString::fromUtf8("Modelos de relatório padrão. Pode criar, alterar, remover os tipos de "
                                            "relatório padrão. "),
                          QRect(240, 4, 400, 13));
    intro->adjustSize(); // a face wider than the design's must not cut the text
    setTextColour(intro, Qt::gray);

    label(page, "Label3", "Modelo para Tipo de Exame:", QRect(32, 32, 324, 13));
    DBEdit9 = new DBEdit(page);
    DBEdit9->setObjectName("DBEdit9");
    DBEdit9->setGeometry(32, 48, 324, 21);
    DBEdit9->setDataSourceName("DataModule1.DataSourceTipoEx");
    DBEdit9->setDataField("Tipo");

    label(page, "Label4", QString::fromUtf8("Relatório"), QRect(32, 80, 100, 13));
    // Plain text only: the template seeds a report as plain text. The Tab
    // key types a tab, as in the report editor.
    DBMemo1 = new DBMemo(page);
    DBMemo1->setObjectName("DBMemo1");
    DBMemo1->setGeometry(32, 96, 617, 329);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setDataSourceName("DataModule1.DataSourceTipoEx");
    DBMemo1->setDataField("Relatorio");

    auto* frame = new QFrame(page);
    frame->setObjectName("Bevel1");
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(396, 22, 242, 58);
    QLabel* title = label(page, "Label2", QString::fromUtf8("modelos de relatório"), QRect(398, 24, 238, 14),
                          uiFont(11, true));
    title->setAlignment(Qt::AlignCenter);
    fillBackground(title, QColor(192, 192, 192), Qt::black);

    // The buttons act on exam types but carry the exam navigator's hints.
    DBNavigator3 = new DBNavigator(page);
    DBNavigator3->setObjectName("DBNavigator3");
    DBNavigator3->setGeometry(397, 40, 240, 39);
    DBNavigator3->setFlat(true);
    DBNavigator3->setVisibleButtons({DBNavigator::Prior, DBNavigator::Next, DBNavigator::Insert, DBNavigator::Delete,
                                     DBNavigator::Post, DBNavigator::Cancel});
    DBNavigator3->setHints(DBNavigator2->hints());
    DBNavigator3->setDataSourceName("DataModule1.DataSourceTipoEx");

    QWidget::setTabOrder(DBEdit9, DBMemo1);
}
