#pragma once

#include "data/controls/FieldLink.h"

#include <QPlainTextEdit>

class DataSource;

// A multi-line edit bound to a memo or string field of a data source's
// current record, with the editing rules of DBEdit: read-only unless the
// record set is editing, a key that changes the text first asks the data
// source to start editing, Escape puts the field's value back, and the text
// goes into the field on leaving the control and when the record is saved.
// Tab types a tab character unless setTabChangesFocus(true); lines wrap at
// the control's width.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source);
    void setDataSourceName(const QString& path);
    QString dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& fieldName);
    Field* field() const { return m_link.field(); }

    bool isTextModified() const { return m_link.modified(); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void loadText();
    void updateEditability();

    FieldLink m_link;
    bool m_loading = false;
    bool m_focused = false;
};
