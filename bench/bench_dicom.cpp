// A report of 200 measurements (each written twice, with and without its
// selection status, as the machines do) received and stored: read, matched
// to a patient of the store by name and birth date, its values kept. Once in
// this process (what each document costs), then sent to velunor-admin
// dicom-listen on loopback, one association per report as the machines send
// them (what the machine waits for). Goal: under 200 ms. The documents are
// deleted afterwards.
//   bench_dicom ALIAS

#include "Measure.h"
#include "common/SrDocuments.h"
#include "data/Received.h"
#include "data/Schema.h"
#include "platform/engine/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>

namespace {

const int kRuns = 15;

// 200 values of the sites Velunor knows, in cm, in 10 findings.
srtest::Report report(const QString& name, const QDate& born, const QDate& study)
{
    static const srtest::Coded* const sites[] = {&srtest::kLvidd, &srtest::kLvids, &srtest::kIvsd, &srtest::kLvpwd,
                                                 &srtest::kLaDimension, &srtest::kAorticRoot};
    static std::vector<QByteArray> values;
    values.clear();
    for (int i = 0; i < 200; ++i)
        values.push_back(QByteArray::number(1.0 + (i % 37) / 10.0));
    srtest::Report r;
    r.patientId = "";
    r.patientName = name;
    r.birthDate = born.toString("yyyyMMdd");
    r.studyDate = study.toString("yyyyMMdd");
    for (int f = 0; f < 10; ++f) {
        srtest::Group group{"2D mode", {}};
        for (int i = 0; i < 20; ++i)
            group.values.push_back({*sites[(f * 20 + i) % 6], values[f * 20 + i].constData(), "cm", nullptr,
                                    "Most recent value chosen"});
        r.findings.push_back({srtest::kLeftVentricle, {group}});
    }
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_dicom ALIAS\n");
        return 2;
    }
    const QString alias = argv[1];
    auto db = engine::Database::connect(alias, "BENCH");
    schema::createMissingTables(*db);
    // A patient of the store with an exam: found by name and birth date.
    const auto found = db->query("select b.nome, b.dnasc, e.dataexame from bddid b join eco e on e.codigopaciente = b.nf "
                                 "where b.dnasc is not null order by b.nf desc limit 1");
    if (found.rows.empty()) {
        std::fprintf(stderr, "bench_dicom: no patient with a birth date and an exam in %s\n", argv[1]);
        return 1;
    }
    const auto& patient = found.rows.front();
    const srtest::Report r =
        report(patient[0].toString().trimmed(), patient[1].toDateTime().date(), patient[2].toDate());

    QTemporaryDir dir;
    QStringList files, uids;
    for (int i = 0; i < 2 * kRuns; ++i) {
        files << dir.filePath(QString("sr%1.dcm").arg(i));
        uids << srtest::writeFile(r, files.last());
    }
    std::printf("store: alias %s; report of 200 measurements (400 numeric items), %lld bytes\n", argv[1],
                QFileInfo(files.first()).size());

    int next = 0;
    received::Stored last;
    std::vector<double> cpu; // ms of this process's processor time: what a busy machine does not inflate
    const bench::Figures inProcess = bench::measure(kRuns, [&] {
        const std::clock_t start = std::clock();
        last = received::store(*db, dicom::readFile(files[next++]), "bench");
        cpu.push_back(1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC);
    });
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-54s %9s %9s\n", "a report read, matched and stored", "median", "best");
    std::printf("  %-52s %6.1f ms %6.1f ms   (goal: under 200 ms: %s; %zu values kept, %s)\n", "in this process",
                inProcess.median, inProcess.min, inProcess.median < 200 ? "met" : "NOT met", last.selection.values.size(),
                last.match.patient ? "matched" : "NOT matched");
    std::printf("  %-52s %6.1f ms %6.1f ms   (processor time of the same)\n", "", cpu[cpu.size() / 2], cpu.front());

    // The same through the network: the service runs beside; each report
    // goes in an association of its own.
    const quint16 port = 11190;
    QProcess service;
    service.start(QCoreApplication::applicationDirPath() + "/../tools/admin/velunor-admin",
                  {"dicom-listen", alias, "--port", QString::number(port)});
    auto send = [&](const QString& file) {
        DcmSCU scu;
        scu.setAETitle("BENCH");
        scu.setPeerHostName("127.0.0.1");
        scu.setPeerPort(port);
        scu.setPeerAETitle("VELUNOR");
        OFList<OFString> syntaxes;
        syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        scu.addPresentationContext(UID_ComprehensiveSRStorage, syntaxes);
        Uint16 status = 0xFFFF;
        if (scu.initNetwork().good() && scu.negotiateAssociation().good()) {
            scu.sendSTORERequest(0, file.toStdString().c_str(), nullptr, status);
            scu.releaseAssociation();
        }
        return status == 0;
    };
    QElapsedTimer waited;
    waited.start();
    while (!send(files[next]) && waited.elapsed() < 20000) // the first one once the service listens
        QThread::msleep(100);
    ++next;
    const bench::Figures sent = bench::measure(kRuns - 1, [&] {
        if (!send(files[next++]))
            std::fprintf(stderr, "bench_dicom: a report was not stored\n");
    });
    service.terminate();
    service.waitForFinished();
    std::printf("  %-52s %6.1f ms %6.1f ms   (goal: under 200 ms: %s)\n", "sent to dicom-listen (association to release)",
                sent.median, sent.min, sent.median < 200 ? "met" : "NOT met");

    int stored = 0;
    for (const QString& uid : uids) {
        stored += db->query("select count(*) from docrecebido where sopuid = :u", {uid}).rows[0][0].toInt();
        db->execute("delete from medrecebida where sopuid = :u", {uid});
        db->execute("delete from docrecebido where sopuid = :u", {uid});
    }
    std::printf("  %d reports stored, deleted again\n", stored);
    return 0;
}
