#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <stdexcept>
#include <vector>

// What Velunor reads from a DICOM structured report of an echocardiography
// exam, as the echo machine writes it (the echocardiography procedure report
// and its paediatric, fetal and congenital sections): who and when, and every
// numeric measurement with what qualifies it. Reading is done by DCMTK's dcmsr;
// nothing here knows about the store.
namespace dicom {

// A coded concept as the document writes it.
struct Code {
    QString value;   // "29436-3"
    QString scheme;  // coding scheme designator: "LN", "SCT", "DCM", "UCUM"...
    QString meaning; // "Left Ventricle Internal End Diastolic Dimension"

    bool isEmpty() const { return value.isEmpty(); }
    bool is(const char* codeValue, const char* codingScheme) const
    {
        return value == QLatin1String(codeValue) && scheme == QLatin1String(codingScheme);
    }
    bool operator==(const Code& other) const { return value == other.value && scheme == other.scheme; }
    // "29436-3 LN «Left Ventricle Internal End Diastolic Dimension»", for messages.
    QString text() const;
};

// One numeric item of the report, with what qualifies it: the finding site
// and the image mode are the item's own modifiers where it has them, and
// otherwise those of the nearest container around it.
struct Measurement {
    int position = 0;      // 1 for the first numeric item of the document
    Code conceptName;
    QString value;         // as written (decimal string); empty when the item has none
    Code unit;             // UCUM
    Code findingSite;
    Code imageMode;
    Code derivation;       // 121401 DCM: "Mean", "Maximum", "Last"...
    Code selectionStatus;  // 121404 DCM: "Mean value chosen", "Most recent value chosen"...
};

struct Document {
    QString sopInstanceUid;
    QString patientId;
    QString patientName;   // given names first, as the practice writes them: "ANA MARIA TESTE"
    QDate birthDate;
    QDate studyDate;
    QTime studyTime;
    Code title;            // the root container's concept (125200 DCM, ...)
    QString templateId;    // "5200", when the document names its template
    std::vector<Measurement> measurements;
};

// A document that cannot be read, with the Portuguese text that says why.
// Nothing of such a document is ever used.
class ReadError : public std::runtime_error {
public:
    explicit ReadError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// A report of a few hundred measurements takes some hundred kilobytes; a file
// far larger than any report is refused before it is read.
constexpr qint64 kMaxDocumentBytes = 32 * 1024 * 1024;

// Reads a DICOM file (PS3.10 format: preamble, "DICM", meta header) holding an
// echocardiography structured report. Throws ReadError.
Document read(const QByteArray& file);
Document readFile(const QString& path);

} // namespace dicom
