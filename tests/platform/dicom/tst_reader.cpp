#include "clinical/Sites.h"
#include "common/SrDocuments.h"
#include "common/TestMain.h"
#include "data/Received.h"
#include "platform/dicom/Document.h"
#include "platform/dicom/Sites.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace srtest;

// The reader of the echo machine's structured reports and the choice of the
// values Velunor keeps, on reports written by DCMTK as the machines write them.
class TestDicomReader : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const Report& r, const QString& name = "sr.dcm")
    {
        const QString path = dir.filePath(name);
        writeFile(r, path);
        return path;
    }

    static const dicom::SiteValue* value(const dicom::Selection& s, const QString& code)
    {
        for (const dicom::SiteValue& v : s.values)
            if (v.code == code)
                return &v;
        return nullptr;
    }

    static dicom::Measurement measurement(const char* code, const char* scheme, const char* value, const char* unit)
    {
        dicom::Measurement m;
        m.conceptName = {code, scheme, code};
        m.value = value;
        m.unit = {unit, "UCUM", unit};
        return m;
    }

private slots:
    void readsTheReportAndKeepsOneValuePerSite()
    {
        const dicom::Document d = dicom::readFile(write(typicalReport()));
        QCOMPARE(d.patientId, QString("555"));
        QCOMPARE(d.patientName, QString("ANA TESTE"));
        QCOMPARE(d.birthDate, QDate(2015, 3, 10));
        QCOMPARE(d.studyDate, QDate(2026, 3, 10));
        QCOMPARE(d.studyTime, QTime(10, 15));
        QCOMPARE(d.templateId, QString("5200"));
        QVERIFY(d.title.is("125200", "DCM"));
        QCOMPARE(d.measurements.size(), size_t(22));
        // The finding site and the image mode come from the containers; the
        // item's own finding site overrides the container's.
        const dicom::Measurement& first = d.measurements.front();
        QVERIFY(first.findingSite.is("87878005", "SCT"));
        QCOMPARE(first.imageMode.meaning, QString("M mode"));
        const dicom::Measurement& stj = d.measurements[16];
        QVERIFY(stj.conceptName.is("81827009", "SCT"));
        QVERIFY(stj.findingSite.is("443167003", "SCT"));
        QCOMPARE(stj.imageMode.meaning, QString("2D mode"));
        QVERIFY(d.measurements[3].derivation.is("373098007", "SCT"));
        QVERIFY(d.measurements[4].selectionStatus.is("121412", "DCM"));

        const dicom::Selection s = dicom::select(d.measurements);
        const std::pair<const char*, double> expected[] = {{"ved", 32.7}, {"ves", 20}, {"siv", 6.5}, {"pp", 6},
                                                           {"ao", 18},    {"jst", 15}, {"anel_m", 19}, {"ae", 21}};
        QCOMPARE(s.values.size(), std::size(expected));
        for (const auto& [code, mm] : expected) {
            const dicom::SiteValue* v = value(s, code);
            QVERIFY2(v, code);
            QCOMPARE(v->millimetres, mm);
        }
        QCOMPARE(value(s, "ved")->note, QString("M mode; 4 valores do mesmo local: escolhida a média"));
        QCOMPARE(value(s, "ves")->note, QString("M mode"));
        // The fractional shortening written twice is one value not used; so
        // is the diameter that has only the valve for a site.
        QCOMPARE(s.unused.size(), size_t(2));
        QCOMPARE(s.unused[0].reason, QString("medição que o Velunor não usa"));
        QVERIFY(s.unused[1].reason.contains("local que o Velunor não usa: 91134007 SCT «Mitral Valve»"));
    }

    void readsNamesInTheirCharacterSet()
    {
        const struct {
            const char* set;
            const char* personName;
            const char* shown;
        } cases[] = {
            {"ISO_IR 100", "CONCEIÇÃO^JOÃO", "JOÃO CONCEIÇÃO"},
            {"ISO_IR 192", "ÁVILA^INÊS^MARIA^DRA.", "DRA. INÊS MARIA ÁVILA"},
            {"", "TESTE^ANA", "ANA TESTE"},
        };
        for (const auto& c : cases) {
            Report r = typicalReport();
            r.characterSet = c.set;
            r.patientName = QString::fromUtf8(c.personName);
            QCOMPARE(dicom::readFile(write(r)).patientName, QString::fromUtf8(c.shown));
        }
    }

    void refusesWhatItCannotReadWithAClearReason()
    {
        const QString good = write(typicalReport(), "good.dcm");
        auto bytes = [](const QString& path) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        };
        auto withReport = [&](std::function<void(Report&)> change) {
            Report r = typicalReport();
            change(r);
            return bytes(write(r, "changed.dcm"));
        };
        const struct {
            const char* what;
            QByteArray file;
            const char* reason;
        } cases[] = {
            {"text", "isto não é DICOM\n", "não é um ficheiro DICOM"},
            {"empty", "", "não é um ficheiro DICOM"},
            {"truncated", bytes(good).left(bytes(good).size() * 2 / 3), "truncado ou danificado"},
            {"another template",
             withReport([](Report& r) { r.title = {"126000", "DCM", "Imaging Measurement Report"}; }),
             "de outro tipo (126000 DCM «Imaging Measurement Report»)"},
            {"unknown character set", withReport([](Report& r) { r.characterSet = "ISO_IR 999"; }),
             "o conjunto de caracteres «ISO_IR 999»"},
            {"not the declared set", withReport([](Report& r) {
                 r.patientName = "CONCEIÇÃO^JOÃO";
                 r.nameBytesIn = "ISO_IR 100";
             }),
             "o conjunto de caracteres «ISO_IR 192» não é suportado ou não corresponde ao texto"},
            {"undeclared accents", withReport([](Report& r) {
                 r.characterSet = "";
                 r.nameBytesIn = "ISO_IR 100";
                 r.patientName = "CONCEIÇÃO^JOÃO";
             }),
             "o conjunto de caracteres «ASCII»"},
        };
        for (const auto& c : cases) {
            try {
                dicom::read(c.file);
                QFAIL(c.what);
            } catch (const dicom::ReadError& e) {
                QVERIFY2(e.text().contains(QString::fromUtf8(c.reason)), qPrintable(QString(c.what) + ": " + e.text()));
            }
        }

        srtest::writeImageFile(dir.filePath("ct.dcm"));
        QFile huge(dir.filePath("huge.dcm"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(dicom::kMaxDocumentBytes + 1));
        huge.close();
        const std::pair<QString, const char*> files[] = {
            {dir.filePath("ct.dcm"), "não é um relatório estruturado (SR): a classe SOP é «1.2.840.10008.5.1.4.1.1.2»"},
            {huge.fileName(), "tem 32 MB, mais do que os 32 MB"},
            {dir.filePath("missing.dcm"), "não pode ser aberto"},
        };
        for (const auto& [path, reason] : files) {
            try {
                dicom::readFile(path);
                QFAIL(qPrintable(path));
            } catch (const dicom::ReadError& e) {
                QVERIFY2(e.text().contains(QString::fromUtf8(reason)), qPrintable(e.text()));
            }
        }
    }

    // Every site of the table is one the measurements page knows, a length.
    void namesOnlyLengthsThePageKnows()
    {
        for (const dicom::SiteRow& row : dicom::siteTable()) {
            const clinical::Site* site = clinical::findSite(row.code);
            QVERIFY2(site && site->quantity == clinical::Quantity::Length, row.code);
        }
    }

    // Lengths in mm, cm and m; anything else, and a value the measurements
    // page would refuse, is listed with its reason.
    void keepsOnlyWhatItKnows()
    {
        auto diameterAt = [&](const char* site, const char* scheme, const char* value) {
            dicom::Measurement m = measurement("81827009", "SCT", value, "cm");
            m.findingSite = {site, scheme, site};
            return m;
        };
        const struct {
            dicom::Measurement m;
            const char* code;      // kept under this site ...
            double mm;
            const char* reason;    // ... or not used for this reason
        } cases[] = {
            {measurement("29436-3", "LN", "3.2", "cm"), "ved", 32, nullptr},
            {measurement("29436-3", "LN", "32", "mm"), "ved", 32, nullptr},
            {measurement("29436-3", "LN", "0.032", "m"), "ved", 32, nullptr},
            {measurement("29436-3", "LN", "1.15", "cm"), "ved", 11.5, nullptr},
            {measurement("29436-3", "LN", "1.2", "[in_i]"), nullptr, 0, "unidade «[in_i]» que o Velunor não converte"},
            {measurement("29436-3", "LN", "", "cm"), nullptr, 0, "sem valor numérico"},
            {measurement("29436-3", "LN", "0", "cm"), nullptr, 0, "valor impossível para"},
            {measurement("18015-8", "LN", "12", "cm"), nullptr, 0, "valor impossível para"},
            {measurement("99999-9", "LN", "3.2", "cm"), nullptr, 0, "medição que o Velunor não usa"},
            {measurement("81827009", "SCT", "1.2", "cm"), nullptr, 0, "diâmetro sem local"},
            {diameterAt("T-35410", "SRT", "1.4"), "anel_ao", 14, nullptr},
            {diameterAt("113259005", "SCT", "2.1"), "anel_t", 21, nullptr},
            {diameterAt("78480002", "SCT", "0.8"), "apd", 8, nullptr},
        };
        for (const auto& c : cases) {
            dicom::Document d;
            d.measurements = {c.m};
            const dicom::Selection s = received::selection(d);
            const QString label = c.m.conceptName.value + " " + c.m.value + " " + c.m.unit.value;
            if (c.code) {
                QVERIFY2(s.values.size() == 1 && s.values[0].code == c.code, qPrintable(label));
                QCOMPARE(s.values[0].millimetres, c.mm);
            } else {
                QVERIFY2(s.values.empty() && s.unused.size() == 1, qPrintable(label));
                QVERIFY2(s.unused[0].reason.contains(QString::fromUtf8(c.reason)), qPrintable(s.unused[0].reason));
            }
        }
    }

    // Several values of a site: the mean wherever it stands, else the last;
    // a value written twice (with and without its status) is one value.
    void choosesTheMeanElseTheLast()
    {
        auto lvidd = [&](const char* value, bool mean = false, const char* status = nullptr) {
            dicom::Measurement m = measurement("29436-3", "LN", value, "cm");
            if (mean)
                m.derivation = {"373098007", "SCT", "Mean"};
            if (status)
                m.selectionStatus = {status, "DCM", status};
            return m;
        };
        const struct {
            std::vector<dicom::Measurement> ms;
            double mm;
            const char* note;
        } cases[] = {
            {{lvidd("3.0"), lvidd("3.1", true), lvidd("3.5")}, 31, "3 valores do mesmo local: escolhida a média"},
            {{lvidd("3.0"), lvidd("3.5"), lvidd("3.4")}, 34, "3 valores do mesmo local: escolhido o último"},
            {{lvidd("3.2"), lvidd("3.2", false, "121411")}, 32, ""},
            // The chosen value first, its copy without status last: the last.
            {{lvidd("3.3", false, "121411"), lvidd("3.0"), lvidd("3.3")}, 33,
             "2 valores do mesmo local: escolhido o último"},
        };
        for (const auto& c : cases) {
            std::vector<dicom::Measurement> inOrder = c.ms;
            for (size_t i = 0; i < inOrder.size(); ++i)
                inOrder[i].position = int(i) + 1;
            const dicom::Selection s = dicom::select(inOrder);
            QCOMPARE(s.values.size(), size_t(1));
            QCOMPARE(s.values[0].millimetres, c.mm);
            QCOMPARE(s.values[0].note, QString::fromUtf8(c.note));
            QVERIFY(s.unused.empty());
        }
    }
};

VELUNOR_TEST(TestDicomReader)
#include "tst_reader.moc"
