#pragma once

#include <QDialog>

// The advanced patient search window. It is destroyed when it is closed and
// built again for the next opening (show()).
class TFormPesqAV : public QDialog {
    Q_OBJECT
public:
    explicit TFormPesqAV(QWidget* parent = nullptr);
    ~TFormPesqAV() override;

    // Builds the window when it does not exist, then shows it non-modally.
    static void showWindow();
};

extern TFormPesqAV* FormPesqAV;
