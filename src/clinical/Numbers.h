#pragma once

#include <QString>
#include <optional>

// Numbers as the practice reads and types them: a decimal comma on screen
// and on paper, a comma or a point when typed, gestational ages in weeks and
// days.
namespace clinical {

struct Site;

// `value` with `decimals` decimals and a decimal comma: "1,89".
QString decimal(double value, int decimals);
// A z-score: sign, two decimals, decimal comma ("+0,91", "-1,01", "0,00").
QString signedDecimal(double value);
// A measured value as typed, at most two decimals, no trailing zeros ("8,8").
QString shortDecimal(double value);
// A value of `site` with its unit: "8,8 mm", "32 %", "36+6 semanas".
QString withUnit(double value, const Site& site);

// A number typed with a comma or a point; nothing for text that is not one.
std::optional<double> parseNumber(const QString& text);

// A gestational age typed as weeks and days ("36+6") or as weeks with
// decimals ("36,5", "36"), in weeks; nothing for anything else (days 0 to 6).
std::optional<double> parseWeeks(const QString& text);
// Weeks as weeks and days: 36.857 is "36+6".
QString weeksText(double weeks);

} // namespace clinical
