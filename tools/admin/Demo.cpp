#include "Admin.h"
#include "BulkInsert.h"

#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/Values.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <random>

using engine::Database;

namespace admin {

namespace {

// RTF of paragraphs, the first one bold, in Arial 10 pt; characters outside
// ASCII as Windows-1252 escapes.
QString toRtf(const QStringList& paragraphs)
{
    QString out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
                  "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    for (int i = 0; i < paragraphs.size(); ++i) {
        if (i == 0)
            out += "\\b ";
        for (const QChar c : paragraphs[i]) {
            if (c == '\\' || c == '{' || c == '}')
                out += QString("\\") + c;
            else if (c == '\t')
                out += "\\tab ";
            else if (c.unicode() < 128)
                out += c;
            else if (c.unicode() < 256)
                out += QString("\\'%1").arg(c.unicode(), 2, 16, QChar('0'));
            else
                out += QString("\\u%1?").arg(c.unicode());
        }
        out += i == 0 ? "\\b0\\par\n" : "\\par\n";
    }
    return out + "}";
}

const char* const kFirstNames[] = {
    "ANA", "BEATRIZ", "CAROLINA", "DIOGO", "DUARTE", "FRANCISCO", "GONÇALO", "INÊS", "JOÃO", "LEONOR",
    "MARIA", "MARTIM", "MATILDE", "MIGUEL", "RAFAEL", "RODRIGO", "SANTIAGO", "SOFIA", "TOMÁS", "AFONSO",
    "ALICE", "BENEDITA", "CLARA", "CONSTANÇA", "GABRIEL", "GUILHERME", "HENRIQUE", "LAURA", "LOURENÇO",
    "MADALENA", "MARIANA", "SALVADOR", "VICENTE", "PEDRO", "LARA", "SIMÃO", "CAMILA", "DINIS", "JÚLIA", "ÍRIS"};
const char* const kSurnames[] = {
    "SILVA", "SANTOS", "FERREIRA", "PEREIRA", "OLIVEIRA", "COSTA", "RODRIGUES", "MARTINS", "JESUS", "SOUSA",
    "FERNANDES", "GONÇALVES", "GOMES", "LOPES", "MARQUES", "ALVES", "ALMEIDA", "RIBEIRO", "PINTO", "CARVALHO",
    "TEIXEIRA", "MOREIRA", "CORREIA", "MENDES", "NUNES", "SOARES", "VIEIRA", "MONTEIRO", "CARDOSO", "ROCHA",
    "NEVES", "COELHO", "CRUZ", "CUNHA", "PIRES", "RAMOS", "REIS", "SIMÕES", "ANTUNES", "MATOS", "FONSECA",
    "MACHADO", "ARAÚJO", "BARBOSA", "TAVARES", "CASTRO", "FIGUEIREDO", "AZEVEDO", "FREITAS", "D'ÁVILA"};
const char* const kCities[] = {"Lisboa", "Porto", "Coimbra", "Braga", "Aveiro", "Faro", "Setúbal", "Viseu",
                               "Leiria", "Évora", "Guimarães", "Funchal", "Almada", "Amadora", "Sintra"};
const char* const kStreets[] = {"Rua da Liberdade", "Avenida da República", "Rua de Santa Catarina",
                                "Rua do Almada", "Travessa do Carmo", "Largo da Sé", "Rua Direita",
                                "Avenida dos Aliados", "Rua das Flores", "Praceta José Régio"};
const char* const kRequesters[] = {"Dr. Paulo Meireles (Pediatria)", "Dra. Sara Quintela (Obstetrícia)",
                                   "Dr. Nuno Barreiros (Medicina Geral)", "Centro de Saúde"};

struct ExamType {
    const char* name;
    const char* templ;
};
const ExamType kTypes[] = {
    {"Ecocardiograma Transtorácico Pediátrico",
     "Situs solitus. Levocardia.\nConcordância auriculoventricular e ventriculoarterial.\n"
     "Retornos venosos sistémico e pulmonar normais.\nSeptos interauricular e interventricular íntegros.\n"
     "Válvulas auriculoventriculares e semilunares normais, sem insuficiência ou estenose.\n"
     "Cavidades de dimensões normais. Boa função sistólica biventricular.\n"
     "Arco aórtico à esquerda, sem coartação.\nSem derrame pericárdico.\n\nConclusão: "},
    {"Ecocardiograma Fetal",
     "Idade gestacional:\t__ semanas.\nFeto único.\nSitus solitus. Coração ocupa 1/3 do tórax, ápex à esquerda.\n"
     "Quatro câmaras simétricas. Foramen ovale com fluxo direito-esquerdo.\n"
     "Concordância auriculoventricular e ventriculoarterial. Cruzamento normal das grandes artérias.\n"
     "Arco aórtico e canal arterial normais.\nRitmo regular, FC __ bpm.\n\nConclusão: "},
    {"Ecocardiograma Fetal - Gravidez Gemelar",
     "Gravidez gemelar, __coriónica.\nFeto A: \nFeto B: \n\nConclusão: "},
    {"Eco-Doppler Cardíaco", "Estudo Doppler pulsado, contínuo e a cores.\nGradientes transvalvulares normais.\n\n"
                             "Conclusão: "},
    {"Reavaliação Pós-Operatória", "Cirurgia: \nData: \n\nSem shunts residuais.\nConclusão: "},
};

// What varies from one exam's report to another's, by exam type: a finding
// and its conclusion (an empty finding: a normal study).
struct Finding {
    const char* text;
    const char* conclusion;
};
const Finding kPaediatricFindings[] = {
    {"", "Ecocardiograma normal para a idade."},
    {"", "Coração estruturalmente normal. Sopro inocente."},
    {"Foramen ovale patente, com pequeno shunt esquerdo-direito.",
     "Foramen ovale patente, sem repercussão hemodinâmica."},
    {"Comunicação interventricular perimembranosa restritiva, com gradiente de 64 mmHg.",
     "CIV perimembranosa restritiva. Reavaliação dentro de 1 ano."},
    {"Canal arterial patente, de pequeno calibre, com fluxo esquerdo-direito.",
     "Canal arterial patente de pequeno calibre, sem repercussão."},
    {"Válvula aórtica bicúspide, sem estenose nem insuficiência.", "Válvula aórtica bicúspide normofuncionante."},
    {"Insuficiência mitral ligeira, central.", "Insuficiência mitral ligeira. Sem outras alterações."},
};
const Finding kFetalFindings[] = {
    {"", "Ecocardiograma fetal normal."},
    {"Foco hiperecogénico no ventrículo esquerdo.",
     "Foco hiperecogénico isolado no ventrículo esquerdo, sem significado patológico."},
    {"Extrassístoles auriculares isoladas, conduzidas.", "Extrassistolia auricular isolada. Reavaliar dentro de 4 semanas."},
    {"Ligeira desproporção ventricular, com cavidades direitas no limite superior do normal.",
     "Ligeira desproporção ventricular; coartação não excluída. Reavaliação dentro de 3 semanas."},
};
const Finding kDopplerFindings[] = {
    {"Sem regurgitações valvulares significativas.", "Estudo Doppler normal."},
    {"Insuficiência tricúspide ligeira; pressão sistólica na artéria pulmonar estimada em 28 mmHg.",
     "Insuficiência tricúspide ligeira, sem hipertensão pulmonar."},
    {"Insuficiência pulmonar mínima, fisiológica.", "Estudo Doppler sem alterações significativas."},
};
const Finding kPostOperativeFindings[] = {
    {"Encerramento de CIV perimembranosa com remendo.", "Bom resultado cirúrgico, sem shunt residual."},
    {"Laqueação de canal arterial.", "Canal arterial encerrado. Alta da consulta de Cardiologia."},
    {"Correcção de coartação da aorta.", "Sem recoartação; gradiente no istmo de 12 mmHg."},
};

// A report as the practice writes one for an exam of the type `type` (an
// index of kTypes): the type's template with its blanks filled in, a finding
// and a conclusion. Most reports were edited and saved, so they are RTF with
// the type as a bold title; the others are still the plain text a template
// gives.
QString demoReport(int type, std::mt19937& rng)
{
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto from = [&](const auto& findings) { return findings[pick(int(std::size(findings)))]; };
    const Finding finding = type == 0 ? from(kPaediatricFindings)
        : type <= 2                   ? from(kFetalFindings)
        : type == 3                   ? from(kDopplerFindings)
                                      : from(kPostOperativeFindings);
    QString body = QString::fromUtf8(kTypes[type].templ)
                       .replace("__ semanas", QString("%1 semanas").arg(18 + pick(17)))
                       .replace("FC __ bpm", QString("FC %1 bpm").arg(130 + pick(31)))
                       .replace("__coriónica", pick(3) ? "bicoriónica" : "monocoriónica")
                       .replace("Feto A: ", QString::fromUtf8("Feto A: anatomia cardíaca normal."))
                       .replace("Feto B: ", QString::fromUtf8("Feto B: anatomia cardíaca normal."))
                       .replace("Data: ", QString("Data: %1/20%2").arg(1 + pick(12), 2, 10, QChar('0')).arg(15 + pick(10)));
    const QString text = QString::fromUtf8(finding.text);
    if (type == 4)
        body.replace("Cirurgia: ", "Cirurgia: " + text);
    else if (!text.isEmpty())
        body.replace("\n\nConclusão: ", "\n" + text + "\n\nConclusão: ");
    body += QString::fromUtf8(finding.conclusion);
    if (pick(10) < 3)
        return body;
    return toRtf(QStringList{QString::fromUtf8(kTypes[type].name)} + body.split('\n'));
}

const char* const kPhrases[][2] = {
    {"Sem alterações estruturais.", "uso frequente"},
    {"Foramen ovale patente, com pequeno shunt esquerdo-direito.", ""},
    {"Comunicação interventricular perimembranosa restritiva.", "CIV"},
    {"Canal arterial patente, de pequeno calibre.", ""},
    {"Insuficiência mitral ligeira.", ""},
    {"Insuficiência tricúspide mínima, fisiológica.", ""},
    {"Função sistólica ventricular esquerda preservada.", ""},
    {"Sem derrame pericárdico.", "uso frequente"},
    {"Aneurisma do septo interauricular.", ""},
    {"Válvula aórtica bicúspide, sem estenose.", ""},
    {"Coartação da aorta excluída.", ""},
    {"Pressão sistólica na artéria pulmonar estimada em __ mmHg.", "regurgitação tricúspide"},
    {"Recomenda-se reavaliação dentro de 6 meses.", "seguimento"},
    {"Estudo limitado por janela acústica desfavorável.", ""},
    {"Foco hiperecogénico no ventrículo esquerdo, sem significado patológico.", "fetal"},
};

const char* const kConclusions[][2] = {
    {"Normal", "Ecocardiograma sem alterações.|Estrutura e função cardíacas normais para a idade."},
    {"CIV restritiva", "Comunicação interventricular restritiva.|Sem repercussão hemodinâmica. Profilaxia de "
                       "endocardite segundo as normas. Reavaliar dentro de 1 ano."},
    {"Foramen ovale patente", "Foramen ovale patente.|Achado habitual nesta idade; sem necessidade de "
                              "seguimento."},
    {"Fetal normal", "Ecocardiograma fetal normal.|Não se excluem pequenas comunicações nem alterações "
                     "que só se manifestam após o nascimento."},
    {"Sopro inocente", "Sopro inocente.|Coração estruturalmente normal; alta da consulta de Cardiologia."},
};

} // namespace

