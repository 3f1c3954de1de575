#include "app/Main.h"

#include "app/acerca.h"
#include "data/DM.h"
#include "data/controls/ControlSupport.h"
#include "data/controls/DBEdit.h"
#include "editing/EvolucaoLink.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Tag.h"
#include "platform/ui/ToolBarGap.h"
#include "report/Rel.h"
#include "search/Pesq.h"
#include "search/Pesqt2.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

TMainForm* MainForm = nullptr;

namespace {

QAction* entry(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {},
               const QString& hint = {})
{
    auto* action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Menu shortcuts act while any window of the program has the focus.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    action->setStatusTip(hint);
    return action;
}

void separator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(name); }


} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainForm");
    setWindowTitle(QString::fromUtf8("Relatório Velunor / Fetal - ver. 1.1.0.0 (stand alone)"));
    setFont(uiFont(11));
    resize(707, 555);
    createMenus();
    createToolBar();
    createStatusBar();
    createPages();
    // FormCreate: the status bar shows the application's hint.
    connect(Application::instance(), &Application::hintChanged, this, &TMainForm::ShowHint);
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::createMenus()
{
    FileMenu = menuBar()->addMenu(QString::fromUtf8("&Acções"));
    FileMenu->setObjectName("FileMenu");
    FileNewItem = entry(FileMenu, "FileNewItem", "&Pesquisar Pacientes", Qt::CTRL | Qt::Key_F, "Pesquisar Paciente");
    PesquisarExamespordia1 = entry(FileMenu, "PesquisarExamespordia1", "Pesquisar Exames por &Dia", Qt::CTRL | Qt::Key_D);
    separator(FileMenu, "N1");
    NovoPaciente1 = entry(FileMenu, "NovoPaciente1", "&Novo Paciente", Qt::CTRL | Qt::Key_N);
    NovoPaciente1->setEnabled(false);
    NovoExame1 = entry(FileMenu, "NovoExame1", "Novo &Exame", Qt::CTRL | Qt::Key_E);
    separator(FileMenu, "FileOpenItem");
    FilePrintItem = entry(FileMenu, "FilePrintItem", "&Imprimir", Qt::CTRL | Qt::Key_P, QString::fromUtf8("Imprimir Relatório"));
    VerAntes1 = entry(FileMenu, "VerAntes1", "Ver Antes");
    ExportarPDF1 = entry(FileMenu, "ExportarPDF1", "Exportar PDF...", {}, QString::fromUtf8("Exportar o relatório para PDF"));
    FilePrintSetupItem = entry(FileMenu, "FilePrintSetupItem", "C&onfig. Impressora", {}, "Configurar a Impressora");
    separator(FileMenu, "N4");
    FileExitItem = entry(FileMenu, "FileExitItem", QString::fromUtf8("&Saír"), {}, "Exit this application");

    Ver1 = menuBar()->addMenu("&Ver");
    Ver1->setObjectName("Ver1");
    Pacientes1 = entry(Ver1, "Pacientes1", "&Pacientes");
    Recebidos1 = entry(Ver1, "Recebidos1", QString::fromUtf8("Documentos do &ecógrafo..."), {},
                       QString::fromUtf8("Documentos recebidos do ecógrafo por atribuir a um paciente ou exame"));
    separator(Ver1, "N8");
    Frases1 = entry(Ver1, "Frases1", "&Frases", Qt::Key_F5);
    setTag(Frases1, 1);
    Concluses1 = entry(Ver1, "Concluses1", QString::fromUtf8("&Conclusões"), Qt::Key_F8);
    setTag(Concluses1, 2);
    separator(Ver1, "N5");
    Evolucao1 = entry(Ver1, "Evolucao1", QString::fromUtf8("E&volução"), {},
                      QString::fromUtf8("Evolução de uma medição nos exames do paciente"));

    Ajuda1 = menuBar()->addMenu("Aju&da");
    Ajuda1->setObjectName("Ajuda1");
    Acercade1 = entry(Ajuda1, "Acercade1", "A&cerca de...");
    separator(Ajuda1, "N3");
    Ajuda2 = entry(Ajuda1, "Ajuda2", "&Ajuda");
    Ajuda2->setEnabled(false);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    inserirFrases1 = entry(PopupMenu1, "inserirFrases1", "Inserir Frase");
    setTag(inserirFrases1, 1);
    separator(PopupMenu1, "N2");
    InserirConcluses1 = entry(PopupMenu1, "InserirConcluses1", QString::fromUtf8("Inserir Conclusão"));
    setTag(InserirConcluses1, 2);
    separator(PopupMenu1, "N6");
    InserirMedicoes1 = entry(PopupMenu1, "InserirMedicoes1", QString::fromUtf8("Inserir medições no relatório"));

    for (QMenu* menu : {FileMenu, Ver1, Ajuda1, PopupMenu1})
        Application::instance()->watchMenu(menu);

    // A command's error ends it and shows in the error box.
    auto command = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { controls::runReported([&] { (this->*handler)(); }); });
    };
    command(FileNewItem, &TMainForm::FileNewItemClick);
    command(PesquisarExamespordia1, &TMainForm::PesquisarExamespordia1Click);
    command(NovoExame1, &TMainForm::NovoExame1Click);
    command(Recebidos1, &TMainForm::Recebidos1Click);
    command(FilePrintItem, &TMainForm::FilePrintItemClick);
    command(VerAntes1, &TMainForm::VerAntes1Click);
    command(ExportarPDF1, &TMainForm::ExportarPDF1Click);
    command(FilePrintSetupItem, &TMainForm::FilePrintSetupItemClick);
    command(FileExitItem, &TMainForm::FileExitItemClick);
    command(Acercade1, &TMainForm::Acercade1Click);
    connect(Evolucao1, &QAction::triggered, this, [this] { controls::runReported([this] { Evolucao1Click(); }); });
    command(Ajuda2, &TMainForm::Ajuda2Click);
}

