#include "data/controls/ControlSupport.h"

#include "data/DataSource.h"
#include "platform/ui/Application.h"

#include <QKeyEvent>
#include <QKeySequence>

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
