#pragma once

class QWidget;

// Centres `window`, frame included, on `over` (on the screen when `over` is
// missing or hidden), kept inside the screen: where a secondary window shows
// the first time, whatever the desktop would do (without a window manager
// it would sit in the screen's corner).
void centreOn(QWidget* window, const QWidget* over);

// Opens a secondary window: shows it non-modally, or brings it to the front
// when it shows already, with the keyboard focus on `focus`, where the user
// types. Each opening, not only the first: a button last pressed with the
// mouse would otherwise keep the focus, and the next blank typed press it.
void openWithFocus(QWidget* window, QWidget* focus);
