#include "data/controls/DBRichEdit.h"

#include "data/controls/ControlSupport.h"
#include "platform/richtext/Formats.h"
#include "platform/richtext/Leaders.h"
#include "platform/richtext/Pictures.h"
#include "platform/richtext/Rtf.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
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
        if (!cursor.atBlockStart()) {
            cursor.insertBlock();
            dropCopiedGroups(cursor);
        }
        if (!cursor.atBlockEnd()) { // the paragraph's groups go on with its text
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
    const bool newParagraph = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !(event->modifiers() & Qt::ShiftModifier);
    QTextEdit::keyPressEvent(event);
    if (newParagraph && textCursor().atBlockStart()) {
        QTextCursor cursor = textCursor();
        cursor.joinPreviousEditBlock();
        dropCopiedGroups(cursor);
        cursor.endEditBlock();
    }
}

// A paragraph split in two would write the groups the reader kept for it
// twice: the first part keeps them.
void DBRichEdit::dropCopiedGroups(QTextCursor& cursor)
{
    const QTextBlock block = cursor.block(), before = block.previous();
    QTextBlockFormat format = block.blockFormat();
    if (!format.hasProperty(richtext::KeptGroups) || !before.isValid()
        || before.blockFormat().property(richtext::KeptGroups) != format.property(richtext::KeptGroups))
        return;
    format.clearProperty(richtext::KeptGroups);
    cursor.setBlockFormat(format);
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

void DBRichEdit::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    QPainter painter(viewport());
    drawLeaders(painter, event->rect());
}

// The text control draws no tab leaders: they are drawn over it, for the
// blocks in view, where the printed report puts them.
void DBRichEdit::drawLeaders(QPainter& painter, const QRect& area)
{
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const double dpiScale = viewport()->logicalDpiY() / 96.0;
    for (QTextBlock block = cursorForPosition(area.topLeft()).block(); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block).translated(-scroll);
        if (box.top() > area.bottom())
            break;
        if (!block.blockFormat().hasProperty(richtext::TabLeaders) || !block.layout())
            continue;
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            for (const richtext::Leader& leader : richtext::leadersOf(block, line, dpiScale)) {
                QTextCursor cursor(block); // the tab's own format is the one before the caret after it
                cursor.setPosition(block.position() + leader.position + 1);
                const QFont font = cursor.charFormat().font().resolve(document()->defaultFont());
                const QFontMetricsF metrics(font, viewport());
                const double baseline = box.top() + line.y() + line.ascent();
                const double from = box.left() + leader.from, to = box.left() + leader.to;
                painter.setPen(QPen(palette().text().color(), metrics.lineWidth() * (leader.kind == u't' ? 2 : 1)));
                if (leader.kind == u'u' || leader.kind == u't') {
                    const double y = baseline + metrics.underlinePos();
                    painter.drawLine(QPointF(from, y), QPointF(to, y));
                    continue;
                }
                const richtext::LeaderMarks marks = richtext::leaderMarks(leader, metrics);
                painter.setFont(font);
                painter.drawText(QPointF(box.left() + marks.x, baseline), marks.text);
            }
        }
    }
}
