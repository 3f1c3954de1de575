#pragma once

#include <QWidget>

class DBGrid;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The advanced patient search: every patient whose record holds a word or
// phrase in any of 21 columns. The hits live in the data module's
// QueryPesqAv, so they outlive the window, which is destroyed when it is
// closed and built again for the next opening (showWindow()). It stays on
// top and open while the user visits the hits one after another.
class TFormPesqAV : public QWidget {
    Q_OBJECT
public:
    explicit TFormPesqAV(QWidget* parent = nullptr);
    ~TFormPesqAV() override;

    // Builds the window when it does not exist, then shows it non-modally.
    static void showWindow();

    // The search statement for a search text: the text is found literally
    // anywhere in any of the columns, whatever the case of its letters, and
    // each "%" in it stands for any run of characters. The hits come in the
    // patient list's order.
    static QString searchStatement(const QString& text);

    QFrame* Panel1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QLabel* Label3;
    QPushButton* BitBtn1;
    QLabel* Image1;
    QLabel* Label1;
    DBGrid* DBGrid1;

    void BitBtn1Click();
    void Edit1KeyPress(QChar key);
    void DBGrid1DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TFormPesqAV* FormPesqAV;
