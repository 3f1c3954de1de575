#pragma once

#include <QWidget>

class DBGrid;
class DBNavigator;

// The phrase picker: a small window, always on top, listing the standard
// phrases. Enter or a double-click pastes the highlighted phrase into the
// report being written and leaves the picker open, so that several phrases
// go in one after the other; Esc hides it. The navigator adds and edits
// phrases: after its Insert or Edit, typing goes into the list's cells. It
// keeps nothing of its own: the highlighted phrase is the phrase table's
// current record.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    DBNavigator* DBNavigator1;
    DBGrid* DBGrid1;

    // Shows the picker, or brings it to the front, with the focus in the list.
    void showWindow();

    // Pastes the highlighted phrase, exactly as stored, through the clipboard.
    void DBGrid1DblClick();
    // Enter pastes, Esc hides; other keys are the list's.
    void DBGrid1KeyPress(QChar key);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_placed = false;
};

extern TForm1* Form1;
