#include "data/controls/ControlSupport.h"

#include "data/DataSource.h"
#include "data/controls/FieldLink.h"
#include "platform/ui/Application.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace controls {

bool typesCharacters(const QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    for (QChar c : text)
        if (c.unicode() < 32 || c.unicode() == 127)
            return false;
    return true;
}

bool changesText(const QKeyEvent* event, bool multiLine, bool tabChangesFocus)
{
    if (typesCharacters(event))
        return true;
    // Undo and redo are left out: with nothing typed yet they change nothing.
    static const QKeySequence::StandardKey editing[] = {
        QKeySequence::Paste,           QKeySequence::Cut,
        QKeySequence::Delete,          QKeySequence::Backspace,
        QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine,
    };
    for (QKeySequence::StandardKey key : editing)
        if (event->matches(key))
            return true;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return multiLine;
    case Qt::Key_Tab:
        return multiLine && !tabChangesFocus && !(event->modifiers() & Qt::ControlModifier);
    default:
        return false;
    }
}

bool leavesToShortcuts(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier) || event->key() < Qt::Key_A
        || event->key() > Qt::Key_Z)
        return false;
    for (QKeySequence::StandardKey key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                          QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll})
        if (event->matches(key))
            return false;
    return true;
}

bool isEscape(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
}

bool overrideShortcut(QEvent* event, const FieldLink& link)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (leavesToShortcuts(key))
        return true; // not accepted: the shortcut runs
    if (isEscape(key) && link.field()) {
        event->accept();
        return true;
    }
    return false;
}

bool writeKeepingFocus(QWidget* control, FieldLink& link, const std::function<void()>& selectAll)
{
    try {
        link.updateRecord();
        return true;
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        control->setFocus();
        selectAll();
        Application::report(error);
        // The error box held the focus while it was open; not every window
        // system gives it back to the window.
        if (!control->isActiveWindow())
            control->activateWindow();
        control->setFocus();
        selectAll();
        return false;
    }
}

void bindDataSource(QObject* context, const QString& path, std::function<void(DataSource*)> connect)
{
    if (auto* app = Application::instance())
        app->bindByName(context, path, [connect](QObject* object) {
            if (auto* source = qobject_cast<DataSource*>(object))
                connect(source);
        });
}

bool runReported(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (...) {
        Application::report(std::current_exception());
        return false;
    }
}

} // namespace controls
