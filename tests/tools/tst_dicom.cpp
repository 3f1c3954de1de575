#include "common/AdminTool.h"
#include "common/DicomService.h"
#include "common/SrDocuments.h"
#include "common/TestMain.h"
#include "common/TestStore.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using srtest::Report;

namespace {

// Bytes that are not DICOM, sent straight to a port.
void sendBytes(quint16 port, const QByteArray& bytes)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        (void)::write(s, bytes.constData(), size_t(bytes.size()));
    close(s);
}

} // namespace

// Reports from the echo machine, imported from files and received by the
// storage service, on real stores: whom each belongs to, what is kept, and
// what a copy of the store carries.
class TestDicom : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    std::unique_ptr<QTemporaryDir> dir;
    int ana = 0, rui = 0;

    int addPatient(const QString& name, const QDate& born, const QDateTime& exam)
    {
        auto db = store->connect("FILL");
        db->execute("insert into bddid (nome, dnasc) values (:n, :d)", {name, QDateTime(born, QTime(0, 0))});
        const int nf = db->query("select max(nf) from bddid").rows[0][0].toInt();
        db->execute("insert into eco (codigopaciente, codigoexame, dataexame) values (:p, :e, :d)",
                    {double(nf), exam, exam.date()});
        return nf;
    }

    QString file(const std::function<void(Report&)>& change, const QString& name)
    {
        Report r = srtest::typicalReport();
        change(r);
        const QString path = dir->filePath(name);
        srtest::writeFile(r, path);
        return path;
    }

    // Patient and exam of each received document, by its UID.
    QMap<QString, QString> owners()
    {
        QMap<QString, QString> found;
        for (const auto& row : store->connect("READ")->query("select sopuid, codigopaciente, codigoexame from docrecebido").rows)
            found[row[0].toString()] = row[1].toString() + " " + row[2].toDateTime().toString("yyyy-MM-dd HH:mm");
        return found;
    }

    int count(const char* table) { return store->connect("COUNT")->query(QString("select count(*) from ") + table).rows[0][0].toInt(); }

