#pragma once

#include <QString>
#include <vector>

// Structured reports written with DCMTK's DSRDocument in the shape the echo
// machines send: the echocardiography procedure report holds "Findings"
// containers with a finding site, "Measurement Group" containers with an image
// mode, and in them the numeric items; a value the machine chose is written
// twice, once with its selection status and once without.
namespace srtest {

struct Coded {
    const char* value;
    const char* scheme;
    const char* meaning;
};

struct Num {
    Coded name;
    const char* value;              // "3.2"
    const char* unit;               // UCUM: "cm", "mm", "%"
    const Coded* derivation = nullptr; // 121401 DCM: kMean, ...
    const char* chosen = nullptr;      // "Mean value chosen", ...: written a second time with it
    const Coded* site = nullptr;       // the item's own finding site
};

struct Group {
    const char* imageMode; // "2D mode", "M mode"
    std::vector<Num> values;
};

struct Finding {
    Coded site;
    std::vector<Group> groups;
};

struct Report {
    QString patientId = "555";
    QString patientName = "TESTE^ANA"; // DICOM person name
    QString birthDate = "20150310";
    QString studyDate = "20260310";
    QString studyTime = "101500";
    QString characterSet = "ISO_IR 192"; // declared: "ISO_IR 100", "ISO_IR 192", "" or any other
    QString nameBytesIn;                 // the name's bytes, when not in the declared set: "ISO_IR 100"
    QString sopInstanceUid;              // a new one when empty
    Coded title{"125200", "DCM", "Adult Echocardiography Procedure Report"};
    std::vector<Finding> findings;
};

// Known codes of the reports.
extern const Coded kLvidd, kLvids, kIvsd, kLvpwd, kLaDimension, kAorticRoot, kDiameter, kFractionalShortening;
extern const Coded kLeftVentricle, kAorta, kMitralValve, kMitralAnnulus, kSinotubularJunction, kLeftAtrium, kMean;

// A report of an exam: the left ventricle in M mode, its end-diastolic
// dimension measured three times with a mean, values in cm and mm; the aorta
// with its root and the sinotubular junction (a generic diameter at a finding
// site); the mitral annulus (a diameter whose own finding site refines the
// container's); and a fractional shortening in %, which Velunor does not use.
Report typicalReport();

// Writes `report` as a DICOM file; returns its SOP Instance UID.
QString writeFile(const Report& report, const QString& path);

// A DICOM file of another class (CT Image Storage), for refusals.
void writeImageFile(const QString& path);

} // namespace srtest
