#pragma once

#include "data/Received.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TDataModule1;

// "Documentos do ecógrafo por atribuir": the reports received from the echo
// machine that found no patient, or their patient but no exam. The doctor
// gives the chosen one to an exam of the current patient (the current exam
// first), or discards it. Its values then wait on that exam's measurements
// page until the doctor applies them. Built at its first opening, then only
// hidden when closed.
class TFormRecebidos : public QWidget {
    Q_OBJECT
public:
    explicit TFormRecebidos(TDataModule1& dm, QWidget* parent = nullptr);
    ~TFormRecebidos() override;

    // Builds the window when it does not exist, then shows it non-modally.
    static void showWindow(TDataModule1& dm);

    QTableWidget* GridDocumentos; // received, who, study date, state, values
    QLabel* LabelDestino;         // the current patient, or why none can take a report
    QComboBox* ComboExames;       // the current patient's stored exams, the current one chosen
    QPushButton* BotaoAtribuir;
    QPushButton* BotaoDescartar;
    QPushButton* BotaoFechar;

    // Reads the waiting reports and the current patient's exams again.
    void reload();
    // Gives the chosen report to the chosen exam; asks first when the report
    // names someone else than the current patient.
    void BotaoAtribuirClick();
    // Drops the chosen report and its values, once the doctor confirms.
    void BotaoDescartarClick();

protected:
    bool event(QEvent* event) override;

private:
    engine::Database& store() const;
    const received::Document* chosen() const;
    void showTarget();

    TDataModule1& m_dm;
    std::vector<received::Document> m_documents;
};

extern TFormRecebidos* FormRecebidos;
