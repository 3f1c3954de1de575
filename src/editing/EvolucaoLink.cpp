#include "editing/EvolucaoLink.h"

namespace evolucao {

namespace {
Opener& installedOpener()
{
    static Opener opener;
    return opener;
}
} // namespace

void install(Opener opener) { installedOpener() = std::move(opener); }

void open(const QString& site, MakeCurrent makeCurrent)
{
    if (installedOpener())
        installedOpener()(site, std::move(makeCurrent));
}

} // namespace evolucao
