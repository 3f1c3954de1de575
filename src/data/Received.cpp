#include "data/Received.h"

#include "clinical/Sites.h"
#include "data/Clock.h"
#include "data/Schema.h"
#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"

#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace received {

namespace {

QString isoDate(const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString("?"); }

QVariant orNull(const QDate& d) { return d.isValid() ? QVariant(d) : QVariant(); }

struct Patient {
    int nf;
    QString name;
    QDate born;
};

std::vector<Patient> patients(engine::Database& db, const QString& where, const QVariantList& params)
{
    std::vector<Patient> found;
    for (const engine::Row& row : db.query("select nf, nome, dnasc from bddid where " + where, params).rows)
        found.push_back({row[0].toInt(), row[1].toString(), row[2].toDateTime().date()});
    return found;
}

QString who(const Patient& p) { return QString("%1 (NF %2)").arg(p.name.trimmed()).arg(p.nf); }

// The patient whose NF the document gives as its patient ID, unless the
// document's birth date says it is someone else.
std::optional<Patient> byNumber(engine::Database& db, const dicom::Document& document, QStringList* notes)
{
    static const QRegularExpression number("^[0-9]{1,9}$");
    if (!number.match(document.patientId).hasMatch())
        return std::nullopt;
    const std::vector<Patient> found = patients(db, "nf = :nf", {document.patientId.toInt()});
    if (found.empty())
        return std::nullopt;
    const Patient& p = found.front();
    if (document.birthDate.isValid() && p.born.isValid() && p.born != document.birthDate) {
        *notes << QString("o número %1 é de %2, nascido(a) em %3, e o relatório diz %4")
                      .arg(document.patientId, who(p), isoDate(p.born), isoDate(document.birthDate));
        return std::nullopt;
    }
    return p;
}

std::optional<Patient> byNameAndBirth(engine::Database& db, const dicom::Document& document, QStringList* notes)
{
    const QString key = nameKey(document.patientName);
    if (key.isEmpty() || !document.birthDate.isValid())
        return std::nullopt;
    const QDateTime day(document.birthDate, QTime(0, 0));
    std::vector<Patient> same;
    for (const Patient& p : patients(db, "dnasc >= :from and dnasc < :to", {day, day.addDays(1)}))
        if (nameKey(p.name) == key)
            same.push_back(p);
    if (same.size() > 1)
        *notes << QString("%1 pacientes com este nome e data de nascimento").arg(same.size());
    return same.size() == 1 ? std::optional<Patient>(same.front()) : std::nullopt;
}

QString conceptText(const dicom::Measurement& m)
{
    QString text = m.conceptName.text();
    if (!m.findingSite.isEmpty())
        text += QString(" em «%1»").arg(m.findingSite.meaning);
    return text;
}

} // namespace

QString nameKey(const QString& name)
{
    QString plain;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    static const QRegularExpression separators("[^\\p{L}\\p{N}]+");
    QStringList words = plain.toUpper().split(separators, Qt::SkipEmptyParts);
    std::sort(words.begin(), words.end());
    return words.join(' ');
}

Match match(engine::Database& db, const dicom::Document& document)
{
    QStringList notes;
    std::optional<Patient> patient = byNumber(db, document, &notes);
    QString how = "pelo número do paciente";
    if (!patient) {
        patient = byNameAndBirth(db, document, &notes);
        how = "pelo nome e data de nascimento";
    }
    Match m;
    if (!patient) {
        notes.prepend("por atribuir: nenhum paciente com este número, nem um só com este nome e data de nascimento");
        m.note = notes.join("; ");
        return m;
    }
    m.patient = patient->nf;
    const auto exams = db.query("select codigoexame from eco where codigopaciente = :p and dataexame = :d",
                                {double(patient->nf), orNull(document.studyDate)});
    QString exam;
    if (exams.rows.size() == 1) {
        m.exam = exams.rows.front().front().toDateTime();
        exam = "exame de " + isoDate(document.studyDate);
    } else if (exams.rows.empty()) {
        exam = "sem exame em " + isoDate(document.studyDate) + ", por atribuir";
    } else {
        exam = QString("%1 exames em %2, por atribuir").arg(exams.rows.size()).arg(isoDate(document.studyDate));
    }
    notes.prepend(QString("%1, %2; %3").arg(who(*patient), how, exam));
    m.note = notes.join("; ");
    return m;
}

