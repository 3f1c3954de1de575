#pragma once

class QToolBar;

// Empty space of `width` pixels in a tool bar; a divider has a vertical line
// in its middle.
void addToolBarGap(QToolBar* bar, const char* name, int width, bool divider = false);
