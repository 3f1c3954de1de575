// The page "Relatório": the report editor over the exam's Eco1, its format
// bar with the bold, underline and italic toggles and the held format, the
// seeding of the report from the exam type's template, and the commands that
// open the phrase picker and the standard conclusions.

#include "app/Main.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBLookupComboBox.h"
#include "data/controls/DBRichEdit.h"
#include "editing/MeasurementsBlock.h"
#include "editing/MeasurementsPage.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/engine/EngineError.h"
#include "platform/richtext/Pictures.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Tag.h"
#include "platform/ui/ToolBarGap.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTextBlock>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* toggle(QToolBar* bar, const char* name, int tag, const QString& hint, const char* picture)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setIcon(QIcon(picture));
    b->setFocusPolicy(Qt::NoFocus);
    setTag(b, tag);
    bar->addWidget(b);
    return b;
}


QToolButton* command(QToolBar* bar, const char* name, int tag, const QString& hint, const char* picture)
{
    QToolButton* b = toggle(bar, name, tag, hint, picture);
    b->setCheckable(false);
    return b;
}

// A step of indentation: 12.7 mm, a tab stop of the rich-edit control.
constexpr double kIndentStep = 48;
// The body of the printed report is 169.60 mm wide: in pixels at 96 dpi.
constexpr double kBodyWidthPx = 169.60 / 25.4 * 96;

// The toolkit's confirmation box: "Confirm", "&Yes" and "&No".
bool confirm(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Question, "Confirm", question, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
    box.addButton("&No", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

void TMainForm::buildReportPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar2 = new QToolBar(page);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setFixedHeight(26);
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBarGap(ToolBar2, "ToolButton15", 8);
    ToolButton10 = toggle(ToolBar2, "ToolButton10", 1, "negrito", ":/assets/fmt_bold.png");
    addToolBarGap(ToolBar2, "ToolButton11", 8);
    ToolButton12 = toggle(ToolBar2, "ToolButton12", 2, "sublinhado", ":/assets/fmt_underline.png");
    addToolBarGap(ToolBar2, "ToolButton13", 8);
    ToolButton14 = toggle(ToolBar2, "ToolButton14", 3, QString::fromUtf8("itálico"), ":/assets/fmt_italic.png");
    // The measurements: units squared and formulas, indented lists, pictures.
    addToolBarGap(ToolBar2, "ToolButton16", 8);
    ToolButton17 = command(ToolBar2, "ToolButton17", 1, "expoente", ":/assets/fmt_superscript.png");
    ToolButton18 = command(ToolBar2, "ToolButton18", 2, QString::fromUtf8("índice"), ":/assets/fmt_subscript.png");
    addToolBarGap(ToolBar2, "ToolButton19", 8);
    ToolButton20 = command(ToolBar2, "ToolButton20", -1, QString::fromUtf8("diminuir avanço"), ":/assets/fmt_outdent.png");
    ToolButton21 = command(ToolBar2, "ToolButton21", 1, QString::fromUtf8("aumentar avanço"), ":/assets/fmt_indent.png");
    addToolBarGap(ToolBar2, "ToolButton22", 8);
    ToolButton23 = command(ToolBar2, "ToolButton23", 0, "inserir imagem", ":/assets/fmt_picture.png");
    layout->addWidget(ToolBar2);

    // Arial at 13 pixels is 10 points on a 96-dots-per-inch screen. The face
    // keeps its name (the stored report says Arial) even where the system
    // shows it in a metric-compatible face.
    QFont arial("Arial");
    arial.setPixelSize(13);
    FormatFont.setFont(arial);
    FormatFont.setForeground(QColor(Qt::black));

    Editor = new DBRichEdit(page);
    Editor->setObjectName("Editor");
    Editor->setDefaultFormat(arial, Qt::black);
    QPalette p = Editor->palette();
    p.setColor(QPalette::Base, QColor(255, 255, 189));
    Editor->setPalette(p);
    Editor->setToolTip(QString::fromUtf8("Botão da Direita para frases/conclusões"));
    Editor->setContextMenuPolicy(Qt::CustomContextMenu);
    Editor->setDataSourceName("DataModule1.DataSourceEco");
    Editor->setDataField("Eco1");
    layout->addWidget(Editor, 1);
    TabSheet7->setFocusProxy(Editor);

    connect(Editor, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Editor->mapToGlobal(at)); });
    for (QToolButton* b : {ToolButton10, ToolButton12, ToolButton14})
        connect(b, &QToolButton::clicked, this, [this, b] { ToolButton10Click(b); });
    for (QToolButton* b : {ToolButton17, ToolButton18})
        connect(b, &QToolButton::clicked, this, [this, b] { ToolButton17Click(b); });
    for (QToolButton* b : {ToolButton20, ToolButton21})
        connect(b, &QToolButton::clicked, this, [this, b] { ToolButton20Click(b); });
    connect(ToolButton23, &QToolButton::clicked, this, [this] { ToolButton23Click(); });
    connect(DBLookupComboBox2, &DBLookupComboBox::closeUp, this,
            [this] { controls::runReported([this] { DBLookupComboBox2CloseUp(); }); });
    for (QAction* a : {Frases1, Concluses1, inserirFrases1, InserirConcluses1})
        connect(a, &QAction::triggered, this, [this, a] { controls::runReported([this, a] { inserirFrases1Click(a); }); });
    connect(InserirMedicoes1, &QAction::triggered, this,
            [this] { controls::runReported([this] { InserirMedicoes1Click(InserirMedicoes1); }); });
    connect(TabSheetMedicoes, &MeasurementsPage::insertIntoReport, this,
            [this] { controls::runReported([this] { InserirMedicoes1Click(TabSheetMedicoes); }); });
    // The data module comes later at start-up: saving an exam releases the buttons.
    Application::instance()->bindByName(this, "DataModule1", [this](QObject* dm) {
        connect(static_cast<TDataModule1*>(dm), &TDataModule1::examPosted, this, &TMainForm::ResetFormatButtons);
    });
}