void TMainForm::createToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(39); // after the icon size, which resets the height
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setStyleSheet("QToolBar { spacing: 0px; padding: 0px; }");
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const char* name, const QString& caption, const QString& hint, int tag,
                         const char* picture) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(QIcon(picture));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(68, 36);
        b->setFocusPolicy(Qt::NoFocus); // the Tab key never stops on the tool bar
        setTag(b, tag);
        ToolBar1->addWidget(b);
        return b;
    };
    addToolBarGap(ToolBar1, "ToolButton4", 25);
    BotaoPsq = button("BotaoPsq", "pacientes", "pesquisa de paciente", 10, ":/assets/tb_patient_search.png");
    addToolBarGap(ToolBar1, "ToolButton9", 8);
    ToolButton5 = button("ToolButton5", "exames", "pesquisa por exames", 11, ":/assets/tb_exam_search.png");
    addToolBarGap(ToolBar1, "ToolButton1", 8);
    ToolButton8 = button("ToolButton8", QString::fromUtf8("avançada"), QString::fromUtf8("pesquisa avançada de pacientes..."), 0,
                         ":/assets/tb_advanced_search.png");
    addToolBarGap(ToolBar1, "ToolButton3", 20, true);
    BotaoPrn = button("BotaoPrn", "imprimir", QString::fromUtf8("imprimir relatório"), 0, ":/assets/tb_print.png");
    addToolBarGap(ToolBar1, "ToolButton2", 8);
    ToolButton6 = button("ToolButton6", QString::fromUtf8("pré-visualisar"), QString::fromUtf8("pré-visualisar relatório"), 0,
                         ":/assets/tb_preview.png");
    addToolBarGap(ToolBar1, "ToolButton7", 14, true);

    DBNavigator1 = new DBNavigator(ToolBar1);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setFixedSize(273, 36);
    DBNavigator1->setFlat(true);
    DBNavigator1->setVisibleButtons({DBNavigator::First, DBNavigator::Prior, DBNavigator::Next, DBNavigator::Last,
                                     DBNavigator::Insert, DBNavigator::Post, DBNavigator::Cancel});
    DBNavigator1->setHints({"Primeiro Paciente", "Paciente Anterior", QString::fromUtf8("Próximo Paciente"),
                            QString::fromUtf8("Último Paciente"), "Novo Paciente", "Apagar Paciente", "Editar Paciente",
                            "Gravar Paciente", "Cancelar Paciente", "Actualizar Pacientes"});
    DBNavigator1->setDataSourceName("DataModule1.DataSourcePac");
    ToolBar1->addWidget(DBNavigator1);

    auto click = [this](QToolButton* button, std::function<void()> handler) {
        connect(button, &QToolButton::clicked, this, [handler] { controls::runReported(handler); });
    };
    click(BotaoPsq, [this] { BotaoPsqClick(BotaoPsq); });
    click(ToolButton5, [this] { BotaoPsqClick(ToolButton5); });
    click(ToolButton8, [this] { ToolButton8Click(); });
    click(BotaoPrn, [this] { BotaoPrnClick(BotaoPrn); });
    click(ToolButton6, [this] { BotaoPrnClick(ToolButton6); });
    connect(DBNavigator1, &DBNavigator::clicked, this, &TMainForm::DBNavigator1Click);
}

