#pragma once

#include "data/DataSource.h"

#include <QTableView>
#include <memory>
#include <optional>
#include <vector>

// A grid over the records of a data source's record set: one row per
// record, read from the record set as drawn (no copy of the rows is kept),
// the current record highlighted and following the record set. Clicking or
// moving in the grid moves the record set.
//
// Columns are the caller's (addColumn) or, with none added, one per field
// of the record set, titled with the field's name (its display label when it
// has one); a query's columns follow its fields each time it opens.
//
// By default the grid is for browsing: no typing into cells, no inserting.
// setEditable(true) lets cells be edited through their fields and the Insert
// key add a record; a new record left untouched is dropped when the grid
// loses the focus. Ctrl+Delete deletes the current record whenever the record
// set can be modified and is not empty, after "Delete record?" only with
// setConfirmDelete(true).
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;
    using QTableView::edit;
    // Typing never jumps to a row by its first letters: keys are the window's.
    void keyboardSearch(const QString&) override {}

    DataSource* dataSource() const;
    void setDataSource(DataSource* source);
    void setDataSourceName(const QString& path);
    Dataset* dataset() const;

    // --- columns ------------------------------------------------------------
    // A width below 1 takes the field's display width.
    void addColumn(const QString& fieldName, const QString& title, int width = -1,
                   Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter, bool titleBold = false);
    void clearColumns();
    // The look of one of the caller's columns: its cells' colour and font and
    // its title cell's colour (an invalid colour keeps the grid's own).
    void setColumnLook(int column, const QColor& cells, const QColor& title = {},
                       const std::optional<QFont>& font = std::nullopt);
    int columnCountShown() const { return int(m_shown.size()); }
    QString columnFieldName(int column) const;
    QString columnTitle(int column) const;
    Field* columnField(int column) const;

    // --- options ------------------------------------------------------------
    bool titlesVisible() const;
    void setTitlesVisible(bool visible);
    // A narrow first column that marks the current record: ▶ while browsing,
    // I while editing, * while inserting.
    bool indicatorVisible() const;
    void setIndicatorVisible(bool visible);
    // Whole-row selection, shown also while the grid has no focus.
    bool rowSelect() const { return m_rowSelect; }
    void setRowSelect(bool on);
    bool isEditable() const { return m_editable; }
    void setEditable(bool on);
    // With editing on request, typing (or F2) opens a cell only while the
    // record is already being edited or inserted, after an Edit or an
    // Insert, and a double-click opens none: in a pick list whose keys and
    // clicks mean something else, a stray key changes nothing.
    bool editOnRequest() const { return m_editOnRequest; }
    void setEditOnRequest(bool on);
    bool confirmDelete() const { return m_confirmDelete; }
    void setConfirmDelete(bool on) { m_confirmDelete = on; }
    // Whether a cell editor is open.
    bool isEditingCell() const { return state() == QAbstractItemView::EditingState; }

signals:
    // A double-click on the grid.
    void dblClick();
    // A key typed in the grid, as a character: Enter is '\r', Escape 0x1b.
    void keyPress(QChar key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    struct Column {
        QString fieldName;
        QString title;
        int width = -1;
        Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        bool titleBold = false;
        QColor color, titleColor;
        std::optional<QFont> font;
    };
    class Link;
    class Model;
    friend class Model;

    bool active() const;
    void dataEvent(DataEvent event);
    void rebuildColumns();
    void findFields();
    void applyWidths();
    int displayWidth(const Field* field, const QString& title) const;
    void refreshAll();
    void refreshIndicator();
    void syncCurrent();
    void moveToRow(int row);
    bool startEditing();
    bool writeCell(const QModelIndex& index, const QString& text);
    void writeOpenEditor();
    void deleteCurrent();
    void dropUntouchedInsert();

    std::unique_ptr<Link> m_link;
    Model* m_model = nullptr;
    std::vector<Column> m_columns; // the caller's
    std::vector<Column> m_shown;   // the caller's, or one per field
    std::vector<int> m_fieldIndex; // per shown column, the field's index or -1
    bool m_rowSelect = false;
    bool m_editable = false;
    bool m_editOnRequest = false;
    bool m_confirmDelete = false;
    bool m_syncing = false;
    bool m_applyingWidths = false;
    int m_indicatorRow = -1;
};