void fillDemo(Database& db, int patients, int examsPerPatient, Io io)
{
    QElapsedTimer timer;
    timer.start();
    std::mt19937 rng(20261209);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto chance = [&](int percent) { return pick(100) < percent; };
    const QDate today = QDate::currentDate();

    db.driver().begin();
    try {
        {
            BulkInsert doctors(db, "Medico.DB", {"NOME", "ACTIVO"});
            doctors.add({"Dra. Helena Vasconcelos", true});
            doctors.add({"Dr. Rui Albuquerque", true});
            doctors.add({"Dra. Teresa Magalhães", true});
            doctors.add({"Dr. Joaquim Sampaio", false}); // retired: hidden from the doctor list
            doctors.flush();
        }
        {
            BulkInsert agreements(db, "convencao.DB", {"SIGLA", "ENTIDADE", "ACTIVO"});
            agreements.add({"SNS", "Serviço Nacional de Saúde", true});
            agreements.add({"ADSE", "Instituto de Protecção e Assistência na Doença", true});
            agreements.add({"SAMS", "Serviços de Assistência Médico-Social", false});
            agreements.flush();
        }
        {
            BulkInsert types(db, "TipoExame.db", {"Tipo", "Relatorio"});
            for (const ExamType& t : kTypes)
                types.add({QString::fromUtf8(t.name), QString::fromUtf8(t.templ)});
            types.flush();
        }
        {
            BulkInsert phrases(db, "Frase.db", {"Frase", "Outros"});
            for (const auto& p : kPhrases)
                phrases.add({QString::fromUtf8(p[0]), QString::fromUtf8(p[1])});
            phrases.flush();
        }
        {
            BulkInsert conclusions(db, "Conclusao.DB", {"Nome", "Descricao"});
            for (const auto& c : kConclusions)
                conclusions.add({QString::fromUtf8(c[0]), toRtf(QString::fromUtf8(c[1]).split('|'))});
            conclusions.flush();
        }

        // A few reports of each type, made once: exams share them, so that a
        // million exams take no longer to make than they did without.
        const int kReportsPerType = 24;
        std::vector<std::vector<QString>> reports(std::size(kTypes));
        for (size_t type = 0; type < std::size(kTypes); ++type)
            for (int i = 0; i < kReportsPerType; ++i)
                reports[type].push_back(demoReport(int(type), rng));

        BulkInsert patientRows(db, "Bddid.DB", schema::patientSearchColumns().mid(1));
        BulkInsert examRows(db, "eco.DB", {"CodigoPaciente", "CodigoExame", "Medico", "Idade", "Peso", "Altura",
                                           "DataExame", "ModoD", "Executor", "Eco1"});
        const bool small = patients <= 1000;
        int examCount = 0;
        for (int nf = 1; nf <= patients; ++nf) {
            const QString name = QString::fromUtf8(kFirstNames[pick(std::size(kFirstNames))]) + " "
                + QString::fromUtf8(kSurnames[pick(std::size(kSurnames))]) + " "
                + QString::fromUtf8(kSurnames[pick(std::size(kSurnames))]);
            const bool unborn = chance(5); // fetal exams: no birth date yet
            const QDateTime birth = unborn ? QDateTime() : engine::values::wallClock(today.addDays(-pick(10 * 365)));
            const QString city = QString::fromUtf8(kCities[pick(std::size(kCities))]);
            const int ageYears = unborn ? 0 : int(birth.date().daysTo(today) / 365);
            patientRows.add({
                name,
                QString::fromUtf8(kStreets[pick(std::size(kStreets))]) + QString(", nº %1").arg(1 + pick(200)),
                unborn ? QVariant() : QVariant(birth),
                city,
                today.addDays(-pick(3 * 365)),
                QString("9%1").arg(10000000 + pick(89999999)),
                QVariant(),
                "Solteiro",
                chance(50) ? QVariant(QString::fromUtf8(kRequesters[pick(std::size(kRequesters))])) : QVariant(),
                QVariant(),
                ageYears,
                chance(70) ? "SNS" : "ADSE",
                QString("%1-%2").arg(1000 + pick(8999)).arg(100 + pick(899)),
                city,
                chance(50) ? "M" : "F",
                QString::number(100000000 + pick(899999999)),
                nf,
                pick(101),
                "Centro de Saúde de " + city,
                QString::number(pick(100000)),
            });

            const int count = small ? pick(2 * examsPerPatient + 1) : examsPerPatient;
            // A followed child comes back months apart, so that its course
            // spans years and it grows between visits; a pregnancy is
            // followed weeks apart.
            const int gap = small && !unborn ? 365 : 30;
            QDate date = today.addDays(-pick(900) - gap * count);
            if (!unborn && date < birth.date())
                date = birth.date(); // no exam before the child was born
            for (int e = 0; e < count; ++e) {
                const int room = int(std::max<qint64>(1, date.daysTo(today) / (count - e)));
                date = e + 1 == count && small && chance(30) ? today : date.addDays(1 + pick(std::min(gap, room)));
                if (date > today)
                    date = today;
                const QDateTime stamp = engine::values::wallClock(date, QTime(8 + pick(11), pick(60), pick(60), pick(1000)).addMSecs(e));
                const int months = unborn ? -1 : int(birth.date().daysTo(date) / 30.4375);
                // Fetal exams for the unborn, the others mostly transthoracic.
                const int type = unborn ? (chance(80) ? 1 : 2) : (chance(70) ? 0 : 3 + pick(2));
                const int doctor = chance(5) ? 0 : (chance(5) ? 4 : 1 + pick(3));
                const QString& report = reports[type][pick(kReportsPerType)];
                examRows.add({
                    double(nf),
                    stamp,
                    chance(40) ? QVariant(QString::fromUtf8(kRequesters[pick(std::size(kRequesters))])) : QVariant(),
                    months < 0 ? QVariant() : QVariant(months),
                    unborn ? QVariant() : QVariant(3200 + months * 220 + pick(400)),
                    unborn ? QVariant() : QVariant(qMin(150, 50 + months * 3 / 4 + pick(4))),
                    date,
                    QString::number(type + 1),
                    doctor == 0 ? QVariant() : QVariant(double(doctor)),
                    report,
                });
                ++examCount;
            }
            if (!small && nf % 20000 == 0)
                io.out << "  " << nf << " pacientes..." << Qt::endl;
        }
        patientRows.flush();
        examRows.flush();
        fillDemoMeasurements(db, io);
        db.driver().commit();
        io.out << "Dados de demonstração: " << patients << " pacientes, " << examCount << " exames, 4 médicos "
               << "(1 inactivo), " << std::size(kTypes) << " tipos de exame, " << std::size(kPhrases) << " frases, "
               << std::size(kConclusions) << " conclusões (" << timer.elapsed() << " ms).\n";
    } catch (...) {
        db.driver().rollback();
        throw;
    }
}

} // namespace admin
