#include "platform/ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

namespace {

// The first installed face of `wanted`, then of the metric-compatible ones:
// asking for a missing face would get whatever the font configuration
// substitutes, often a much wider one.
QString installedFace(const QString& wanted)
{
    for (const QString& family : {wanted, QString("Liberation Sans"), QString("Arial"), QString("DejaVu Sans")})
        if (QFontDatabase::hasFamily(family))
            return family;
    return wanted;
}

} // namespace

QFont faceFont(const QString& family, int pixelSize, bool bold)
{
    QFont font(installedFace(family));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont uiFont(int pixelSize, bool bold) { return faceFont("MS Sans Serif", pixelSize, bold); }

int pointsToPixels(double points) { return int(std::lround(points * 96.0 / 72.0)); }
