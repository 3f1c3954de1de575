#pragma once

#include "data/controls/FieldLink.h"

#include <QTextDocumentFragment>
#include <QTextEdit>

#include <functional>

class DataSource;

// A rich-text editor bound to a memo field that holds RTF. It shows the
// field of the current record (text that is not RTF as plain text in the
// default format, an empty field as an empty document) and writes the whole
// document back as RTF when its changes are taken over, on leaving it and
// when the record is saved, and only when it changed. It follows the editing
// rules of the other data-aware controls: changes are refused unless the
// record set is editing, and a key that would change the text first asks the
// data source to start editing. A paste inserts the clipboard's plain text
// at the caret, replacing the selection, adding nothing.
class DBRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit DBRichEdit(QWidget* parent = nullptr);

    DataSource* dataSource() const { return m_link.dataSource(); }
    void setDataSource(DataSource* source);
    void setDataSourceName(const QString& path);
    QString dataField() const { return m_link.fieldName(); }
    void setDataField(const QString& fieldName);
    Field* field() const { return m_link.field(); }

    // The format of text without a format of its own.
    void setDefaultFormat(const QFont& font, const QColor& colour);
    // Applies a whole character format to the selection, or to what is typed
    // next when nothing is selected; the selection is left alone unless the
    // record is being edited.
    void applyCharFormat(const QTextCharFormat& format);
    // Pastes the clipboard's plain text at the caret when the record is
    // being edited (or starts being edited by automatic editing).
    void pasteFromClipboard();
    // Changes the text through the caret's cursor, as a key would: only
    // when the record is being edited (or starts being edited by automatic
    // editing); false when it is not. One step to undo.
    bool edit(const std::function<void(QTextCursor&)>& change);
    // Inserts rich text at the caret, replacing the selection, as paragraphs
    // of its own that keep their formats (tab stops, indents): the report
    // keeps them when saved and printed.
    bool insertFragment(const QTextDocumentFragment& fragment);

    bool isTextModified() const { return m_link.modified(); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void drawLeaders(QPainter& painter, const QRect& area);
    static void dropCopiedGroups(QTextCursor& cursor);
    void loadDocument(bool force = false);
    void updateEditability();
    void writeDocument();
    bool editable();

    FieldLink m_link;
    QTextCharFormat m_defaultFormat;
    QString m_shown;          // the field's value the document shows
    bool m_loading = false;
};
