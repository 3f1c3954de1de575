#include "common/SrDocuments.h"

#include <stdexcept>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/dsrdoc.h>

namespace srtest {

const Coded kLvidd{"29436-3", "LN", "Left Ventricle Internal End Diastolic Dimension"};
const Coded kLvids{"29438-9", "LN", "Left Ventricle Internal Systolic Dimension"};
const Coded kIvsd{"18154-5", "LN", "Interventricular Septum Diastolic Thickness"};
const Coded kLvpwd{"18152-9", "LN", "Left Ventricle Posterior Wall Diastolic Thickness"};
const Coded kLaDimension{"29469-4", "LN", "Left Atrium Antero-posterior Systolic Dimension"};
const Coded kAorticRoot{"18015-8", "LN", "Aortic Root Diameter"};
const Coded kDiameter{"81827009", "SCT", "Diameter"};
const Coded kFractionalShortening{"18051-3", "LN", "Left Ventricular Fractional Shortening"};
const Coded kLeftVentricle{"87878005", "SCT", "Left Ventricle"};
const Coded kAorta{"15825003", "SCT", "Aorta"};
const Coded kMitralValve{"91134007", "SCT", "Mitral Valve"};
const Coded kMitralAnnulus{"65197004", "SCT", "Mitral Annulus"};
const Coded kSinotubularJunction{"443167003", "SCT", "Aortic Sinotubular Junction"};
const Coded kLeftAtrium{"82471001", "SCT", "Left Atrium"};
const Coded kMean{"373098007", "SCT", "Mean"};

namespace {

const Coded kFindings{"121070", "DCM", "Findings"};
const Coded kGroup{"125007", "DCM", "Measurement Group"};
const Coded kFindingSite{"363698007", "SCT", "Finding Site"};
const Coded kImageMode{"G-0373", "SRT", "Image Mode"};
const Coded kDerivation{"121401", "DCM", "Derivation"};
const Coded kSelectionStatus{"121404", "DCM", "Selection Status"};

DSRCodedEntryValue code(const Coded& c) { return DSRCodedEntryValue(c.value, c.scheme, c.meaning); }

void check(const OFCondition& c, const char* what)
{
    if (c.bad())
        throw std::runtime_error(std::string(what) + ": " + c.text());
}

// The report's tree, built by adding each item below a node named by its ID.
class Tree {
public:
    explicit Tree(DSRDocumentTree& tree) : m_tree(tree) {}