// Adds or removes the button's style in the held format, leaving the other
// two as they are held whatever their buttons show, and applies the whole
// held format (face, size, colour, style) to the selection or the caret.
void TMainForm::ToolButton10Click(QObject* sender)
{
    const bool on = static_cast<QToolButton*>(sender)->isChecked();
    switch (tagOf(sender)) {
    case 1: FormatFont.setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case 2: FormatFont.setFontUnderline(on); break;
    case 3: FormatFont.setFontItalic(on); break;
    default: return;
    }
    FormatFont.setFontStrikeOut(false);
    Editor->applyCharFormat(FormatFont);
}

void TMainForm::ResetFormatButtons()
{
    for (QToolButton* b : {ToolButton10, ToolButton12, ToolButton14})
        b->setChecked(false);
}

// Superscript (tag 1) or subscript (tag 2) for the selection, or for what
// is typed next; a second click on text already so sets it back on the line.
void TMainForm::ToolButton17Click(QObject* sender)
{
    const auto wanted = tagOf(sender) == 1 ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignSubScript;
    QTextCharFormat format;
    format.setVerticalAlignment(Editor->currentCharFormat().verticalAlignment() == wanted
                                    ? QTextCharFormat::AlignNormal
                                    : wanted);
    if (!Editor->textCursor().hasSelection()) {
        Editor->mergeCurrentCharFormat(format);
        return;
    }
    Editor->edit([&](QTextCursor& cursor) { cursor.mergeCharFormat(format); });
}

// Moves the paragraphs of the selection in (tag 1) or out (tag -1) by a
// step, never out past the margin.
void TMainForm::ToolButton20Click(QObject* sender)
{
    const int steps = tagOf(sender);
    Editor->edit([&](QTextCursor& cursor) {
        const int end = cursor.selectionEnd();
        QTextCursor each(cursor.document());
        for (QTextBlock block = cursor.document()->findBlock(cursor.selectionStart());
             block.isValid() && block.position() <= end; block = block.next()) {
            QTextBlockFormat format = block.blockFormat();
            format.setLeftMargin(std::max(0.0, format.leftMargin() + steps * kIndentStep));
            each.setPosition(block.position());
            each.setBlockFormat(format);
        }
    });
}

// Inserts a PNG or JPEG picture from a file at the caret, scaled down to
// fit the width of the printed report's body.
void TMainForm::ToolButton23Click()
{
    const QString file = QFileDialog::getOpenFileName(
        this, "Inserir imagem", QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        "Imagens (*.png *.jpg *.jpeg)");
    if (file.isEmpty())
        return;
    QString error;
    Editor->edit([&](QTextCursor& cursor) { richtext::insertPictureFile(cursor, file, kBodyWidthPx, &error); });
    if (!error.isEmpty())
        Application::showMessage(error);
}

// When the exam-type list closes, the report takes the template of the type
// the list stands on: at once when the report is empty, after a question
// otherwise. The template goes into the exam's field; the editor shows it.
void TMainForm::DBLookupComboBox2CloseUp()
{
    Dataset* exams = DataModule1->TableEco;
    const QString templ = DataModule1->TableTipoExRelatorio->asString();
    if (!exams->editing() && exams->isEmpty()) {
        // There is no exam to write into.
        if (!templ.isEmpty())
            throw engine::EngineError("Stream write error");
        return;
    }
    if (!DataModule1->TableEcoEco1->asString().isEmpty()
        && !confirm(this, QString::fromUtf8("Deseja sobrepôr o modelo seleccionado ?")))
        return;
    DataModule1->TableEcoEco1->setValue(templ);
}

// "Inserir Frase" / "Inserir Conclusão": from the main window the exam is
// first put into editing, as the exam navigator's Edit does (a locked exam
// ends the command there); then the picker of the sender's tag shows.
void TMainForm::inserirFrases1Click(QObject* sender)
{
    if (QApplication::activeWindow() == this)
        DBNavigator2->click(DBNavigator::Edit);
    if (tagOf(sender) == 1)
        Form1->showWindow();
    else if (tagOf(sender) == 2)
        FormConc->showWindow();
}

// "Inserir medições no relatório", from the editor's menu or the page
// "Medições": the exam's measurements as a block at the report's caret. As
// for the phrases, the exam is first put into editing, and a locked exam ends
// the command there. From the page the report's selection is out of sight:
// the block goes after it instead of over it, and the report is shown.
void TMainForm::InserirMedicoes1Click(QObject* sender)
{
    ExamMeasurements& measurements = *DataModule1->Measurements;
    const clinical::ReportBlock block =
        clinical::reportBlock(measurements.values(), measurements.body(), measurements.practice());
    if (block.lines.empty()) {
        Application::showMessage(QString::fromUtf8("Não há medições para inserir no relatório."));
        return;
    }
    DBNavigator2->click(DBNavigator::Edit);
    if (sender == TabSheetMedicoes) {
        QTextCursor caret = Editor->textCursor();
        caret.setPosition(caret.selectionEnd());
        Editor->setTextCursor(caret);
        PageControl2->setCurrentWidget(TabSheet7);
    }
    Editor->insertFragment(measurementsFragment(block));
}
