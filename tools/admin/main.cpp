#include "Admin.h"

#include "platform/engine/EngineError.h"

#include <QApplication>
#include <algorithm>
#include <memory>

namespace {

const char* const kUsage = R"(velunor-admin: administração do motor de base de dados do Velunor

Utilização:
  velunor-admin alias set NOME --sqlite DIRECTÓRIO
  velunor-admin alias set NOME --postgres "host=... port=... dbname=... user=..."
  velunor-admin alias list
  velunor-admin alias remove NOME
  velunor-admin create NOME        cria as tabelas numa base de dados vazia
  velunor-admin demo NOME [--patients N] [--exams-per-patient M]
                                   cria as tabelas e preenche-as com dados de demonstração
  velunor-admin check NOME         verifica a integridade da base de dados e abre cada
                                   tabela como o programa, sem nada alterar; indica
                                   cada problema
  velunor-admin export-report NOME PACIENTE EXAME FICHEIRO
                                   grava o relatório (Eco1) do EXAME-ésimo exame do
                                   PACIENTE num ficheiro, tal como está guardado: RTF,
                                   ou texto simples em UTF-8
  velunor-admin import NOME DIRECTÓRIO [--replace]
                                   traz as tabelas antigas (Bddid.DB, eco.DB, Frase.db,
                                   Medico.DB, convencao.DB, TipoExame.db e os seus .MB) do
                                   DIRECTÓRIO para a base de dados, tudo ou nada; com
                                   --replace substitui os registos que ela já tenha
  velunor-admin report-pdf NOME PACIENTE EXAME FICHEIRO
                                   grava o relatório impresso do exame EXAME (o seu
                                   CodigoExame, AAAA-MM-DD HH:MM:SS.mmm, ou - para um
                                   paciente sem exames) do PACIENTE num ficheiro PDF
  velunor-admin backup NOME [FICHEIRO]
                                   grava uma cópia de segurança coerente, mesmo com o
                                   programa aberto (SQLite: verificada; PostgreSQL: pg_dump);
                                   por omissão NOME-data-hora.db (ou .dump) no directório actual
  velunor-admin restore NOME FICHEIRO
                                   verifica a cópia e põe-na no lugar da base de dados,
                                   que é guardada à parte; recusa enquanto estiver em uso
  velunor-admin bsa --height CM --weight KG [--formula haycock|dubois|mosteller]
                                   superfície corporal (por omissão, Haycock)
  velunor-admin zscore LOCAL VALOR [--bsa M2 | --height CM --weight KG | --weeks S[+D]]
                [--reference phn2017|detroit2008|schneider2005] [--formula haycock|dubois|mosteller]
                                   z-score de uma medição (LOCAL: anel_ao, ao, ved...; em mm)
  velunor-admin measurements NOME PACIENTE EXAME [--csv]
                                   as medições do exame EXAME (CodigoExame) do PACIENTE, com
                                   os z-scores; --csv: codigo;valor;unidade;origem;referencia;z
  velunor-admin trend NOME PACIENTE LOCAL [--csv] [--png FICHEIRO]
                                   a medição LOCAL (ao, anel_ao, ved...) em todos os exames do
                                   PACIENTE, do mais antigo ao mais recente, com os z-scores;
                                   --csv: data;idade_meses;valor;unidade;sc;referencia;z;
                                   --png: o gráfico da janela Evolução, 1600 x 1000 píxeis
  velunor-admin settings NOME [--formula haycock|dubois|mosteller] [--reference phn2017|detroit2008]
                                   mostra ou muda a fórmula da superfície corporal e a
                                   referência preferida da clínica
  velunor-admin dicom-import NOME FICHEIRO...
                                   lê os relatórios estruturados DICOM do ecógrafo e guarda
                                   as suas medições, à espera do médico; diz, por ficheiro, a
                                   que paciente e exame pertence e que valores usa
  velunor-admin dicom-listen NOME [--port 11112] [--aetitle VELUNOR]
                                   serviço DICOM (C-STORE, C-ECHO) que recebe os relatórios
                                   estruturados enviados pelo ecógrafo e guarda-os como
                                   dicom-import; corre até ser parado
  velunor-admin phrases export NOME FICHEIRO.csv
                                   grava as frases standard num ficheiro CSV em UTF-8:
                                   colunas Frase;Outros, com essa linha de títulos
  velunor-admin phrases import NOME FICHEIRO.csv
                                   acrescenta às frases as de um ficheiro nesse formato;
                                   um ficheiro com erros é recusado por inteiro
  velunor-admin --help

O registo de aliases é $XDG_CONFIG_HOME/velunor/aliases.ini (~/.config/velunor/aliases.ini).
Uma senha do PostgreSQL, se existir, vem de ~/.pgpass; nunca é pedida.
Numa base de dados SQLite o Velunor grava ao fechar, uma vez por dia, uma cópia em
DIRECTÓRIO/backups (guarda as dos últimos 7 dias e as das últimas 4 semanas); o
registo das cópias fica em DIRECTÓRIO/backups.log.
)";

int usage(QTextStream& err, const QString& why)
{
    err << "velunor-admin: " << why << "\n\n" << kUsage;
    return 2;
}

