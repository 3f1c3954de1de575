#pragma once

#include <QWidget>

class DBGrid;
class DBNavigator;
class DBRichEdit;
class QLabel;
class QPushButton;

// The standard conclusions: a list of named conclusions, each with a body of
// rich text, written and kept here and pasted into the report being written
// as plain text with "usar conclusão". The current conclusion is the
// conclusions table's current record; the window keeps nothing of its own.
class TFormConc : public QWidget {
    Q_OBJECT
public:
    explicit TFormConc(QWidget* parent = nullptr);
    ~TFormConc() override;

    // Shows the window, or brings it to the front, with the focus in the list.
    void showWindow();

    QWidget* Panel1;
    DBGrid* DBGrid1;
    QLabel* Label1;
    QPushButton* BitBtn1;
    DBNavigator* DBNavigator1;
    DBRichEdit* PreConclusao;

    // "usar conclusão": the body as shown, typed but unsaved text included,
    // without its formatting, pasted through the clipboard.
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_placed = false;
};

extern TFormConc* FormConc;
