#pragma once

#include <QString>
#include <optional>
#include <span>

// The measured sites of an echo exam by their codes: the codes are what the
// store keeps (table medida), what the admin tool and the import of the echo
// machine's reports speak, and what the references are keyed by.
namespace clinical {

enum class Quantity { Length, Percent, Pressure, Area, Time, Ratio, Mass, Volume, Weeks };

struct Site {
    const char* code;
    const char* name;   // Portuguese, as the measurements page lists it
    Quantity quantity;
    // The exam table's own column that holds the value, or null when it is
    // kept in medida. The M-mode values have had their columns from the start.
    const char* examColumn;

    QString label() const { return QString::fromUtf8(name); }
    // "mm", "%", "mmHg", "cm²", "ms", "g", "mL", "semanas"; empty for a ratio.
    QString unit() const;
    // Measured by M-mode: judged against the M-mode reference (Detroit 2008).
    bool mMode() const;
};

// Every site, in the order the measurements page lists them; the gestational
// age `ig` comes last.
std::span<const Site> sites();
const Site* findSite(const QString& code);

// The gestational age's code: weeks as a decimal (36+6 is 36.857).
inline constexpr const char* kGestationalAge = "ig";

// Why `value` cannot be a measurement of `site` (zero or negative, a diameter
// over 100 mm, a percentage over 100...), in Portuguese; nothing when it can.
std::optional<QString> refusal(const Site& site, double value);

} // namespace clinical
