#include "platform/dicom/Document.h"

#include <QFile>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcvrpn.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <dcmtk/oflog/oflog.h>

namespace dicom {

QString Code::text() const
{
    return QString("%1 %2 «%3»").arg(value, scheme, meaning);
}

namespace {

// Containers nest a few levels in a real report; a file nested far deeper is
// refused rather than followed.
constexpr int kMaxDepth = 64;

// DCMTK logs its warnings to the standard error stream; the reader says what
// matters itself.
void quietLibrary()
{
    static const bool done = [] {
        OFLog::configure(OFLogger::OFF_LOG_LEVEL);
        return true;
    }();
    (void)done;
}

// DCMTK's network code turns the correction of input data off for the whole
// process when it receives a data set, and leaves it off; without it the
// padding of a UID is part of its value and the report is refused. A report
// is read with the correction on, and the setting is given back afterwards.
class InputCorrection {
public:
    InputCorrection() { dcmEnableAutomaticInputDataCorrection.set(OFTrue); }
    ~InputCorrection() { dcmEnableAutomaticInputDataCorrection.set(m_before); }

private:
    const OFBool m_before = dcmEnableAutomaticInputDataCorrection.get();
};

QString text(const OFString& s) { return QString::fromUtf8(s.c_str(), qsizetype(s.length())); }

Code codeOf(const DSRCodedEntryValue& v)
{
    return {text(v.getCodeValue()), text(v.getCodingSchemeDesignator()), text(v.getCodeMeaning())};
}

// "TESTE^ANA^MARIA^^" as the practice writes a name: "ANA MARIA TESTE".
QString displayName(const OFString& personName)
{
    OFString family, given, middle, prefix, suffix;
    DcmPersonName::getNameComponentsFromString(personName, family, given, middle, prefix, suffix);
    QStringList parts;
    for (const OFString* part : {&prefix, &given, &middle, &family, &suffix})
        parts << text(*part);
    return parts.join(' ').simplified();
}

QDate dateOf(const OFString& da) { return QDate::fromString(text(da).trimmed(), "yyyyMMdd"); }

// TM: "HHMMSS.FFFFFF", "HHMMSS", "HHMM" or "HH".
QTime timeOf(const OFString& tm)
{
    const QString t = text(tm).trimmed().section('.', 0, 0);
    if (t.size() < 2 || t.size() % 2 != 0 || t.size() > 6)
        return {};
    bool ok = true;
    int parts[3] = {0, 0, 0};
    for (int i = 0; i < t.size() / 2 && ok; ++i)
        parts[i] = t.mid(2 * i, 2).toInt(&ok);
    return ok ? QTime(parts[0], parts[1], parts[2]) : QTime();
}

bool isFindingSite(const Code& c) { return c.is("363698007", "SCT") || c.is("G-C0E3", "SRT"); }
bool isImageMode(const Code& c)
{
    return c.is("G-0373", "SRT") || c.meaning.compare("Image Mode", Qt::CaseInsensitive) == 0;
}

// The echocardiography reports: the adult procedure report and the three of
// the paediatric, fetal and congenital template.
bool isEchoReport(const Code& title)
{
    if (title.scheme != "DCM")
        return false;
    for (const char* value : {"125200", "125195", "125196", "125197"})
        if (title.value == QLatin1String(value))
            return true;
    return false;
}

// Where an item stands: what the containers around it say of it.
struct Context {
    Code findingSite;
    Code imageMode;
};

// Walks the report with the tree's cursor: every step that goes down comes
// back up, so the cursor stands where it started when a step returns.
class Walk {
public:
    explicit Walk(DSRDocumentTree& tree) : m_tree(tree) {}

    std::vector<Measurement> measurements;

    // The cursor stands on a container.
    void container(Context context, int depth)
    {
        if (depth > kMaxDepth)
            throw ReadError(QString("o relatório tem contentores aninhados a mais de %1 níveis.").arg(kMaxDepth));
        // A container's own modifiers hold for everything inside it.
        forEachChild([&](DSRContentItem& item) { qualify(context, item); });
        forEachChild([&](DSRContentItem& item) {
            if (item.getValueType() == DSRTypes::VT_Container)
                container(context, depth + 1);
            else if (item.getValueType() == DSRTypes::VT_Num)
                measurement(item, context);
        });
    }

private:
    template <typename Step>
    void forEachChild(Step step)
    {
        if (!m_tree.goDown())
            return;
        do
            step(m_tree.getCurrentContentItem());
        while (m_tree.gotoNext());
        m_tree.goUp();
    }

    static void qualify(Context& context, const DSRContentItem& modifier)
    {
        if (modifier.getValueType() != DSRTypes::VT_Code)
            return;
        const Code name = codeOf(modifier.getConceptName());
        if (isFindingSite(name))
            context.findingSite = codeOf(modifier.getCodeValue());
        else if (isImageMode(name))
            context.imageMode = codeOf(modifier.getCodeValue());
    }

