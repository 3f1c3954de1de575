#pragma once

#include <QObject>

// The exam report, composed from the current patient, exam, doctor and type.
class TRelatorio : public QObject {
    Q_OBJECT
public:
    explicit TRelatorio(QObject* parent = nullptr);
    ~TRelatorio() override;

    void print();
    void preview();
};

extern TRelatorio* Relatorio;
