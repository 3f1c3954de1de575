#include "data/controls/DBEdit.h"

#include "data/controls/ControlSupport.h"
#include "platform/ui/Application.h"

#include <QKeyEvent>

namespace {

// Capitals, character for character, so that positions in the text hold.
QString capitals(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = c.toUpper();
    return out;
}

} // namespace

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent)
{
    m_link.onDataChange = [this] { loadText(); };
    m_link.onEditingChange = [this] { updateEditability(); };
    m_link.onUpdateData = [this] { writeText(); };
    connect(this, &QLineEdit::textEdited, this, &DBEdit::textEditedByUser);
    updateEditability();
}

void DBEdit::setDataSource(DataSource* source) { m_link.setDataSource(source); }

void DBEdit::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

void DBEdit::setDataField(const QString& fieldName) { m_link.setFieldName(fieldName); }

void DBEdit::setMaxTextLength(int length)
{
    m_maxTextLength = length;
    loadText();
}

void DBEdit::loadText()
{
    const Field* f = m_link.field();
    int limit = m_maxTextLength;
    if (limit <= 0)
        limit = f && f->type() == engine::FieldType::String && f->size() > 0 ? f->size() : 32767;
    if (maxLength() != limit)
        setMaxLength(limit);

    QString shown;
    if (f)
        shown = m_focused && m_link.fieldEditing() ? f->text() : f->displayText();
    // Setting the same text again would move the caret to the end, under the
    // user's fingers, when typing starts an edit.
    if (shown != text())
        setText(shown);
}

void DBEdit::updateEditability()
{
    setReadOnly(!m_link.fieldEditing());
    // Editing starting or ending switches between edit and display text.
    if (!m_link.modified())
        loadText();
}

void DBEdit::writeText() { m_link.field()->setText(text()); }

void DBEdit::textEditedByUser()
{
    // Keys arrive in capitals already; this catches pasted and dropped text.
    if (m_upper && capitals(text()) != text()) {
        const int cursor = cursorPosition();
        const int start = selectionStart();
        const int length = int(selectedText().size());
        setText(capitals(text()));
        if (start >= 0)
            setSelection(start, length);
        else
            setCursorPosition(cursor);
    }
    m_link.setModified();
}

bool DBEdit::event(QEvent* event)
{
    if (controls::overrideShortcut(event, m_link))
        return true;
    return QLineEdit::event(event);
}

void DBEdit::keyPressEvent(QKeyEvent* event)
{
    if (controls::leavesToShortcuts(event)) {
        event->ignore(); // X11's Ctrl+D, Ctrl+K... would delete text
        return;
    }
    if (controls::isEscape(event) && m_link.field()) {
        m_link.reset();
        selectAll();
        event->accept();
        return;
    }
    if (!controls::changesText(event, false)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    const Field* f = m_link.field();
    if (f && controls::typesCharacters(event)) {
        for (QChar c : event->text())
            if (!f->isValidChar(c)) {
                QApplication::beep();
                return;
            }
    }
    bool editable = false;
    if (!controls::runReported([&] { editable = m_link.startEditing(); }) || !editable)
        return;
    if (m_upper && controls::typesCharacters(event)) {
        QKeyEvent upper(event->type(), event->key(), event->modifiers(), capitals(event->text()),
                        event->isAutoRepeat(), event->count());
        QLineEdit::keyPressEvent(&upper);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusInEvent(QFocusEvent* event)
{
    // The edit text replaces the display text when the user arrives, not
    // when the window merely comes back to the front.
    if (!m_focused) {
        m_focused = true;
        loadText();
    }
    QLineEdit::focusInEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Another window or a menu taking the focus is no leaving: it comes back.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (!controls::writeKeepingFocus(this, m_link, [this] { selectAll(); }))
        return;
    m_focused = false;
    loadText();
}
