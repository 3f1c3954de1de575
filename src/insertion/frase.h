#pragma once

#include <QWidget>

// The phrase picker.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
};

extern TForm1* Form1;
