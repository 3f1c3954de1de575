#pragma once

class QWidget;

// Centres `window`, frame included, on `over` (on the screen when `over` is
// missing or hidden), kept inside the screen: where a secondary window shows
// the first time, whatever the desktop would do (without a window manager
// it would sit in the screen's corner).
void centreOn(QWidget* window, const QWidget* over);
