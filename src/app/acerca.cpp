#include "app/acerca.h"

#include "app/Main.h"
#include "platform/ui/Colours.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Placement.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

TFormAcerca* FormAcerca = nullptr;

namespace {

// The maker's lines: the one the status bar and the splash show.
const char* const kMakerName = "Lumetra";
const char* const kMakerInitials = "L";
const char* const kMakerWeb = "www.lumetra.pt";
const char* const kMakerMail = "geral@lumetra.pt";

// A fixed-pitch face at 9 points, so that the initials drawn over the name
// cover its first letters exactly.
QFont fixedFont()
{
    QFont font(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (const char* family : {"Fixedsys", "Liberation Mono", "DejaVu Sans Mono"})
        if (QFontDatabase::hasFamily(family)) {
            font.setFamily(family);
            break;
        }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(pointsToPixels(9));
    return font;
}

// A transparent text element at its place, sized to its text.
QLabel* text(QWidget* parent, const char* name, const QString& content, int x, int y, const QFont& font,
             const QColor& colour = Qt::black)
{
    auto* l = new QLabel(content, parent);
    l->setObjectName(name);
    l->setFont(font);
    l->setAttribute(Qt::WA_TranslucentBackground);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

TFormAcerca::TFormAcerca(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("FormAcerca");
    setWindowTitle("Acerca de...");
    setFont(uiFont(11));
    setFixedSize(319, 247);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    fillBackground(this, QColor(192, 192, 192));

    // The picture is a little larger than the window and is cut at its edges.
    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setPixmap(QPixmap(":/assets/about_background.bmp"));
    Image2->setGeometry(0, 0, 320, 249);

    const QFont fixed = fixedFont();
    text(this, "Label1", kMakerName, 4, 16, fixed);
    text(this, "Label2", kMakerInitials, 4, 16, fixed, Qt::red);
    text(this, "Label15", kMakerWeb, 216, 14, uiFont(11));
    text(this, "Label6", kMakerMail, 209, 28, uiFont(11));
    text(this, "Label7", QString(55, QChar('_')), 2, 50, uiFont(11));
    text(this, "Label8", "Nome do Produto : Velunor", 75, 78, uiFont(11, true));
    text(this, "Label9", QString::fromUtf8("Versão 1.0.0.0 (SA)"), 114, 96, uiFont(11));

    BitBtn1 = new QPushButton(QIcon(":/assets/btn_no.png"), "&Sair", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(125, 194, 68, 26);
    BitBtn1->setAutoDefault(true);
    BitBtn1->setFocus();
    connect(BitBtn1, &QPushButton::clicked, this, &TFormAcerca::BitBtn1Click);
}

TFormAcerca::~TFormAcerca()
{
    if (FormAcerca == this)
        FormAcerca = nullptr;
}

void TFormAcerca::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, frame included, whatever window is active.
    centreOn(this, nullptr);
}

void TFormAcerca::BitBtn1Click() { close(); }

// Esc, the box's cancel key, closes it as "&Sair" does.
void TFormAcerca::reject() { close(); }

void TFormAcerca::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TFormAcerca::FormClose()
{
    if (MainForm)
        MainForm->Acercade1->setEnabled(true);
}
