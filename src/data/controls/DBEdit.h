#pragma once

#include "data/controls/FieldLink.h"

#include <QLineEdit>

class DataSource;

// A single-line edit bound to one field of a data source's current record.
//
// It shows the field's display text (display format, short date), and while
// it has the focus and the record is being edited, the field's edit text. It
// is read-only unless the record set is in edit or insert state; a key that
// would change the text first asks the data source to start editing, which
// only a data source with automatic editing does (the exam data source does
// not start editing by itself, so typing into an exam field while the exam is
// browsed changes nothing). Escape puts the field's value back. The changed
// text goes into the field when the edit loses the focus and when the record
// is saved; a refused text is reported and keeps the focus, text selected.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source);
    // Late binding: "DataModule1.DataSourcePac", bound once that exists.
    void setDataSourceName(const QString& path);
    QString dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& fieldName);
    Field* field() const { return m_link.field(); }

    // Typed and pasted letters become capitals.
    bool charCaseUpper() const { return m_upper; }
    void setCharCaseUpper(bool upper) { m_upper = upper; }
    // The most characters the edit takes; 0, the default, means the field's
    // size for a string field and no limit of its own otherwise.
    int maxTextLength() const { return m_maxTextLength; }
    void setMaxTextLength(int length);

    // Whether the text was changed since it was last taken from the field.
    bool isTextModified() const { return m_link.modified(); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void loadText();
    void updateEditability();
    void writeText();
    void textEditedByUser();

    FieldLink m_link;
    bool m_upper = false;
    bool m_focused = false;
    int m_maxTextLength = 0;
};
