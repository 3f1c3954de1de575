#include "insertion/Insertion.h"

#include "data/controls/DBRichEdit.h"
#include "platform/ui/Application.h"
#include "platform/ui/Placement.h"

#include <QApplication>
#include <QClipboard>

namespace insertion {

void pasteIntoReport(const QString& text)
{
    QApplication::clipboard()->setText(text);
    // The report editor is the main window's member "Editor".
    if (const QWidget* main = Application::instance()->mainWindow())
        if (auto* editor = main->findChild<DBRichEdit*>("Editor"))
            editor->pasteFromClipboard();
}

void placeOverMainWindow(QWidget* window, const QSize& outer)
{
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(outer - frame);
    centreOn(window, Application::instance()->mainWindow());
}

QStringList navigatorHints()
{
    return {"Primeiro ", "Registo ", QString::fromUtf8("Próximo "), QString::fromUtf8("Último "), "Novo ",
            "Apagar ",   "Editar ",  "Gravar ",                     "Cancelar ",                  "Actualizar "};
}

} // namespace insertion
