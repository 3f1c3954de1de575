#include "platform/ui/Fonts.h"

#include <QStringList>
#include <cmath>

QFont faceFont(const QString& family, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(QStringList{family, "Liberation Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont uiFont(int pixelSize, bool bold) { return faceFont("MS Sans Serif", pixelSize, bold); }

int pointsToPixels(double points) { return int(std::lround(points * 96.0 / 72.0)); }
