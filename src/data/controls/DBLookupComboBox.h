#pragma once

#include "data/controls/FieldLink.h"

#include <QVariant>
#include <algorithm>
#include <QWidget>
#include <functional>

class QFrame;
class QListView;

// A drop-down box bound to a data field of one record set (the data cursor)
// that offers the rows of another (the list cursor): it stores the key field
// of the chosen list row into the data field and shows that row's list field.
//
// The key value follows the data field on every change of the current record
// and of the field; only a key that differs from the previous one is looked
// up, with Locate on the list cursor, which so stays on the row of the
// current key (other parts of the program read that row). An empty key, a
// key that no list row has, or a lookup that fails shows nothing and leaves
// the list cursor where it was.
//
// Opening the list (a click, F4, Alt+Down) puts the list cursor on the key's
// row, or its first row; moving in the list moves the list cursor itself.
// Enter or a click on a row accepts, Escape or a click elsewhere does not; an
// accepted row's key is written into the data field only while the data
// cursor is editing or its data source starts editing by itself. closeUp()
// follows every closing. Typing while the list is closed searches the list
// field by the beginning of its text, ignoring case.
//
// The open list is a QListView named "<box>_List" in a popup "<box>_Popup".
class DBLookupComboBox : public QWidget {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget* parent = nullptr);
    ~DBLookupComboBox() override;

    // --- the data field -----------------------------------------------------
    DataSource* dataSource() const { return m_dataLink.dataSource(); }
    void setDataSource(DataSource* source);
    void setDataSourceName(const QString& path);
    QString dataField() const { return m_dataLink.fieldName(); }
    void setDataField(const QString& fieldName);

    // --- the list -----------------------------------------------------------
    DataSource* listSource() const { return m_listLink.dataSource(); }
    void setListSource(DataSource* source);
    void setListSourceName(const QString& path);
    QString keyField() const { return m_keyField; }
    void setKeyField(const QString& fieldName);
    QString listField() const { return m_listField; }
    void setListField(const QString& fieldName);
    // Rows shown at once by the open list.
    int dropDownRows() const { return m_dropDownRows; }
    void setDropDownRows(int rows) { m_dropDownRows = std::max(1, rows); }

    bool isReadOnly() const { return m_dataLink.readOnly(); }
    void setReadOnly(bool readOnly) { m_dataLink.setReadOnly(readOnly); }
    // Whether choosing a row may change the data field: the list cursor is
    // open, and neither the box nor the field is read-only.
    bool canModify() const;

    QVariant keyValue() const { return m_keyValue; }
    // What the box shows: the list field of the key's row, or nothing.
    QString text() const { return m_text; }

    // --- the list, for program code -----------------------------------------
    bool isDroppedDown() const { return m_dropped; }
    // Opens the list; errors of positioning the list cursor propagate.
    void dropDown();
    // Closes the list, accepting the list cursor's row or not, and emits
    // closeUp(). Errors of writing the field propagate (no closeUp() then).
    void closeList(bool accept);
    QListView* listView() const { return m_view; }

    // --- incremental search -------------------------------------------------
    QString searchText() const { return m_searchText; }
    // Milliseconds on a steady clock; tests put their own clock in. An empty
    // function brings the real one back.
    using Clock = std::function<qint64()>;
    static void setClock(Clock clock);
    static constexpr qint64 SearchPause = 2000;
    static constexpr int SearchLength = 32;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The close-up notification: the list has closed, accepted or not.
    void closeUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ListLink : public DataLink {
    public:
        explicit ListLink(DBLookupComboBox& box) : m_box(box) {}
        void dataEvent(DataEvent event, Field* field) override;

    private:
        DBLookupComboBox& m_box;
    };
    class ListModel;

    Dataset* listDataset() const;
    Field* listKeyField() const;
    Field* listShownField() const;
    bool listActive() const;
    bool isEmptyKey(const QVariant& value) const;
    bool sameKey(const QVariant& a, const QVariant& b) const;

    void followField();
    void setKeyValue(const QVariant& value);
    void lookUp();
    void setShownText(const QString& text);
    void listChanged(DataEvent event);
    void chooseListRow();
    void search(QChar typed);
    void syncListView();
    void listRowChosenInView(int row);
    bool popupKey(QKeyEvent* event);
    QColor backgroundColour() const;

    FieldLink m_dataLink;
    ListLink m_listLink{*this};
    QString m_keyField, m_listField;
    QVariant m_keyValue;
    QString m_text;
    int m_dropDownRows = 7;

    QFrame* m_popup = nullptr;
    QListView* m_view = nullptr;
    ListModel* m_model = nullptr;
    bool m_dropped = false;
    bool m_syncing = false;

    QString m_searchText;
    qint64 m_lastKeyTime = 0;
};
