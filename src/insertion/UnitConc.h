#pragma once

#include <QWidget>

// The standard conclusions window.
class TFormConc : public QWidget {
    Q_OBJECT
public:
    explicit TFormConc(QWidget* parent = nullptr);
    ~TFormConc() override;
};

extern TFormConc* FormConc;