private slots:
    void init()
    {
        store = std::make_unique<TestStore>();
        dir = std::make_unique<QTemporaryDir>();
        QCOMPARE(runAdmin({"create", "Dorvica2"}).code, 0);
        ana = addPatient("ANA TESTE", QDate(2015, 3, 10), QDateTime(QDate(2026, 3, 10), QTime(9, 0)));
        rui = addPatient("RUI COSTA", QDate(2012, 1, 1), QDateTime(QDate(2026, 3, 10), QTime(11, 0)));
    }
    void cleanup()
    {
        store.reset();
        dir.reset();
    }

    void importsEachFileAndFindsItsPatientAndExam()
    {
        const QString number = QString::number(rui);
        const struct {
            std::function<void(Report&)> change;
            QString line;  // what the import says of it
            QString owner; // NF and exam, empty when unmatched
        } cases[] = {
            {[](Report& r) { r.patientName = "Teste^Ána"; },
             QString("ANA TESTE (NF %1), pelo nome e data de nascimento; exame de 2026-03-10. 8 valor(es) usado(s) "
                     "(ved, ves, siv, pp, ao, jst, anel_m, ae); 2 não usado(s): 18051-3 LN «Left Ventricular "
                     "Fractional Shortening» 35 %: medição que o Velunor não usa; 81827009 SCT «Diameter» 2.0 cm: "
                     "diâmetro de um local que o Velunor não usa: 91134007 SCT «Mitral Valve».")
                 .arg(ana),
             QString("%1 2026-03-10 09:00").arg(ana)},
            {[&](Report& r) {
                 r.patientId = number;
                 r.patientName = "COSTA^RUI";
                 r.birthDate = "20120101";
             },
             QString("RUI COSTA (NF %1), pelo número do paciente; exame de 2026-03-10.").arg(rui),
             QString("%1 2026-03-10 11:00").arg(rui)},
            {[&](Report& r) { r.patientId = number; },
             QString("ANA TESTE (NF %1), pelo nome e data de nascimento; exame de 2026-03-10; o número %2 é de RUI "
                     "COSTA (NF %2), nascido(a) em 2012-01-01, e o relatório diz 2015-03-10.")
                 .arg(ana)
                 .arg(rui),
             QString("%1 2026-03-10 09:00").arg(ana)},
            {[](Report& r) { r.studyDate = "20260401"; },
             QString("ANA TESTE (NF %1), pelo nome e data de nascimento; sem exame em 2026-04-01, por atribuir.").arg(ana),
             QString("%1 ").arg(ana)},
            {[](Report& r) { r.patientName = "TESTE^ANA^MARIA"; },
             "por atribuir: nenhum paciente com este número, nem um só com este nome e data de nascimento.", " "},
        };
        QStringList files;
        for (const auto& c : cases)
            files << file(c.change, QString("caso%1.dcm").arg(files.size()));
        QFile text(dir->filePath("notas.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("medições: 3,2 cm\n") > 0);
        text.close();

        const AdminRun run = runAdmin(QStringList{"dicom-import", "Dorvica2", text.fileName()} + files);
        QCOMPARE(run.code, 1); // the text file; every report is imported all the same
        QVERIFY2(run.err.contains("notas.txt: não é um ficheiro DICOM"), qPrintable(run.err));
        QVERIFY2(run.err.contains("1 de 6 ficheiro(s) não foram importados."), qPrintable(run.err));
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), files.size());
        QStringList expectedOwners;
        for (int i = 0; i < files.size(); ++i) {
            QVERIFY2(lines[i].startsWith(files[i] + ": ") && lines[i].contains(cases[i].line),
                     qPrintable(lines[i] + "\n" + cases[i].line));
            expectedOwners << cases[i].owner;
        }
        QStringList found = owners().values();
        found.sort();
        expectedOwners.sort();
        QCOMPARE(found, expectedOwners);

        // Values in millimetres under their site codes; nothing written into an exam.
        auto db = store->connect("READ");
        const auto ved = db->query("select m.valor, m.nota from medrecebida m join docrecebido d on d.sopuid = m.sopuid "
                                   "where m.codigo = 'ved' and d.codigopaciente = :p and d.dataestudo = :d",
                                   {double(rui), QDate(2026, 3, 10)});
        QCOMPARE(ved.rows.size(), size_t(1));
        QCOMPARE(ved.rows[0][0].toDouble(), 32.7);
        QCOMPARE(ved.rows[0][1].toString(), QString("M mode; 4 valores do mesmo local: escolhida a média"));
        QCOMPARE(db->query("select count(*) from eco where ved is not null or ao is not null").rows[0][0].toInt(), 0);

        const int values = count("medrecebida");
        const AdminRun again = runAdmin({"dicom-import", "Dorvica2", files[0]});
        QCOMPARE(again.code, 0);
        QVERIFY2(again.out.contains(files[0] + ": já recebido em "), qPrintable(again.out));
        QCOMPARE(count("docrecebido"), 5);
        QCOMPARE(count("medrecebida"), values);
    }

    // storescu and echoscu against the service on loopback: verification,
    // reports stored, other classes refused, bad input survived.
    void theServiceStoresWhatTheMachineSends()
    {
        srtest::ListeningService service(VELUNOR_BINARY_DIR "/tools/admin/velunor-admin");
        QString why;
        QVERIFY2(service.ready(&why), qPrintable(why));

        srtest::writeImageFile(dir->filePath("ct.dcm"));
        const QString other = file([](Report& r) { r.title = {"126000", "DCM", "Imaging Measurement Report"}; },
                                   "outro.dcm");
        QVERIFY(service.send(dir->filePath("ct.dcm")) != 0);
        service.send(other); // answered with a failure status
        sendBytes(service.port(), "GET / HTTP/1.0\r\n\r\n");
        const QString good = file([](Report&) {}, "bom.dcm");
        QCOMPARE(service.send(good), 0);
        QCOMPARE(service.send(good), 0); // once more: kept once
        QCOMPARE(service.echo(), 0);
        QCOMPARE(service.process().state(), QProcess::Running);

        QString err;
        const QString out = service.stop(&err);
        QVERIFY2(out.contains("Ligação de ECOGRAFO (127.0.0.1): recusada, nenhuma das classes SOP propostas é um "
                              "relatório estruturado ou a verificação: CTImageStorage (1.2.840.10008.5.1.4.1.1.2)."),
                 qPrintable(out));
        QVERIFY2(err.contains("Documento de ECOGRAFO recusado: é um relatório estruturado de outro tipo"), qPrintable(err));
        QVERIFY2(out.contains(QString("Documento de ECOGRAFO: ANA TESTE (NF %1), pelo nome e data de nascimento; "
                                      "exame de 2026-03-10. 8 valor(es) usado(s)")
                                  .arg(ana)),
                 qPrintable(out));
        QVERIFY2(out.contains("Documento de ECOGRAFO: já recebido em"), qPrintable(out));
        QCOMPARE(owners().values(), QStringList{QString("%1 2026-03-10 09:00").arg(ana)});
        QCOMPARE(store->connect("READ")->query("select origem from docrecebido").rows[0][0].toString(),
                 QString("AE ECOGRAFO"));
    }

    // A copy holds the received reports as they were; a copy of an older
    // store, without their tables, comes back with them empty.
    void copiesOfTheStoreCarryTheReceivedReports()
    {
        auto import = [&](const char* name) {
            const AdminRun r = runAdmin({"dicom-import", "Dorvica2", file([](Report&) {}, name)});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        };
        import("a.dcm");
        const QString withOne = dir->filePath("com-um");
        QCOMPARE(runAdmin({"backup", "Dorvica2", withOne}).code, 0);
        import("b.dcm");
        QCOMPARE(count("docrecebido"), 2);
        AdminRun restore = runAdmin({"restore", "Dorvica2", withOne});
        QVERIFY2(restore.code == 0, qPrintable(restore.err));
        QCOMPARE(count("docrecebido"), 1);

        {
            auto db = store->connect("OLDER");
            db->execute("drop table medrecebida");
            db->execute("drop table docrecebido");
        }
        const AdminRun check = runAdmin({"check", "Dorvica2"});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        QVERIFY2(check.out.contains("A tabela \"MedRecebida.DB\" ainda não existe: o programa cria-a ao arrancar."),
                 qPrintable(check.out));
        const QString older = dir->filePath("antiga");
        QCOMPARE(runAdmin({"backup", "Dorvica2", older}).code, 0);
        import("c.dcm");
        QTest::qWait(1100); // the store replaced before is kept aside under a name to the second
        restore = runAdmin({"restore", "Dorvica2", older});
        QVERIFY2(restore.code == 0, qPrintable(restore.err));
        QCOMPARE(count("docrecebido"), 0);
        QCOMPARE(count("medrecebida"), 0);
        QCOMPARE(runAdmin({"check", "Dorvica2"}).out.contains("ainda não existe"), false);
    }
};

VELUNOR_TEST(TestDicom)
#include "tst_dicom.moc"