namespace {

bool held(engine::Database& db, const QString& uid, QDateTime* when)
{
    const auto found = db.query("select recebido from docrecebido where sopuid = :u", {uid});
    if (found.rows.empty())
        return false;
    *when = found.rows.front().front().toDateTime();
    return true;
}

void insertDocument(engine::Database& db, const dicom::Document& d, const QString& origin, const Stored& s)
{
    db.execute("insert into docrecebido (sopuid, pacienteid, nome, datanasc, dataestudo, horaestudo, recebido, "
               "origem, codigopaciente, codigoexame, nota) values (:u, :id, :nome, :nasc, :estudo, :hora, :recebido, "
               ":origem, :paciente, :exame, :nota)",
               {d.sopInstanceUid, d.patientId.left(64), d.patientName.left(200), orNull(d.birthDate),
                orNull(d.studyDate), d.studyTime.isValid() ? QVariant(d.studyTime.toString("HH:mm:ss")) : QVariant(),
                s.received, origin.left(120),
                s.match.patient ? QVariant(double(*s.match.patient)) : QVariant(),
                s.match.exam.isValid() ? QVariant(s.match.exam) : QVariant(), s.match.note.left(250)});
}

void insertValue(engine::Database& db, const QString& uid, int order, const QString& code, const QVariant& value,
                 const QString& unit, const dicom::Measurement& m, const QString& note)
{
    db.execute("insert into medrecebida (sopuid, ordem, codigo, valor, unidade, conceito, nota) "
               "values (:u, :o, :c, :v, :un, :conceito, :nota)",
               {uid, order, code, value, unit.left(20), conceptText(m).left(250), note.left(250)});
}

} // namespace

dicom::Selection selection(const dicom::Document& document)
{
    dicom::Selection chosen = dicom::select(document.measurements);
    // A value the measurements page would refuse (a diameter over 100 mm...)
    // is listed as not used, never kept for the doctor to apply.
    std::erase_if(chosen.values, [&](const dicom::SiteValue& v) {
        const clinical::Site* site = clinical::findSite(v.code);
        const bool impossible = !site || clinical::refusal(*site, v.millimetres);
        if (impossible)
            chosen.unused.push_back({v.source, QString("valor impossível para %1: %2 mm")
                                                   .arg(site ? site->label() : v.code)
                                                   .arg(v.millimetres)});
        return impossible;
    });
    return chosen;
}

Stored store(engine::Database& db, const dicom::Document& document, const QString& origin)
{
    Stored s;
    s.selection = selection(document);
    if (held(db, document.sopInstanceUid, &s.received)) {
        s.duplicate = true;
        return s;
    }
    s.match = match(db, document);
    s.received = QDateTime::currentDateTime();
    db.driver().begin();
    try {
        insertDocument(db, document, origin, s);
        int order = 0;
        for (const dicom::SiteValue& v : s.selection.values)
            insertValue(db, document.sopInstanceUid, ++order, v.code, v.millimetres, "mm", v.source, v.note);
        for (const dicom::Unused& u : s.selection.unused) {
            bool number = false;
            const double value = u.measurement.value.toDouble(&number);
            insertValue(db, document.sopInstanceUid, ++order, QString(), number ? QVariant(value) : QVariant(),
                        u.measurement.unit.value, u.measurement, u.reason);
        }
        db.driver().commit();
    } catch (const engine::EngineError&) {
        db.driver().rollback();
        // Another workstation stored the same document in the meantime.
        if (held(db, document.sopInstanceUid, &s.received)) {
            s.duplicate = true;
            return s;
        }
        throw;
    }
    return s;
}

namespace {

const QString kDocumentColumns = "select sopuid, recebido, origem, pacienteid, nome, datanasc, dataestudo, horaestudo, "
                                 "codigopaciente, codigoexame, nota from docrecebido d ";
// Not applied, and without an exam or with one that is gone.
const QString kWaiting = "where d.aplicado is null and (d.codigoexame is null or not exists (select 1 from eco "
                         "where eco.codigopaciente = d.codigopaciente and eco.codigoexame = d.codigoexame))";

std::vector<Document> documents(engine::Database& db, const QString& where, const QVariantList& params)
{
    std::vector<Document> found;
    for (const engine::Row& r : db.query(kDocumentColumns + where, params).rows) {
        Document d{r[0].toString(), r[1].toDateTime(), r[2].toString(), r[3].toString(), r[4].toString(),
                   r[5].toDate(), r[6].toDate(), r[7].toString(),
                   r[8].isNull() ? std::nullopt : std::optional<int>(r[8].toInt()), r[9].toDateTime(),
                   r[10].toString(), {}};
        for (const engine::Row& v : db.query("select codigo, valor, unidade, conceito, nota from medrecebida "
                                             "where sopuid = :u order by ordem",
                                             {d.sopUid})
                                        .rows)
            d.values.push_back({v[0].toString(), v[1].isNull() ? std::nullopt : std::optional(v[1].toDouble()),
                                v[2].toString(), v[3].toString(), v[4].toString()});
        found.push_back(std::move(d));
    }
    return found;
}

// Runs `work` in one transaction of `db`.
void inTransaction(engine::Database& db, const std::function<void()>& work)
{
    db.driver().begin();
    try {
        work();
        db.driver().commit();
    } catch (...) {
        db.driver().rollback();
        throw;
    }
}

} // namespace

