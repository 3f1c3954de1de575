#pragma once

#include <QDialog>

// The about box: built when opened, destroyed when closed.
class TFormAcerca : public QDialog {
    Q_OBJECT
public:
    explicit TFormAcerca(QWidget* parent = nullptr);
    ~TFormAcerca() override;
};

extern TFormAcerca* FormAcerca;
