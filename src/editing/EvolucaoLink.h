#pragma once

#include <QString>
#include <QVariant>
#include <functional>

// The window "Evolução" draws with Qt Charts, which only the programs that
// show it link: it is built in a library of its own (src/course), which
// installs here how it opens. The main window's entries open it through this.
namespace evolucao {

// Makes an exam of the current patient (its CodigoExame) the current exam.
using MakeCurrent = std::function<void(const QVariant& exam)>;
// Opens the window on the current patient with the measurement `site` (a
// site code; empty for the one shown last, or the patient's first).
using Opener = std::function<void(const QString& site, MakeCurrent makeCurrent)>;

void install(Opener opener);
// Does nothing where no window is installed.
void open(const QString& site, MakeCurrent makeCurrent);

} // namespace evolucao