void TMainForm::createStatusBar()
{
    QStatusBar* status = statusBar();
    status->setObjectName("StatusLine");
    status->setFixedHeight(23);
    status->setSizeGripEnabled(true);
    // The panels sit side by side at fixed places; a window too narrow for
    // them cuts the last one at its edge instead of pushing them over each
    // other, as the status bar's own layout would.
    auto* row = new QWidget(status);
    row->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status->addWidget(row, 1);
    const int widths[4] = {350, 140, 110, 90};
    const Qt::Alignment alignments[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
    const QString texts[4] = {QString(), QString::fromUtf8("Relatório Ecocardiográfico"), "www.lumetra.pt",
                              QString::fromUtf8("versão 2.6.5.0")};
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(texts[i], row);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setGeometry(x, 0, widths[i], 19);
        panel->setAlignment(alignments[i] | Qt::AlignVCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
        StatusPanels[i] = panel;
        x += widths[i];
    }
}

void TMainForm::createPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setTabPosition(QTabWidget::West);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);
    PageControl1->setFont(uiFont(11));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    PageControl1->addTab(TabSheet1, "Pacientes");
    PageControl1->addTab(TabSheet2, QString::fromUtf8("Modelos de Relatório"));
    setCentralWidget(PageControl1);
    buildPatientPage(TabSheet1);
    buildTemplatePage(TabSheet2);
}

bool TMainForm::event(QEvent* event)
{
    // A highlighted menu entry's hint reaches the status bar's first panel
    // through the application; the status bar's own message would hide all
    // four panels.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // 707 x 555 is the outer size, frame included, centred on the screen.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(QSize(707, 555) - frame);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(707 / 2, 555 / 2));
}

// --- commands ------------------------------------------------------------------

void TMainForm::ShowHint(const QString& hint) { StatusPanels[0]->setText(hint); }

void TMainForm::BotaoPsqClick(QObject* sender)
{
    switch (tagOf(sender)) {
    case 10: FormT2Pesq->PageControl1->setCurrentIndex(0); break;
    case 11: FormT2Pesq->PageControl1->setCurrentIndex(1); break;
    default: break;
    }
    FormT2Pesq->showWindow();
}

void TMainForm::FileNewItemClick() { BotaoPsqClick(BotaoPsq); }

void TMainForm::PesquisarExamespordia1Click() { BotaoPsqClick(ToolButton5); }

void TMainForm::ToolButton8Click() { TFormPesqAV::showWindow(); }

void TMainForm::BotaoPrnClick(QObject* sender)
{
    if (sender && sender->objectName() == "BotaoPrn")
        Relatorio->print();
    else
        Relatorio->preview();
}

