#include "clinical/Numbers.h"

#include "clinical/Sites.h"

#include <QRegularExpression>
#include <cmath>

namespace clinical {

QString decimal(double value, int decimals)
{
    // Rounded first, so that -0.004 shows as 0,00 and not as -0,00.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0;
    return QString::number(rounded, 'f', decimals).replace('.', ',');
}

QString signedDecimal(double value)
{
    const QString text = decimal(value, 2);
    return text.startsWith('-') || text == "0,00" ? text : "+" + text;
}

QString shortDecimal(double value)
{
    QString text = decimal(value, 2);
    if (text.contains(',')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith(','))
            text.chop(1);
    }
    return text;
}

QString withUnit(double value, const Site& site)
{
    if (site.quantity == Quantity::Weeks)
        return weeksText(value) + " semanas";
    const QString unit = site.unit();
    return unit.isEmpty() ? shortDecimal(value) : shortDecimal(value) + " " + unit;
}

std::optional<double> parseNumber(const QString& text)
{
    QString t = text.trimmed();
    t.replace(',', '.');
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parseWeeks(const QString& text)
{
    static const QRegularExpression weeksAndDays("^\\s*(\\d{1,2})\\s*\\+\\s*(\\d)\\s*$");
    if (const auto m = weeksAndDays.match(text); m.hasMatch()) {
        const int days = m.captured(2).toInt();
        if (days > 6)
            return std::nullopt;
        return m.captured(1).toInt() + days / 7.0;
    }
    return parseNumber(text);
}

QString weeksText(double weeks)
{
    int whole = int(std::floor(weeks));
    int days = int(std::lround((weeks - whole) * 7));
    if (days == 7) {
        ++whole;
        days = 0;
    }
    return QString("%1+%2").arg(whole).arg(days);
}

} // namespace clinical
