#include "data/controls/DBMemo.h"

#include "data/controls/ControlSupport.h"
#include "platform/ui/Application.h"

#include <QKeyEvent>

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_link.onDataChange = [this] { loadText(); };
    m_link.onEditingChange = [this] { updateEditability(); };
    m_link.onUpdateData = [this] { m_link.field()->setText(toPlainText()); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            m_link.setModified();
    });
    updateEditability();
}

void DBMemo::setDataSource(DataSource* source) { m_link.setDataSource(source); }

void DBMemo::setDataSourceName(const QString& path)
{
    controls::bindDataSource(this, path, [this](DataSource* source) { setDataSource(source); });
}

void DBMemo::setDataField(const QString& fieldName) { m_link.setFieldName(fieldName); }

void DBMemo::loadText()
{
    const Field* f = m_link.field();
    const QString shown = f ? (m_focused ? f->text() : f->displayText()) : QString();
    if (shown == toPlainText())
        return;
    m_loading = true;
    setPlainText(shown);
    m_loading = false;
}

void DBMemo::updateEditability() { setReadOnly(!m_link.fieldEditing()); }

bool DBMemo::event(QEvent* event)
{
    if (controls::overrideShortcut(event, m_link))
        return true;
    return QPlainTextEdit::event(event);
}

void DBMemo::keyPressEvent(QKeyEvent* event)
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
    if (!controls::changesText(event, true, tabChangesFocus())) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    bool editable = false;
    if (!controls::runReported([&] { editable = m_link.startEditing(); }) || !editable)
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::focusInEvent(QFocusEvent* event)
{
    if (!m_focused) {
        m_focused = true;
        if (!m_link.modified())
            loadText();
    }
    QPlainTextEdit::focusInEvent(event);
}

void DBMemo::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (!controls::writeKeepingFocus(this, m_link, [this] { selectAll(); }))
        return;
    m_focused = false;
    if (!m_link.modified())
        loadText();
}
