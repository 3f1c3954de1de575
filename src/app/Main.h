#pragma once

#include "data/controls/DBNavigator.h"

#include <QMainWindow>
#include <QTextCharFormat>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPrintDialog;
class QTabWidget;
class QToolBar;
class QToolButton;
class DBEdit;
class DBLookupComboBox;
class DBMemo;
class DBRichEdit;
class Dataset;
class MeasurementsPage;

// The main window: menus, the tool bar with the patient navigator, the status
// bar with the hint display and the left-tabbed pages "Pacientes" (the patient
// and exam panes, the report editor) and "Modelos de Relatório".
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- menus ---
    QMenu* FileMenu;
    QAction* FileNewItem;
    QAction* PesquisarExamespordia1;
    QAction* NovoPaciente1;
    QAction* NovoExame1;
    QAction* FilePrintItem;
    QAction* VerAntes1;
    QAction* ExportarPDF1;
    QAction* FilePrintSetupItem;
    QAction* FileExitItem;
    QMenu* Ver1;
    QAction* Recebidos1; // the echo machine's reports that wait for a patient or an exam
    QAction* Pacientes1;
    QAction* Frases1;
    QAction* Concluses1;
    QAction* Evolucao1; // "E&volução": the course of a measurement across the patient's exams
    QMenu* Ajuda1;
    QAction* Acercade1;
    QAction* Ajuda2;
    QMenu* PopupMenu1;
    QAction* inserirFrases1;
    QAction* InserirConcluses1;
    QAction* InserirMedicoes1; // "Inserir medições no relatório"

    // --- tool bar and status bar ---
    QToolBar* ToolBar1;
    QToolButton* BotaoPsq;
    QToolButton* ToolButton5;
    QToolButton* ToolButton8;
    QToolButton* BotaoPrn;
    QToolButton* ToolButton6;
    DBNavigator* DBNavigator1;
    QLabel* StatusPanels[4];
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QPrintDialog* PrintDialog = nullptr;

    // --- the patient and exam panes ---
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    DBEdit* DBEdit1;
    DBEdit* DBEdit3;
    DBEdit* DBEdit4;
    DBEdit* DBEdit5;
    DBEdit* DBEdit6;
    DBEdit* DBEdit8;
    DBLookupComboBox* DBLookupComboBox1;
    DBLookupComboBox* DBLookupComboBox2;
    QLabel* Label71;
    DBNavigator* DBNavigator2;
    QTabWidget* PageControl2;
    QWidget* TabSheet7;
    MeasurementsPage* TabSheetMedicoes; // "Medições", beside the report

    // --- the report editor ---
    QToolBar* ToolBar2;
    QToolButton* ToolButton10; // bold
    QToolButton* ToolButton12; // underline
    QToolButton* ToolButton14; // italic
    QToolButton* ToolButton17; // superscript
    QToolButton* ToolButton18; // subscript
    QToolButton* ToolButton20; // outdent
    QToolButton* ToolButton21; // indent
    QToolButton* ToolButton23; // insert a picture
    DBRichEdit* Editor;
    // The held character format: Arial 13 pixels in the window-text colour;
    // only its style changes, through the three toggle buttons.
    QTextCharFormat FormatFont;

    // --- the page "Modelos de Relatório": exam types and their templates ---
    DBEdit* DBEdit9;
    DBMemo* DBMemo1;
    DBNavigator* DBNavigator3;

    // --- commands of the frame ---
    void ShowHint(const QString& hint);
    void BotaoPsqClick(QObject* sender);
    void FileNewItemClick();
    void PesquisarExamespordia1Click();
    void ToolButton8Click();
    void BotaoPrnClick(QObject* sender);
    void FilePrintItemClick();
    void VerAntes1Click();
    void ExportarPDF1Click();
    void FilePrintSetupItemClick();
    void NovoExame1Click();
    void DBNavigator1Click(DBNavigator::Button button);
    void Recebidos1Click();
    void Acercade1Click();
    void Ajuda2Click();
    void FileExitItemClick();
    // Opens "Evolução" on the current patient with the measurement `site`.
    void Evolucao1Click(const QString& site = {});

    // --- the panes ---
    void DBEdit1Enter(QWidget* sender);
    void DBEdit1Exit(QWidget* sender);
    void Label71Click(QObject* sender);
    void PageControl2Change();

    // --- the report editor ---
    void ToolButton10Click(QObject* sender);
    void ResetFormatButtons();
    void ToolButton17Click(QObject* sender);
    void ToolButton20Click(QObject* sender);
    void ToolButton23Click();
    void DBLookupComboBox2CloseUp();
    void inserirFrases1Click(QObject* sender);
    void InserirMedicoes1Click(QObject* sender);

    // Records still being edited or inserted with changes, text still in a
    // control included (a text its field refuses counts too).
    QList<Dataset*> pendingChanges() const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createPages();
    void buildPatientPage(QWidget* page);
    void buildReportPage(QWidget* page);
    void buildTemplatePage(QWidget* page);
    bool settlePendingChanges();
    bool m_placed = false;
};

// The program-wide reference to the main window.
extern TMainForm* MainForm;
