#pragma once

#include "data/Received.h"

#include <QFrame>
#include <QPointer>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class TDataModule1;

// Above the measurements of the page "Medições": the reports received from
// the echo machine for the current exam ("Medições recebidas do ecógrafo
// (N)"), their values on request, and "Aplicar", which puts them into the exam
// as if typed, under the exam's lock; and, while some reports wait for a
// patient or an exam, the way to the window that lists them.
class ReceivedBanner : public QFrame {
    Q_OBJECT
public:
    explicit ReceivedBanner(QWidget* parent = nullptr);

    QLabel* LabelRecebidas;
    QPushButton* BotaoVerRecebidas; // shows or hides GridRecebidas
    QPushButton* BotaoAplicar;
    QPushButton* BotaoPorAtribuir;  // "Por atribuir (N)...": the window of the reports that wait
    QTableWidget* GridRecebidas;    // site, value, note, document
    QPushButton* BotaoDevolver;     // under the values, "Não é deste exame...": the reports back to those that wait

    // Shows what the data module holds for the current exam.
    void refresh(TDataModule1* dm);

    // "Aplicar": the exam goes into editing as the exam navigator's Edit puts
    // it (a locked exam refuses, and nothing is applied); every site the
    // exam has no value for takes the received one, and a value already
    // there is replaced only when the doctor says so. The latest study wins
    // where several reports measure the same site.
    void BotaoAplicarClick();
    // "Não é deste exame...": after the doctor says so, the exam's reports
    // go back to those that wait for a patient or an exam, to be given to
    // the right one. Not while values applied from them wait for the save.
    void BotaoDevolverClick();

private:
    void showValues(const std::vector<received::Document>& documents);

    QPointer<TDataModule1> m_dm; // gone before the page when the program closes
    QTimer* m_poll;
};
