#pragma once

#include <QWidget>

class QProgressBar;

// The splash window shown while the program starts: borderless, on top of
// every window, centred, with the maker's logo, the product's name over its
// shadow, a heart drawing and the progress bar the start-up advances.
class TFormInicio : public QWidget {
    Q_OBJECT
public:
    explicit TFormInicio(QWidget* parent = nullptr);

    QProgressBar* ProgressBar1;

    // Advances the bar by one step and repaints it at once.
    void stepIt();
};
