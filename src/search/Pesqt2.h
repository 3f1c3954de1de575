#pragma once

#include <QDialog>

class QTabWidget;

// The quick search window: patients by name and exams by date, each on a page.
class TFormT2Pesq : public QDialog {
    Q_OBJECT
public:
    explicit TFormT2Pesq(QWidget* parent = nullptr);
    ~TFormT2Pesq() override;

    QTabWidget* PageControl1;
};

extern TFormT2Pesq* FormT2Pesq;
