#pragma once

#include "data/PatientCourse.h"
#include "editing/EvolucaoLink.h"

#include <QPointer>
#include <QWidget>

class CourseChart;
class QGraphicsView;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
namespace reporting {
class PreviewWindow;
}

// "Evolução": one measurement across the current patient's exams, oldest to
// newest, as a figure (values over the normal band, z-scores below) and a
// table; the list beside them holds the measurements the patient has. A
// click on a point makes that exam the current one. The window follows the
// current patient and reads the store again when an exam is saved.
class FormEvolucao : public QWidget {
    Q_OBJECT
public:
    explicit FormEvolucao(evolucao::MakeCurrent makeCurrent, QWidget* parent = nullptr);
    ~FormEvolucao() override;

    // Reads the current patient again and shows `site` (a site code) when the
    // patient has it; else the measurement shown, else the first one.
    void showCurrentPatient(const QString& site = {});
    void showSite(const QString& code);

    const course::PatientHistory& history() const { return m_history; }
    const course::Course& shownCourse() const { return m_course; }
    CourseChart* chart() const { return m_chart; }

    // "Imprimir", "Ver Antes" and what "Guardar imagem" writes: a PNG
    // picture (as the admin tool draws it) or, for a name ending in ".pdf",
    // the printed page. False, after saying why, when it cannot.
    void print();
    void preview();
    bool saveImage(const QString& fileName);

    QLabel* LabelPaciente;
    QListWidget* ListaMedicoes;
    QGraphicsView* GraficoEvolucao;
    QTableWidget* GridEvolucao;
    QPushButton* BotaoImprimir;
    QPushButton* BotaoVerAntes;
    QPushButton* BotaoGuardarImagem;
    QPushButton* BotaoFechar;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Follows the main window's patient and exams.
    void follow();
    // Makes the exam of the course's point `index` the current one.
    void makeCurrent(int index);
    void reloadSoon();
    void showCourse();
    void fillTable();
    void markCurrentExam();
    void chooseImageFile();

    evolucao::MakeCurrent m_makeCurrent;
    course::PatientHistory m_history;
    course::Course m_course;
    CourseChart* m_chart;
    QPointer<reporting::PreviewWindow> m_preview;
    bool m_reloadPending = false;
    bool m_stale = false; // the patient or an exam changed while hidden
};

// Installs the window as the one the main window's entries open: one at a
// time, over the main window, built when opened and destroyed when closed.
void installFormEvolucao();
