#pragma once

#include <QFont>

// The interface font ("MS Sans Serif") at a size in pixels, falling back to
// metric-compatible sans faces where it is missing.
QFont uiFont(int pixelSize, bool bold = false);
// A named face at a size in pixels ("Arial" falls back to Liberation Sans).
QFont faceFont(const QString& family, int pixelSize, bool bold = false);
// A size in points at 96 dots per inch, in pixels (8 pt is 11 px).
int pointsToPixels(double points);