    // The cursor stands on the numeric item.
    void measurement(const DSRContentItem& num, Context context)
    {
        Measurement m;
        m.position = int(measurements.size()) + 1;
        m.conceptName = codeOf(num.getConceptName());
        m.value = text(num.getNumericValue().getNumericValue()).trimmed();
        m.unit = codeOf(num.getNumericValue().getMeasurementUnit());
        forEachChild([&](DSRContentItem& modifier) {
            qualify(context, modifier);
            if (modifier.getValueType() != DSRTypes::VT_Code)
                return;
            const Code name = codeOf(modifier.getConceptName());
            if (name.is("121401", "DCM"))
                m.derivation = codeOf(modifier.getCodeValue());
            else if (name.is("121404", "DCM"))
                m.selectionStatus = codeOf(modifier.getCodeValue());
        });
        m.findingSite = context.findingSite;
        m.imageMode = context.imageMode;
        measurements.push_back(std::move(m));
    }

    DSRDocumentTree& m_tree;
};

void checkSize(qint64 bytes)
{
    if (bytes > kMaxDocumentBytes)
        throw ReadError(QString("tem %1 MB, mais do que os %2 MB que um relatório estruturado pode ter.")
                            .arg(bytes / (1024 * 1024))
                            .arg(kMaxDocumentBytes / (1024 * 1024)));
}

std::unique_ptr<DcmFileFormat> parse(const QByteArray& file)
{
    checkSize(file.size());
    if (file.size() < 132 || file.mid(128, 4) != "DICM")
        throw ReadError("não é um ficheiro DICOM (falta o prefixo «DICM» depois do preâmbulo).");
    DcmInputBufferStream stream;
    stream.setBuffer(file.constData(), offile_off_t(file.size()));
    stream.setEos();
    auto parsed = std::make_unique<DcmFileFormat>();
    parsed->transferInit();
    const OFCondition read = parsed->read(stream);
    parsed->transferEnd();
    if (read.bad())
        throw ReadError(QString("o ficheiro DICOM está truncado ou danificado (%1).").arg(read.text()));
    return parsed;
}

void checkIsReport(DcmDataset& dataset)
{
    OFString sopClass;
    dataset.findAndGetOFString(DCM_SOPClassUID, sopClass);
    if (DSRTypes::sopClassUIDToDocumentType(sopClass) == DSRTypes::DT_invalid)
        throw ReadError(QString("não é um relatório estruturado (SR): a classe SOP é «%1».").arg(text(sopClass)));
}

// Every text of the document in UTF-8, whatever character set it declares;
// text that is not in the declared set is an error, never a name read wrong.
void toUtf8(DcmFileFormat& file)
{
    OFString declared;
    file.getDataset()->findAndGetOFStringArray(DCM_SpecificCharacterSet, declared);
    const OFCondition converted = file.convertToUTF8();
    if (converted.bad())
        throw ReadError(QString("o conjunto de caracteres «%1» não é suportado ou não corresponde ao texto (%2).")
                            .arg(declared.empty() ? QString("ASCII") : text(declared), converted.text()));
}

} // namespace

Document read(const QByteArray& file)
{
    quietLibrary();
    const InputCorrection correction;
    const std::unique_ptr<DcmFileFormat> parsed = parse(file);
    DcmDataset& dataset = *parsed->getDataset();
    checkIsReport(dataset);
    toUtf8(*parsed);

    DSRDocument report;
    const OFCondition read = report.read(dataset, DSRTypes::RF_ignoreRelationshipConstraints
                                                      | DSRTypes::RF_acceptUnknownRelationshipType
                                                      | DSRTypes::RF_acceptInvalidContentItemValue);
    if (read.bad())
        throw ReadError(QString("o relatório estruturado não pode ser lido (%1).").arg(read.text()));
    DSRDocumentTree& tree = report.getTree();
    if (!tree.gotoRoot())
        throw ReadError("o relatório estruturado está vazio.");
    const DSRContentItem& root = tree.getCurrentContentItem();

    Document document;
    document.title = codeOf(root.getConceptName());
    if (!isEchoReport(document.title))
        throw ReadError(QString("é um relatório estruturado de outro tipo (%1), não um relatório de ecocardiografia.")
                            .arg(document.title.text()));
    OFString value, mapping;
    root.getTemplateIdentification(value, mapping);
    document.templateId = text(value);
    report.getSOPInstanceUID(value);
    document.sopInstanceUid = text(value).trimmed();
    if (document.sopInstanceUid.isEmpty() || document.sopInstanceUid.size() > 64)
        throw ReadError(QString("o SOP Instance UID «%1» não é válido.").arg(document.sopInstanceUid.left(80)));
    report.getPatientID(value);
    document.patientId = text(value).trimmed();
    report.getPatientName(value);
    document.patientName = displayName(value);
    report.getPatientBirthDate(value);
    document.birthDate = dateOf(value);
    report.getStudyDate(value);
    document.studyDate = dateOf(value);
    report.getStudyTime(value);
    document.studyTime = timeOf(value);

    Walk walk(tree);
    walk.container({}, 0);
    document.measurements = std::move(walk.measurements);
    return document;
}

Document readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(QString("não pode ser aberto (%1).").arg(file.errorString()));
    checkSize(file.size()); // before anything is read
    return read(file.readAll());
}

} // namespace dicom
