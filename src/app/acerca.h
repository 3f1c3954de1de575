#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the product's name and version and the maker's lines over
// the maker's pale logo. Modeless and on top; built when opened, destroyed
// when closed, and the main window's entry stays off while it exists.
class TFormAcerca : public QDialog {
    Q_OBJECT
public:
    explicit TFormAcerca(QWidget* parent = nullptr);
    ~TFormAcerca() override;

    QLabel* Image2;
    QPushButton* BitBtn1;

    // "&Sair" (a click, Alt+S, Enter, or Esc as the cancel button).
    void BitBtn1Click();
    // The box closing: the menu entry comes back.
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
};

extern TFormAcerca* FormAcerca;