    size_t add(size_t parent, DSRTypes::E_RelationshipType relation, DSRTypes::E_ValueType type, const Coded& name)
    {
        m_tree.gotoNode(parent);
        const size_t id = m_tree.addContentItem(relation, type, DSRTypes::AM_belowCurrent);
        if (!id)
            throw std::runtime_error(std::string("cannot add ") + name.meaning);
        check(m_tree.getCurrentContentItem().setConceptName(code(name)), name.meaning);
        return id;
    }
    void addCode(size_t parent, const Coded& name, const Coded& value)
    {
        add(parent, DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code, name);
        check(m_tree.getCurrentContentItem().setCodeValue(code(value)), value.meaning);
    }
    void addNum(size_t parent, const Num& n, bool withStatus)
    {
        const size_t id = add(parent, DSRTypes::RT_contains, DSRTypes::VT_Num, n.name);
        check(m_tree.getCurrentContentItem().setNumericValue(
                  DSRNumericMeasurementValue(n.value, DSRCodedEntryValue(n.unit, "UCUM", n.unit))),
              n.value);
        if (n.site)
            addCode(id, kFindingSite, *n.site);
        if (n.derivation)
            addCode(id, kDerivation, *n.derivation);
        if (withStatus) {
            add(id, DSRTypes::RT_hasProperties, DSRTypes::VT_Code, kSelectionStatus);
            const char* value = QByteArray(n.chosen).startsWith("Mean") ? "121412" : "121411";
            check(m_tree.getCurrentContentItem().setCodeValue(code({value, "DCM", n.chosen})), n.chosen);
        }
    }

private:
    DSRDocumentTree& m_tree;
};

// A person name in the bytes of the report's character set.
OFString encoded(const QString& text, const QString& characterSet)
{
    const QByteArray bytes = characterSet == "ISO_IR 100" ? text.toLatin1() : text.toUtf8();
    return OFString(bytes.constData(), size_t(bytes.size()));
}

} // namespace

Report typicalReport()
{
    Report r;
    r.findings = {
        {kLeftVentricle,
         {{"M mode",
           {{kLvidd, "3.1", "cm"},
            {kLvidd, "3.4", "cm"},
            {kLvidd, "3.3", "cm"},
            {kLvidd, "3.27", "cm", &kMean, "Mean value chosen"},
            {kLvids, "2.0", "cm", nullptr, "Most recent value chosen"},
            {kIvsd, "6.5", "mm", nullptr, "Most recent value chosen"},
            {kLvpwd, "0.6", "cm", nullptr, "Most recent value chosen"},
            {kFractionalShortening, "35", "%", nullptr, "Most recent value chosen"}}}}},
        {kAorta,
         {{"2D mode",
           {{kAorticRoot, "1.8", "cm", nullptr, "Most recent value chosen"},
            {kDiameter, "1.5", "cm", nullptr, "Most recent value chosen", &kSinotubularJunction}}}}},
        {kMitralValve,
         {{"2D mode",
           {{kDiameter, "1.9", "cm", nullptr, "Most recent value chosen", &kMitralAnnulus},
            {kDiameter, "2.0", "cm"}}}}},
        {kLeftAtrium, {{"M mode", {{kLaDimension, "21", "mm", nullptr, "Most recent value chosen"}}}}},
    };
    return r;
}

QString writeFile(const Report& report, const QString& path)
{
    DSRDocument document(DSRTypes::DT_ComprehensiveSR);
    if (!report.characterSet.isEmpty())
        check(document.setSpecificCharacterSet(report.characterSet.toStdString().c_str(), OFFalse), "charset");
    const QString nameBytesIn = report.nameBytesIn.isEmpty() ? report.characterSet : report.nameBytesIn;
    check(document.setPatientName(encoded(report.patientName, nameBytesIn), OFFalse), "name");
    check(document.setPatientID(report.patientId.toStdString().c_str()), "id");
    check(document.setPatientBirthDate(report.birthDate.toStdString().c_str()), "birth");
    check(document.setStudyDate(report.studyDate.toStdString().c_str()), "study date");
    check(document.setStudyTime(report.studyTime.toStdString().c_str()), "study time");

    DSRDocumentTree& tree = document.getTree();
    const size_t root = tree.addContentItem(DSRTypes::RT_isRoot, DSRTypes::VT_Container);
    check(tree.getCurrentContentItem().setConceptName(code(report.title)), "title");
    check(tree.getCurrentContentItem().setTemplateIdentification("5200", "DCMR"), "template");
    Tree items(tree);
    for (const Finding& f : report.findings) {
        const size_t finding = items.add(root, DSRTypes::RT_contains, DSRTypes::VT_Container, kFindings);
        items.addCode(finding, kFindingSite, f.site);
        for (const Group& g : f.groups) {
            const size_t group = items.add(finding, DSRTypes::RT_contains, DSRTypes::VT_Container, kGroup);
            const bool twoD = QByteArray(g.imageMode) == "2D mode";
            items.addCode(group, kImageMode, {twoD ? "G-03A2" : "G-0394", "SRT", g.imageMode});
            for (const Num& n : g.values) {
                items.addNum(group, n, false);
                if (n.chosen)
                    items.addNum(group, n, true);
            }
        }
    }

    DcmFileFormat file;
    check(document.write(*file.getDataset()), "write");
    if (!report.sopInstanceUid.isEmpty())
        check(file.getDataset()->putAndInsertString(DCM_SOPInstanceUID, report.sopInstanceUid.toStdString().c_str()),
              "uid");
    check(file.saveFile(path.toStdString().c_str(), EXS_LittleEndianExplicit), "save");
    OFString uid;
    file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
    return QString::fromStdString(uid.c_str());
}

void writeImageFile(const QString& path)
{
    DcmFileFormat file;
    DcmDataset& data = *file.getDataset();
    char uid[100];
    data.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    data.putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid));
    data.putAndInsertString(DCM_StudyInstanceUID, dcmGenerateUniqueIdentifier(uid));
    data.putAndInsertString(DCM_SeriesInstanceUID, dcmGenerateUniqueIdentifier(uid));
    data.putAndInsertString(DCM_PatientName, "TESTE^ANA");
    data.putAndInsertString(DCM_Modality, "CT");
    check(file.saveFile(path.toStdString().c_str(), EXS_LittleEndianExplicit), "save image");
}

} // namespace srtest
