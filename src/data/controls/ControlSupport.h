#pragma once

#include <QString>
#include <functional>

class DataSource;
class FieldLink;
class QEvent;
class QKeyEvent;
class QObject;
class QWidget;

// Small pieces every data-aware control needs.
namespace controls {

// Whether a key press would change an edit's text: a typed character,
// deleting, cutting, pasting; in a multi-line edit also Enter and, unless
// `tabChangesFocus`, Tab.
bool changesText(const QKeyEvent* event, bool multiLine, bool tabChangesFocus = true);

// Whether a key press types printable characters.
bool typesCharacters(const QKeyEvent* event);

// Whether an edit should leave a key to the program's shortcuts: Ctrl with
// a letter that is not one of the clipboard, undo and select-all keys (some
// desktops make Ctrl+E "end of line" in every edit, which would swallow the
// "Novo Exame" shortcut). Such a key that no shortcut took does nothing in
// the edit either: the edits' keyPressEvent ignores it.
bool leavesToShortcuts(const QKeyEvent* event);

// The shortcut check before a key reaches a bound edit: the program's
// shortcuts go first, and Escape belongs to the edit (it puts the field's
// value back) instead of closing a dialog. True when `event` was one of these.
bool overrideShortcut(QEvent* event, const FieldLink& link);

// Whether a key is a plain Escape.
bool isEscape(const QKeyEvent* event);

// Writes a control's changed text into its field on leaving it. A refusal is
// reported and the control keeps the focus, its text selected by
// `selectAll`; returns whether the text went in.
bool writeKeepingFocus(QWidget* control, FieldLink& link, const std::function<void()>& selectAll);

// Binds to the data source that `path` names ("DataModule1.DataSourcePac"),
// now or as soon as its owner is built; a path naming nothing stays unbound.
void bindDataSource(QObject* context, const QString& path, std::function<void(DataSource*)> connect);

// Runs what a user's key or click asked for. An error it raises ends that
// action and is shown as the event loop would show it (nothing for a silent
// abort); Qt's frames above never see it. Returns whether it completed.
bool runReported(const std::function<void()>& action);

} // namespace controls