int intOption(const QStringList& args, const QString& name, int fallback, bool* ok)
{
    const int at = int(args.indexOf(name));
    if (at < 0)
        return fallback;
    const int value = at + 1 < args.size() ? args[at + 1].toInt(ok) : 0;
    if (at + 1 >= args.size() || value < 0)
        *ok = false;
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    // Composing a report measures text, which takes the fonts of a GUI
    // application, and a chart draws with widgets; the tool never shows a window.
    const bool draws = argc > 1
        && (qstrcmp(argv[1], "report-pdf") == 0
            || (qstrcmp(argv[1], "trend") == 0 && std::any_of(argv + 2, argv + argc, [](const char* a) {
                   return qstrcmp(a, "--png") == 0;
               })));
    if (draws)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        draws ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QTextStream out(stdout), err(stderr);
    admin::Io io{out, err};
    const QStringList args = app->arguments().mid(1);
    if (args.isEmpty())
        return usage(err, "falta o comando.");
    const QString command = args.first();
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            out << kUsage;
            return 0;
        }
        if (command == "alias")
            return admin::aliasCommand(args.mid(1), io);
        if (command == "bsa")
            return admin::bsaCommand(args.mid(1), io);
        if (command == "zscore")
            return admin::zscoreCommand(args.mid(1), io);
        if (command == "phrases")
            return admin::phrasesCommand(args.mid(1), io);
        if (args.size() < 2)
            return usage(err, QString("o comando %1 precisa do nome do alias.").arg(command));
        const QString alias = args[1];
        if (command == "create" && args.size() == 2)
            return admin::createCommand(alias, io);
        if (command == "check" && args.size() == 2)
            return admin::checkCommand(alias, io);
        if (command == "demo") {
            bool ok = true;
            const int patients = intOption(args, "--patients", 60, &ok);
            const int exams = intOption(args, "--exams-per-patient", 3, &ok);
            if (!ok || args.size() % 2 != 0)
                return usage(err, "as opções de demo são --patients N e --exams-per-patient M.");
            return admin::demoCommand(alias, patients, exams, io);
        }
        if (command == "export-report" && args.size() == 5) {
            bool okPatient = false, okExam = false;
            const int patient = args[2].toInt(&okPatient);
            const int exam = args[3].toInt(&okExam);
            if (!okPatient || !okExam || exam < 1)
                return usage(err, "PACIENTE e EXAME são números (o primeiro exame é 1).");
            return admin::exportReportCommand(alias, patient, exam, args[4], io);
        }
        if (command == "backup" && args.size() <= 3)
            return admin::backupCommand(alias, args.value(2), io);
        if (command == "restore" && args.size() == 3)
            return admin::restoreCommand(alias, args[2], io);
        if (command == "import" && (args.size() == 3 || (args.size() == 4 && args[3] == "--replace")))
            return admin::importCommand(alias, args[2], args.size() == 4, io);
        if (command == "measurements" && (args.size() == 4 || (args.size() == 5 && args[4] == "--csv"))) {
            bool ok = false;
            const int patient = args[2].toInt(&ok);
            if (!ok)
                return usage(err, "PACIENTE é o número do paciente (NF).");
            return admin::measurementsCommand(alias, patient, args[3], args.size() == 5, io);
        }
        if (command == "trend" && args.size() >= 4) {
            bool ok = false;
            const int patient = args[2].toInt(&ok);
            if (!ok)
                return usage(err, "PACIENTE é o número do paciente (NF).");
            bool csv = false;
            QString png;
            for (int i = 4; i < args.size(); ++i) {
                if (args[i] == "--csv")
                    csv = true;
                else if (args[i] == "--png" && i + 1 < args.size())
                    png = args[++i];
                else
                    return usage(err, QString("argumento inesperado: %1").arg(args[i]));
            }
            return admin::trendCommand(alias, patient, args[3], csv, png, io);
        }
        if (command == "settings")
            return admin::settingsCommand(alias, args.mid(2), io);
        if (command == "dicom-import" && args.size() >= 3)
            return admin::dicomImportCommand(alias, args.mid(2), io);
        if (command == "dicom-listen") {
            bool ok = true;
            const int port = intOption(args, "--port", 11112, &ok);
            const int at = int(args.indexOf("--aetitle"));
            const QString aeTitle = at > 0 ? args.value(at + 1) : QString("VELUNOR");
            for (int i = 2; i < args.size(); i += 2)
                ok = ok && (args[i] == "--port" || args[i] == "--aetitle") && i + 1 < args.size();
            if (!ok || port < 1 || port > 65535 || aeTitle.isEmpty() || aeTitle.size() > 16)
                return usage(err, "as opções de dicom-listen são --port N (1 a 65535) e --aetitle TÍTULO "
                                  "(até 16 caracteres).");
            return admin::dicomListenCommand(alias, quint16(port), aeTitle, io);
        }
        if (command == "report-pdf" && args.size() == 5) {
            bool ok = false;
            const int patient = args[2].toInt(&ok);
            if (!ok)
                return usage(err, "PACIENTE é o número do paciente (NF).");
            return admin::reportPdfCommand(alias, patient, args[3], args[4], io);
        }
        return usage(err, QString("comando desconhecido ou argumentos errados: %1").arg(args.join(' ')));
    } catch (const engine::EngineError& e) {
        err << "velunor-admin: " << e.text() << "\n";
        return 1;
    }
}
