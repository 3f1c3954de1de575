#include "data/ExamMeasurements.h"

#include "data/Clock.h"
#include "data/Connection.h"
#include "platform/engine/EngineError.h"

using clinical::Site;

ExamMeasurements::ExamMeasurements(Table* exams, DataSource* examSource, const QString& databaseName, QObject* parent)
    : QObject(parent), m_exams(exams), m_databaseName(databaseName)
{
    setObjectName("ExamMeasurements");
    m_exams->setCompanion(this);
    setDataSource(examSource);
}

ExamMeasurements::~ExamMeasurements() { m_exams->setCompanion(nullptr); }

void ExamMeasurements::open()
{
    try {
        engine::Database& db = databaseNamed(m_databaseName);
        m_available = measurements::available(db);
        m_practice = measurements::practice(db);
    } catch (const engine::EngineError&) {
        m_available = false;
    }
    m_loaded = false;
}

void ExamMeasurements::dataEvent(DataEvent event, Field*)
{
    switch (event) {
    case DataEvent::StateChanged:
        // A save has written the pending values, a cancel drops them: either
        // way the store is read again for what the exam holds now.
        if (m_exams->state() == DataSetState::Browse || m_exams->state() == DataSetState::Inactive) {
            m_pending.clear();
            m_applied.clear();
            m_loaded = false;
        }
        break;
    case DataEvent::ActiveChanged:
    case DataEvent::DataSetChanged:
    case DataEvent::Scrolled:
        if (!m_exams->editing())
            m_loaded = false; // another exam, or this one read again
        break;
    case DataEvent::UpdateRecord:
    case DataEvent::CheckBrowseMode:
        return;
    default:
        break;
    }
    emit changed();
}

measurements::ExamKey ExamMeasurements::keyOf(const engine::Row& values) const
{
    return {values.value(m_exams->fieldByName("CodigoPaciente")->index()),
            values.value(m_exams->fieldByName("CodigoExame")->index())};
}

void ExamMeasurements::follow()
{
    const measurements::ExamKey key{m_exams->fieldByName("CodigoPaciente")->value(),
                                    m_exams->fieldByName("CodigoExame")->value()};
    if (m_loaded && key.patient == m_key.patient && key.exam == m_key.exam) {
        // A new exam is dated after it is keyed, and a date may be corrected:
        // the reports of the exam's day are read again.
        if (examDate() != m_receivedDate)
            loadReceived();
        return;
    }
    m_key = key;
    m_loaded = true;
    m_read.clear();
    m_pending.clear();
    m_applied.clear();
    m_problem.clear();
    loadReceived();
    // A new exam has no rows yet.
    if (!m_available || m_exams->state() == DataSetState::Insert || !key.valid())
        return;
    try {
        m_read = measurements::read(databaseNamed(m_databaseName), key);
    } catch (const engine::EngineError& e) {
        m_problem = e.text();
    }
}

QDate ExamMeasurements::examDate() const { return m_exams->fieldByName("DataExame")->value().toDate(); }

bool ExamMeasurements::loadReceived()
{
    std::vector<received::Document> found;
    int waiting = 0;
    m_receivedDate = examDate();
    if (m_available) {
        // Reports that cannot be read now are simply not offered.
        try {
            engine::Database& db = databaseNamed(m_databaseName);
            found = received::forExam(db, m_key, m_receivedDate);
            waiting = received::countWaiting(db);
        } catch (const engine::EngineError&) {
        }
    }
    auto uids = [](const std::vector<received::Document>& docs) {
        QStringList out;
        for (const received::Document& d : docs)
            out << d.sopUid;
        return out;
    };
    const bool same = uids(found) == uids(m_received) && waiting == m_waiting;
    m_received = std::move(found);
    m_waiting = waiting;
    return !same;
}

void ExamMeasurements::readReceived()
{
    // Before the page has asked for this exam there is nothing to read again.
    if (m_exams->active() && m_loaded && loadReceived())
        emit changed();
}

std::vector<received::Document> ExamMeasurements::received()
{
    if (!m_exams->active())
        return {};
    follow();
    std::vector<received::Document> left;
    for (const received::Document& d : m_received)
        if (!m_applied.contains(d.sopUid))
            left.push_back(d);
    return left;
}

int ExamMeasurements::waitingCount()
{
    if (m_exams->active())
        follow();
    return m_waiting;
}

void ExamMeasurements::applyReceived(const QStringList& sopUids)
{
    if (!m_exams->editing())
        m_exams->error("Dataset not in edit or insert mode");
    for (const QString& uid : sopUids)
        if (!m_applied.contains(uid))
            m_applied << uid;
    m_exams->markModified();
    emit changed();
}

QString ExamMeasurements::problem()
{
    if (!m_exams->active())
        return {};
    follow();
    return m_problem;
}

std::optional<double> ExamMeasurements::fieldValue(const char* column) const
{
    const QVariant v = m_exams->fieldByName(column)->value();
    return v.isNull() ? std::nullopt : std::optional(v.toDouble());
}

clinical::Values ExamMeasurements::withPending() const
{
    clinical::Values out = m_read;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (*it)
            out.insert(it.key(), **it);
        else
            out.remove(it.key());
    }
    return out;
}

clinical::Values ExamMeasurements::values()
{
    if (!m_exams->active())
        return {};
    follow();
    clinical::Values out = withPending();
    for (const Site& site : clinical::sites())
        if (site.examColumn)
            if (const auto v = fieldValue(site.examColumn))
                out.insert(site.code, *v);
    return out;
}

clinical::Body ExamMeasurements::body()
{
    if (!m_exams->active())
        return {};
    const std::optional<double> age = fieldValue("Idade");
    return clinical::examBody(fieldValue("Peso"), fieldValue("Altura"),
                              age ? std::optional(int(*age)) : std::nullopt, values());
}

void ExamMeasurements::setValue(const Site& site, std::optional<double> value)
{
    if (value)
        if (const auto why = clinical::refusal(site, *value))
            throw engine::EngineError(*why);
    if (site.examColumn) {
        m_exams->fieldByName(site.examColumn)->setValue(value ? QVariant(*value) : QVariant());
        if (site.code == QLatin1String("ved") || site.code == QLatin1String("ves"))
            recomputeShortening();
        return;
    }
    m_exams->checkActive();
    if (!m_exams->editing())
        m_exams->error("Dataset not in edit or insert mode");
    if (!m_available)
        throw engine::EngineError(QString::fromUtf8("A base de dados ainda não tem a tabela das medições (medida); "
                                                    "só os valores do modo M podem ser gravados."));
    follow();
    const auto read = m_read.find(site.code);
    if (read == m_read.end() ? !value : value && *read == *value)
        m_pending.remove(site.code);
    else
        m_pending.insert(site.code, value);
    m_exams->markModified();
    emit changed();
}

void ExamMeasurements::recomputeShortening()
{
    const auto s = clinical::shortening(fieldValue("Ved"), fieldValue("Ves"));
    m_exams->fieldByName("Fenc")->setValue(s ? QVariant(s->fractional) : QVariant());
    m_exams->fieldByName("Fe")->setValue(s ? QVariant(s->ejection) : QVariant());
}

void ExamMeasurements::written(engine::Database& db, const engine::Row& values)
{
    // The pending values stay until the exam is in browse state again: a
    // save that fails after this write keeps them for the next attempt.
    measurements::write(db, keyOf(values), m_read, withPending());
    received::markApplied(db, keyOf(values), m_applied, clock_::now());
}

void ExamMeasurements::removing(engine::Database& db, const engine::Record& record)
{
    if (m_available)
        measurements::remove(db, keyOf(record.values));
}