bool available(engine::Database& db)
{
    const auto documents = db.describe(schema::tableDocRecebido().fileName);
    return documents && documents->column("Aplicado") && db.describe(schema::tableMedRecebida().fileName);
}

QString Document::label() const
{
    QString when = studyDate.isValid() ? studyDate.toString("dd/MM/yyyy") : QString("data desconhecida");
    if (!studyTime.isEmpty())
        when += " " + studyTime;
    return QString("estudo de %1, %2").arg(when, origin);
}

clinical::Values Document::siteValues() const
{
    clinical::Values out;
    for (const Value& v : values)
        if (!v.code.isEmpty() && v.value)
            out.insert(v.code, *v.value);
    return out;
}

std::vector<Document> forExam(engine::Database& db, const measurements::ExamKey& key, const QDate& examDate)
{
    if (!key.valid())
        return {};
    // A document waiting for its patient's exam of the study date belongs to
    // this exam when no other exam of the patient has that date, as the
    // matching would have found it had the exam existed.
    return documents(db,
                     "where d.aplicado is null and d.codigopaciente = :p and (d.codigoexame = :e or "
                     "(d.codigoexame is null and d.dataestudo = :d and not exists (select 1 from eco "
                     "where eco.codigopaciente = :p and eco.dataexame = :d and eco.codigoexame <> :e))) "
                     "order by d.dataestudo, d.horaestudo, d.recebido",
                     {key.patient, key.exam, orNull(examDate), key.patient, orNull(examDate), key.exam});
}

std::vector<Document> waiting(engine::Database& db) { return documents(db, kWaiting + " order by d.recebido", {}); }

int countWaiting(engine::Database& db)
{
    return db.query("select count(*) from docrecebido d " + kWaiting).rows.front().front().toInt();
}

void markApplied(engine::Database& db, const measurements::ExamKey& key, const QStringList& sopUids,
                 const QDateTime& when)
{
    for (const QString& uid : sopUids)
        if (db.execute("update docrecebido set aplicado = :a, codigoexame = :e where sopuid = :u and "
                       "aplicado is null and codigopaciente = :p and (codigoexame = :e or codigoexame is null)",
                       {when, key.exam, uid, key.patient, key.exam})
            != 1)
            throw engine::RecordConflict(
                "Um documento recebido do ecógrafo foi entretanto aplicado, descartado ou atribuído a outro exame "
                "noutro posto. Nada foi gravado; cancele as alterações e aplique de novo o que estiver recebido.");
}

void assign(engine::Database& db, const QString& sopUid, const measurements::ExamKey& key)
{
    const QString note = QString("atribuído à mão em %1").arg(clock_::today().toString(Qt::ISODate));
    if (db.execute("update docrecebido set codigopaciente = :p, codigoexame = :e, nota = :n where sopuid = :u and "
                   "aplicado is null and exists (select 1 from eco where eco.codigopaciente = :p and "
                   "eco.codigoexame = :e)",
                   {key.patient, key.exam, note, sopUid, key.patient, key.exam})
        != 1)
        throw engine::EngineError("O documento já não está por atribuir, ou o exame já não existe. Nada foi alterado.");
}

void discard(engine::Database& db, const QString& sopUid)
{
    inTransaction(db, [&] {
        if (db.execute("delete from docrecebido where sopuid = :u and aplicado is null", {sopUid}) != 1)
            throw engine::EngineError("O documento já não está por atribuir. Nada foi apagado.");
        db.execute("delete from medrecebida where sopuid = :u", {sopUid});
    });
}

void release(engine::Database& db, const QString& sopUid)
{
    const QString note = QString::fromUtf8("devolvido à lista por atribuir em %1").arg(clock_::today().toString(Qt::ISODate));
    if (db.execute("update docrecebido set codigopaciente = null, codigoexame = null, nota = :n where sopuid = :u "
                   "and aplicado is null",
                   {note, sopUid})
        != 1)
        throw engine::EngineError(QString::fromUtf8("O documento já foi aplicado ou apagado. Nada foi alterado."));
}

std::vector<Exam> examsOf(engine::Database& db, int patient)
{
    std::vector<Exam> exams;
    for (const engine::Row& r : db.query("select codigoexame, dataexame from eco where codigopaciente = :p "
                                         "order by codigoexame desc",
                                         {double(patient)})
                                    .rows)
        exams.push_back({r[0].toDateTime(), r[1].toDate()});
    return exams;
}

} // namespace received
