#pragma once

#include <QColor>

class QWidget;

// Fills `w`'s background with `background` and, when `text` is given, writes
// its text in that colour: the plain coloured panels and strips of the windows.
void fillBackground(QWidget* w, const QColor& background, const QColor& text = QColor());
