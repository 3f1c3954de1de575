#pragma once

#include "clinical/Exam.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TDataModule1;
class MeasurementModel;
class ReceivedBanner;

// The page "Medições" of the exam pane, beside the report: the current exam's
// body data (weight, height and BSA, or a fetus's gestational age) and its
// measurements, each with the reference that judges it, the predicted value,
// the z-score and the normal range. Values are typed with a comma or a point
// while the exam is being edited, and saved or dropped with the exam.
class MeasurementsPage : public QWidget {
    Q_OBJECT
public:
    explicit MeasurementsPage(QWidget* parent = nullptr);
    ~MeasurementsPage() override;

    QLabel* LabelCorpo;               // weight, height, BSA; or the gestational age
    QLineEdit* EditIdadeGestacional;  // weeks+days, for a fetal exam
    QTableView* GridMedicoes;
    QLabel* LabelNotaMedicoes;        // what a mark means; why measurements cannot be kept
    QPushButton* BotaoEvolucao;       // "Evolução...": the chosen measurement across the patient's exams
    ReceivedBanner* PainelRecebidas;  // the echo machine's reports for this exam, and those that wait
    QPushButton* BotaoInserirMedicoes; // "Inserir medições no relatório"

    // Reads the current exam and judges every site again.
    void refresh();
    // The grid's rows as shown last.
    const std::vector<clinical::Judged>& judged() const;

signals:
    // "Evolução..." was pressed with the grid on `site` (a site code).
    void evolucaoRequested(const QString& site);
    // "Inserir medições no relatório" was clicked: the main window's command.
    void insertIntoReport();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void bind(TDataModule1* dm);
    // A value typed for `site`: stored when it is a possible one, else
    // refused with a message and nothing stored. True when stored.
    bool store(const clinical::Site& site, const QString& text);
    // What the user typed while the value is not yet taken: judged as shown.
    void preview(const clinical::Site& site, const QString& text);
    // Takes over what is still being typed (the exam is being saved).
    void commitTyping();
    void showBody(const clinical::Body& body);

    TDataModule1* m_dm = nullptr;
    MeasurementModel* m_model;
    bool m_weeksTyped = false;
    bool m_stale = true; // the exam changed while the page was hidden
};
