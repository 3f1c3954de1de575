#pragma once

#include "data/DataSource.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <array>

class QToolButton;

// A row of ten buttons over a data source's record set, always in the order
// of Button, each shown or hidden. The shown buttons share the navigator's
// width evenly and take its full height; none of them takes the keyboard
// focus, so a control being edited keeps it while a button is pressed.
//
// Enabled while the record set is open and: First, Prior when not at the
// beginning; Next, Last when not at the end; Insert and Refresh when the
// record set can be modified; Delete when it can be modified and is not
// empty; Edit when it can be modified and is not editing; Post and Cancel
// when it can be modified and is editing. All are disabled without a data
// source or with a closed record set.
//
// The buttons are named after the navigator: "<navigator>_<button>", for
// instance "DBNavigator2_Insert" (see buttonName()).
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    Q_ENUM(Button)
    static constexpr int ButtonCount = 10;

    explicit DBNavigator(QWidget* parent = nullptr);
    ~DBNavigator() override;

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source);
    void setDataSourceName(const QString& path);

    QList<Button> visibleButtons() const;
    void setVisibleButtons(const QList<Button>& buttons);
    // One hint per button in the order of Button, shown as its tooltip; a
    // hidden button keeps its hint. Missing entries keep the default hints.
    QStringList hints() const;
    void setHints(const QStringList& hints);
    bool isFlat() const { return m_flat; }
    void setFlat(bool flat);
    // Whether Delete asks "Delete record?" first (the default).
    bool confirmDelete() const { return m_confirmDelete; }
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }

    QToolButton* button(Button which) const { return m_buttons[which]; }
    // "First", "Prior" ... "Refresh".
    static QString buttonName(Button which);

    // Presses a button by program code, as a click does: performs its
    // operation (Delete asks first, when set) and then emits clicked().
    // Errors and silent aborts of the operation propagate and clicked() is
    // not emitted, so a routine that presses Edit stops at a refusal. With a
    // closed record set nothing is done and clicked() is still emitted.
    void click(Button which);

    QSize sizeHint() const override;

signals:
    // The click notification: the button's operation has completed.
    void clicked(DBNavigator::Button button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Link : public DataLink {
    public:
        explicit Link(DBNavigator& navigator) : m_navigator(navigator) {}
        void dataEvent(DataEvent event, Field* field) override;

    private:
        DBNavigator& m_navigator;
    };

    void perform(Button which, Dataset& dataset);
    bool askDelete();
    void updateButtons();
    void layoutButtons();
    void nameButtons();

    Link m_link{*this};
    std::array<QToolButton*, ButtonCount> m_buttons{};
    std::array<bool, ButtonCount> m_visible{};
    bool m_flat = false;
    bool m_confirmDelete = true;
};
