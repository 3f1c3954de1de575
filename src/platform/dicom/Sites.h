#pragma once

#include "platform/dicom/Document.h"

#include <vector>

// Which measurements of a report Velunor keeps, under which of its site codes
// ("ved", "anel_ao", ...), in millimetres. One table says which concept is
// which site; a concept, site or unit it does not know is never guessed.
namespace dicom {

// A row of the table: either a LOINC measurement that names its own site, or
// a finding site (its SNOMED CT code and the older SNOMED RT one) of the
// generic "Diameter" (81827009 SCT, M-02550 SRT).
struct SiteRow {
    const char* loinc;   // pre-coordinated measurement, or nullptr
    const char* sct;     // finding site of a diameter, or nullptr
    const char* srt;
    const char* meaning;
    const char* code;    // the site code of Velunor
    const char* source;  // where the row comes from
};

const std::vector<SiteRow>& siteTable();

// A value kept for a site: the one the report marks "Mean" if there is one,
// otherwise the last; the note says which, and in which image mode.
struct SiteValue {
    QString code;
    double millimetres = 0;
    QString note;
    Measurement source;
};

struct Unused {
    Measurement measurement;
    QString reason; // Portuguese: why it is not used
};

struct Selection {
    std::vector<SiteValue> values; // one per site code, in the order the report first gives each
    std::vector<Unused> unused;    // in the order of the report
};

// The machine writes every chosen value twice, once with its selection status
// and once without: such a pair counts once, as the one with the status.
Selection select(const std::vector<Measurement>& measurements);

} // namespace dicom