void TMainForm::FilePrintItemClick() { BotaoPrnClick(BotaoPrn); }

void TMainForm::VerAntes1Click() { BotaoPrnClick(ToolButton6); }

void TMainForm::ExportarPDF1Click()
{
    QString file = QFileDialog::getSaveFileName(this, "Exportar PDF", QString(), "PDF (*.pdf)");
    if (file.isEmpty())
        return;
    if (!file.endsWith(".pdf", Qt::CaseInsensitive))
        file += ".pdf";
    QString error;
    if (!Relatorio->exportPdf(file, &error))
        Application::showMessage(error);
}

void TMainForm::Evolucao1Click(const QString& site)
{
    evolucao::open(site, [this](const QVariant& exam) {
        controls::runReported([&] {
            PageControl1->setCurrentWidget(TabSheet1);
            // A move like any other: a pending edit of the exam is settled first.
            DataModule1->TableEco->locate("CodigoExame", exam, {});
        });
    });
}

void TMainForm::FilePrintSetupItemClick()
{
    if (!PrintDialog) {
        PrintDialog = new QPrintDialog(this);
        PrintDialog->setObjectName("PrintDialog");
        PrintDialog->setOption(QAbstractPrintDialog::PrintToFile, false);
        PrintDialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
    }
    // The dialog shows the report's printer and copies; what the user
    // confirms becomes the report's, as in the preview's printer set-up.
    reporting::PrinterSettings& settings = Relatorio->printerSettings();
    QPrinter* printer = PrintDialog->printer();
    if (!settings.printerName.isEmpty())
        printer->setPrinterName(settings.printerName);
    printer->setCopyCount(settings.copies);
    if (PrintDialog->exec() == QDialog::Accepted)
        settings.takeFrom(*printer, false);
}

void TMainForm::NovoExame1Click() { DBNavigator2->click(DBNavigator::Insert); }

void TMainForm::DBNavigator1Click(DBNavigator::Button button)
{
    if (button == DBNavigator::Insert)
        DBEdit1->setFocus();
}

void TMainForm::Acercade1Click()
{
    Acercade1->setEnabled(false);
    FormAcerca = new TFormAcerca;
    Application::instance()->registerComponent(FormAcerca);
    FormAcerca->show();
}

void TMainForm::Ajuda2Click()
{
    // No help file is named: the help request has nowhere to go.
}

void TMainForm::FileExitItemClick() { close(); }

// --- closing -------------------------------------------------------------------

QList<Dataset*> TMainForm::pendingChanges() const
{
    QList<Dataset*> pending;
    if (!DataModule1)
        return pending;
    for (Dataset* d : {static_cast<Dataset*>(DataModule1->TableEco), static_cast<Dataset*>(DataModule1->TablePac),
                       static_cast<Dataset*>(DataModule1->TableTipoEx), static_cast<Dataset*>(DataModule1->TableConc),
                       static_cast<Dataset*>(DataModule1->TableFrase)}) {
        if (!d->editing())
            continue;
        // Text still in a control counts as typed work, even text its field
        // refuses: saving it then shows why, discarding it drops it.
        bool refused = false;
        try {
            d->updateRecord();
        } catch (...) {
            refused = true;
        }
        if (d->editing() && (d->modified() || refused))
            pending << d;
    }
    return pending;
}

bool TMainForm::settlePendingChanges()
{
    const QList<Dataset*> pending = pendingChanges();
    if (pending.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Question, Application::instance()->title(),
                    QString::fromUtf8("Existem alterações por gravar. Deseja gravá-las antes de sair?"),
                    QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton("Sim", QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("Não"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton("Cancelar", QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == no) {
        for (Dataset* d : pending)
            d->cancel();
        return true;
    }
    if (box.clickedButton() != yes)
        return false;
    try {
        for (Dataset* d : pending)
            if (d->editing())
                d->post();
    } catch (...) {
        Application::report(std::current_exception());
        return false;
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (settlePendingChanges())
        event->accept();
    else
        event->ignore();
}
