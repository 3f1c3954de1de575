#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

// What the phrase picker and the standard conclusions window share.
namespace insertion {

// Puts `text` on the system clipboard as plain text, replacing whatever it
// held, and has the main window's report editor paste it: at the caret, over
// the selection, nothing added, and only while the exam is being edited.
void pasteIntoReport(const QString& text);

// Gives a window its outer size (frame included) and centres it on the main
// window, kept inside the screen; for the window's first showing.
void placeOverMainWindow(QWidget* window, const QSize& outer);

// The hints of both windows' navigators, one per button kind in the
// navigator's order, each with a trailing blank.
QStringList navigatorHints();

} // namespace insertion
