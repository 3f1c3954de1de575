#include "data/controls/DBRichEdit.h"

#include "data/controls/ControlSupport.h"
#include "platform/richtext/Formats.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

DBRichEdit::DBRichEdit(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setTabChangesFocus(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_link.onDataChange = [this] { loadDocument(); };
    m_link.onEditingChange = [this] { updateEditability(); };
    m_link.onUpdateData = [this] { writeDocument(); };
    richtext::enablePictures(document());
    // A list paragraph's bullet is kept in a group of its own: what is typed
    // after it is text.
    connect(this, &QTextEdit::currentCharFormatChanged, this, [this](const QTextCharFormat& format) {
        if (!format.hasProperty(richtext::ListText))
            return;
        QTextCharFormat typed = format;
        typed.clearProperty(richtext::ListText);
        setCurrentCharFormat(typed);
    });
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        // Only a change made while the record is edited is the user's work;
        // anything else is shown and dropped at the next load.
        if (!m_loading && m_link.fieldEditing())
            m_link.setModified();
    });
    updateEditability();
}

void DBRichEdit::setDataSource(DataSource* source) { m_link.setDataSource(source); }

void DBRichEdit::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

void DBRichEdit::setDataField(const QString& fieldName) { m_link.setFieldName(fieldName); }

void DBRichEdit::setDefaultFormat(const QFont& font, const QColor& colour)
{
    document()->setDefaultFont(font);
    m_defaultFormat = QTextCharFormat();
    m_defaultFormat.setFont(font);
    m_defaultFormat.setForeground(colour);
    QPalette p = palette();
    p.setColor(QPalette::Text, colour);
    setPalette(p);
    loadDocument(true);
}

void DBRichEdit::loadDocument(bool force)
{
    const Field* f = m_link.field();
    const QString value = f ? f->asString() : QString();
    // A report just saved, or an unchanged one shown again, stays as it is:
    // reloading it would lose the caret and the scroll position.
    if (!force && value == m_shown && !document()->isModified())
        return;
    m_loading = true;
    richtext::load(document(), value);
    QTextCursor start(document());
    setTextCursor(start);
    setCurrentCharFormat(m_defaultFormat);
    document()->setModified(false);
    m_loading = false;
    m_shown = value;
}

void DBRichEdit::writeDocument()
{
    // The field's change notice comes back here: mark the document as shown
    // first, so that it is not reloaded from what it just wrote.
    const QString rtf = richtext::save(document());
    const QString previous = m_shown;
    m_shown = rtf;
    document()->setModified(false);
    try {
        m_link.field()->setValue(rtf);
    } catch (...) {
        m_shown = previous;
        document()->setModified(true);
        throw;
    }
}

void DBRichEdit::updateEditability()
{
    // Read-only in Qt's sense would hide the caret and stop selecting with
    // the keyboard; changes are refused by the key and paste handlers instead.
    setTextInteractionFlags(m_link.canModify() ? Qt::TextEditorInteraction
                                               : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

bool DBRichEdit::editable()
{
    bool editing = false;
    controls::runReported([&] { editing = m_link.startEditing(); });
    return editing;
}

void DBRichEdit::applyCharFormat(const QTextCharFormat& format)
{
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection() && m_link.fieldEditing())
        cursor.setCharFormat(format);
    setCurrentCharFormat(format);
}

void DBRichEdit::pasteFromClipboard()
{
    if (!editable())
        return;
    insertPlainText(QApplication::clipboard()->text());
}

bool DBRichEdit::edit(const std::function<void(QTextCursor&)>& change)
{
    if (!editable())
        return false;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    change(cursor);
    cursor.endEditBlock();
    setTextCursor(cursor);
    return true;
}

bool DBRichEdit::insertFragment(const QTextDocumentFragment& fragment)
{
    // Inserted into a paragraph, the fragment's first paragraph would take
    // that paragraph's format: it goes on paragraphs of its own instead.
    QTextDocument scratch;
    QTextCursor(&scratch).insertFragment(fragment);
    const QTextBlockFormat first = scratch.firstBlock().blockFormat();
    return edit([&](QTextCursor& cursor) {
        cursor.removeSelectedText();
        if (!cursor.atBlockStart())
            cursor.insertBlock();
        if (!cursor.atBlockEnd()) {
            cursor.insertBlock();
            cursor.movePosition(QTextCursor::PreviousBlock);
        }
        cursor.setBlockFormat(first);
        cursor.insertFragment(fragment);
    });
}

bool DBRichEdit::event(QEvent* event)
{
    if (controls::overrideShortcut(event, m_link))
        return true;
    return QTextEdit::event(event);
}

void DBRichEdit::keyPressEvent(QKeyEvent* event)
{
    if (controls::leavesToShortcuts(event)) {
        event->ignore(); // X11's Ctrl+D, Ctrl+K... would delete text
        return;
    }
    if (controls::isEscape(event) && m_link.field()) {
        m_link.reset();
        event->accept();
        return;
    }
    if (controls::changesText(event, true, tabChangesFocus()) && !editable()) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void DBRichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !editable())
        return;
    QTextEdit::inputMethodEvent(event);
}

void DBRichEdit::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    controls::writeKeepingFocus(this, m_link, [this] { selectAll(); });
}

bool DBRichEdit::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void DBRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (source->hasText() && editable())
        insertPlainText(source->text());
}

void DBRichEdit::dropEvent(QDropEvent* event)
{
    if (!editable()) {
        event->ignore();
        return;
    }
    QTextEdit::dropEvent(event);
}
