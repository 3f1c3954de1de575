#include "app/Inicio.h"

#include "platform/ui/Colours.h"
#include "platform/ui/Fonts.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font,
              const QColor& colour)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(font);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLabel* picture(QWidget* parent, const char* name, const QString& resource, const QRect& where)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(QPixmap(resource));
    l->setScaledContents(true);
    l->setGeometry(where);
    return l;
}

} // namespace

TFormInicio::TFormInicio(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("FormInicio");
    setFixedSize(357, 320);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setGeometry(rect());
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    fillBackground(panel, Qt::white, Qt::gray);
    panel->setFont(uiFont(11));

    picture(panel, "Image2", ":/assets/logo.png", QRect(8, 8, 120, 93));
    label(panel, "Label1", "www.lumetra.pt", 160, 34, faceFont("Arial", 16, true), Qt::black);
    auto* bevel = new QFrame(panel);
    bevel->setObjectName("Bevel1");
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel->setGeometry(8, 120, 225, 2);
    picture(panel, "Image1", ":/assets/heart.png", QRect(184, 80, 150, 222));
    // The product's name over a grey copy of itself, 3 pixels right and down.
    label(panel, "Label3", "Velunor", 35, 171, faceFont("Arial", 27), Qt::gray);
    label(panel, "Label2", "Velunor", 32, 168, faceFont("Arial", 27), Qt::black);
    QLabel* caption = label(panel, "Label4", QString::fromUtf8("Relatório Velunor / Fetal"), 21, 263, uiFont(11),
                            Qt::gray);
    caption->setWordWrap(true);
    caption->setFixedSize(161, 33);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(21, 290, 157, 13);
    ProgressBar1->setRange(0, 10);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
}

void TFormInicio::stepIt()
{
    ProgressBar1->setValue(qMin(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    ProgressBar1->repaint();
}
