#pragma once

#include "search/NamePrefixes.h"

#include <QDialog>

class DBGrid;
class DataSource;
class DatePagedQuery;
class Field;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class Table;

// The quick search window: patients by the beginning of the name, and every
// exam, newest first, moved to a date. Browsing moves only the window's own
// patient list and exam list; "Selecionar" makes the chosen patient (and
// exam) current in the main window. Built once at start-up, after the data
// module; closing only hides it.
class TFormT2Pesq : public QDialog {
    Q_OBJECT
public:
    explicit TFormT2Pesq(QWidget* parent = nullptr);
    ~TFormT2Pesq() override;

    // Shows the window on the tab the opener chose, or brings it to the
    // front, with the focus where the user types: the name field on
    // "pacientes", the exam list on "exames".
    void showWindow();

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QLabel* Label2;
    QLineEdit* Edit1;
    DBGrid* DBGrid1;
    QLabel* Label1;
    QDateEdit* Data;
    QToolButton* SpeedButton1;
    DBGrid* DBGrid2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    Table* TablePesq;
    DataSource* DataSourcePesq;
    DatePagedQuery* QueryPesq1;
    DataSource* DataSourcePesq1;
    Field* TablePesqNF;
    Field* TablePesqNOME;
    Field* QueryPesq1dataexame;
    Field* QueryPesq1codigoexame;
    Field* QueryPesq1nf;
    Field* QueryPesq1nome;
    Field* QueryPesq1nome_1;
    Field* QueryPesq1medico;

    void FormCreate();
    void FormActivate();
    void Edit1Change();
    void DataChange();
    void SpeedButton1Click();
    void BitBtn1Click();
    void Edit1KeyPress(QChar key);
    void DBGrid1DblClick();
    void BitBtn2Click();

    // The exam list's statement.
    static const char* const kExamsByDate;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void createData();
    void createPatientPage();
    void createExamPage();
    void createButtons();
    // Makes the patient on which the patient list stands the current patient.
    void selectListedPatient();
    // FormActivate, once per return to the window.
    void returned();
    // Reads the exam list when the "exames" tab shows and it was never read.
    void examsTabShown();
    // Reads more of the exam list when its shown rows near an end of what is held.
    void fetchNearEdges();

    NamePrefixes m_names; // TablePesq's, for the name search
    bool m_returning = true; // another window was active since this one last was
    bool m_fetchQueued = false;
};

extern TFormT2Pesq* FormT2Pesq;
