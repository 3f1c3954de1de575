#include "report/Rel.h"

TRelatorio* Relatorio = nullptr;

TRelatorio::TRelatorio(QObject* parent) : QObject(parent) { setObjectName("Relatorio"); }

TRelatorio::~TRelatorio() { Relatorio = nullptr; }

// Composition and output come with the report engine.
void TRelatorio::print() {}
void TRelatorio::preview() {}
