#include "data/Dataset.h"

#include "data/DataSource.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/Values.h"

#include <algorithm>
#include <utility>

using engine::FieldType;

// The detail side of a master/detail pair: hears the master's data source.
class Dataset::MasterLink : public DataLink {
public:
    explicit MasterLink(Dataset& detail) : m_detail(detail) {}

    void dataEvent(DataEvent event, Field* field) override
    {
        if (!m_detail.active())
            return;
        switch (event) {
        case DataEvent::CheckBrowseMode:
            m_detail.checkBrowseMode();
            break;
        case DataEvent::ActiveChanged:
            // A master that closes takes the detail's pending edit with it,
            // unsaved, as closing any record set does.
            if (!masterActive())
                m_detail.discardPendingEdit();
            m_detail.followMaster(true);
            break;
        case DataEvent::Scrolled:
            m_detail.followMaster(true);
            break;
        case DataEvent::DataSetChanged:
            // In browse state the master's current record was read again
            // (after Post, Cancel, Delete or Refresh): the detail reads again
            // too, so that records other programs added appear. Entering edit
            // or insert moves nothing unless the master value changes.
            m_detail.followMaster(m_detail.m_master->state() == DataSetState::Browse);
            break;
        case DataEvent::FieldChanged:
            if (field && field->fieldName().compare(m_detail.m_masterField, Qt::CaseInsensitive) == 0)
                m_detail.followMaster(false);
            break;
        default:
            break;
        }
    }

private:
    bool masterActive() const { return m_detail.m_master && m_detail.m_master->state() != DataSetState::Inactive; }

    Dataset& m_detail;
};

Dataset::Dataset(const QString& name, QObject* parent) : QObject(parent) { setObjectName(name); }

Dataset::~Dataset()
{
    m_masterLink.reset();
    for (DataSource* source : std::vector<DataSource*>(m_sources))
        source->setDataset(nullptr);
}

void Dataset::error(const QString& message) const
{
    throw engine::EngineError(objectName() + ": " + message);
}

// --- fields ------------------------------------------------------------------

Field* Dataset::addField(const engine::FieldDef& def, const QString& memberName)
{
    auto* field = new Field(this, def, int(m_fields.size()));
    field->setObjectName(memberName);
    m_fields.push_back(field);
    return field;
}

void Dataset::clearFields()
{
    for (Field* f : m_fields)
        delete f;
    m_fields.clear();
}

Field* Dataset::findField(const QString& name) const
{
    for (Field* f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

Field* Dataset::fieldByName(const QString& name) const
{
    if (Field* f = findField(name))
        return f;
    error(QString("Field '%1' not found").arg(name));
}

QVariant Dataset::fieldValue(int index) const
{
    if (editing())
        return m_buffer.value(index);
    if (m_current < 0 || m_current >= int(m_records.size()))
        return {};
    return m_records[m_current].values.value(index);
}

void Dataset::setFieldValue(int index, const QVariant& value)
{
    checkActive();
    if (!editing())
        error("Dataset not in edit or insert mode");
    Field* field = m_fields[index];
    if (field->readOnly())
        throw engine::EngineError(QString("Field '%1' cannot be modified").arg(field->displayName()));
    m_buffer[index] = value;
    m_changed[index] = true;
    m_modified = true;
    notify(DataEvent::FieldChanged, field);
}

void Dataset::markModified()
{
    checkActive();
    checkEditing();
    m_modified = true;
}

const engine::Row& Dataset::rowAt(int row) const
{
    if (row == m_current && editing())
        return m_buffer;
    return m_records.at(row).values;
}

QVariantList Dataset::currentIdentity() const
{
    if (m_current < 0 || m_current >= int(m_records.size()))
        return {};
    return m_records[m_current].identity;
}

// --- links -------------------------------------------------------------------

void Dataset::attach(DataSource* source) { m_sources.push_back(source); }

void Dataset::detach(DataSource* source) { std::erase(m_sources, source); }

void Dataset::notify(DataEvent event, Field* field)
{
    deliverToAll(std::vector<DataSource*>(m_sources),
                 [&](DataSource* source) { source->dataEvent(event, field); });
}

void Dataset::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_modified = false;
    notify(DataEvent::StateChanged);
}

// --- checks ------------------------------------------------------------------

void Dataset::checkActive() const
{
    if (!active())
        error("Cannot perform this operation on a closed dataset");
}

void Dataset::prepare()
{
    checkActive();
    if (m_stale)
        followMaster(true);
}

void Dataset::checkCanModify() const
{
    if (!canModify())
        error("Cannot modify a read-only dataset");
}

void Dataset::checkEditing() const
{
    if (!editing())
        error("Dataset not in edit or insert mode");
}

// --- opening and closing -----------------------------------------------------

void Dataset::open()
{
    if (active())
        return;
    m_rangeValue = masterValue();
    m_records = readRecords();
    m_current = m_records.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_records.empty();
    m_state = DataSetState::Browse;
    m_modified = false;
    notify(DataEvent::ActiveChanged);
}

void Dataset::close()
{
    if (!active())
        return;
    // A pending edit is discarded, never saved.
    m_stale = false;
    m_conflict = false;
    m_state = DataSetState::Inactive;
    m_modified = false;
    m_records.clear();
    m_buffer.clear();
    m_current = -1;
    m_bof = m_eof = true;
    afterClose();
    notify(DataEvent::ActiveChanged);
}

// --- moving ------------------------------------------------------------------

void Dataset::first()
{
    prepare();
    checkBrowseMode();
    run(beforeScroll);
    m_current = m_records.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_records.empty();
    notify(DataEvent::Scrolled);
    run(afterScroll);
}

void Dataset::last()
{
    prepare();
    checkBrowseMode();
    run(beforeScroll);
    m_current = int(m_records.size()) - 1;
    m_eof = true;
    m_bof = m_records.empty();
    notify(DataEvent::Scrolled);
    run(afterScroll);
}

void Dataset::moveBy(int distance)
{
    prepare();
    checkBrowseMode();
    run(beforeScroll);
    const bool wasBof = m_bof, wasEof = m_eof;
    if ((distance > 0 && !m_eof) || (distance < 0 && !m_bof)) {
        m_bof = m_eof = false;
        const int count = int(m_records.size());
        int target = m_current + distance;
        if (target >= count) {
            target = count - 1;
            m_eof = true;
        }
        if (target < 0) {
            target = count ? 0 : -1;
            m_bof = true;
        }
        if (count == 0)
            m_bof = m_eof = true;
        const bool moved = target != m_current;
        m_current = target;
        // Running past an end moves nothing but changes BOF or EOF, which
        // the navigators show.
        if (moved || m_bof != wasBof || m_eof != wasEof)
            notify(DataEvent::Scrolled);
    }
    run(afterScroll);
}

void Dataset::setCurrentRow(int row)
{
    prepare();
    // Ending the pending edit may drop an untouched new record, or save one
    // that sorts elsewhere, and shift the rows: find the wanted record again
    // by its identity (only then: it is a search through every record).
    const bool wasEditing = editing();
    const QVariantList wanted = row >= 0 && row < int(m_records.size()) ? m_records[row].identity : QVariantList();
    checkBrowseMode();
    if (const int found = wasEditing ? findIdentity(wanted) : -1; found >= 0)
        row = found;
    row = std::clamp(row, 0, int(m_records.size()) - 1);
    if (row != m_current)
        moveBy(row - m_current);
}

// --- editing -----------------------------------------------------------------

void Dataset::insert()
{
    prepare();
    checkBrowseMode();
    checkCanModify();
    run(beforeInsert);
    run(beforeScroll);
    const int position = std::max(m_current, 0);
    m_records.insert(m_records.begin() + position, engine::Record{});
    m_current = position;
    m_buffer = engine::Row(int(m_fields.size()));
    m_changed = QVector<bool>(int(m_fields.size()), false);
    m_bof = m_eof = false;
    m_state = DataSetState::Insert;
    if (m_master) {
        // The new record belongs to the master's current record.
        const int detail = findField(m_detailField) ? findField(m_detailField)->index() : -1;
        if (detail >= 0) {
            m_buffer[detail] = engine::values::coerce(m_fields[detail]->type(), masterValue());
            m_changed[detail] = true;
        }
    }
    m_modified = false;
    notify(DataEvent::StateChanged);
    notify(DataEvent::DataSetChanged);
    run(afterInsert);
    run(afterScroll);
}

void Dataset::edit()
{
    prepare();
    if (editing())
        return;
    if (m_records.empty()) {
        insert();
        return;
    }
    checkBrowseMode();
    checkCanModify();
    run(beforeEdit);
    m_buffer = m_records[m_current].values;
    m_changed = QVector<bool>(int(m_fields.size()), false);
    setState(DataSetState::Edit);
    notify(DataEvent::DataSetChanged);
    run(afterEdit);
}

void Dataset::post()
{
    checkActive();
    checkEditing();
    notify(DataEvent::UpdateRecord);
    checkEditing(); // a control's write may not leave the state
    notify(DataEvent::CheckBrowseMode);
    run(beforePost);
    const bool inserting = m_state == DataSetState::Insert;
    bool reorder = false;
    engine::Record stored;
    try {
        stored = writeRecord(inserting, m_records[m_current], m_buffer, m_changed, &reorder);
    } catch (const engine::RecordConflict&) {
        // The user's text stays in the edit; cancelling it shows the record
        // as the other user left it.
        m_conflict = true;
        throw;
    }
    m_conflict = false;
    m_records[m_current] = stored;
    m_state = DataSetState::Browse;
    m_modified = false;
    notify(DataEvent::StateChanged);
    if (reorder)
        reloadKeeping(stored.identity, m_current);
    notify(DataEvent::DataSetChanged);
    run(afterPost);
}

void Dataset::cancel()
{
    checkActive();
    if (!editing())
        return;
    notify(DataEvent::CheckBrowseMode);
    run(beforeCancel);
    const bool inserting = m_state == DataSetState::Insert;
    if (inserting)
        run(beforeScroll);
    if (inserting)
        dropCurrentRecord();
    m_buffer.clear();
    if (std::exchange(m_conflict, false))
        rereadAfterConflict();
    if (m_records.empty())
        m_bof = m_eof = true;
    setState(DataSetState::Browse);
    notify(DataEvent::DataSetChanged);
    run(afterCancel);
    if (inserting)
        run(afterScroll);
}

void Dataset::remove()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    prepare();
    if (m_records.empty())
        error("Cannot perform this operation on an empty dataset");
    checkCanModify();
    notify(DataEvent::CheckBrowseMode);
    run(beforeDelete);
    run(beforeScroll);
    try {
        deleteRecord(m_records[m_current]);
    } catch (const engine::RecordConflict&) {
        // Shown as it is now; a record being edited keeps the user's text
        // until the edit is cancelled.
        if (editing()) {
            m_conflict = true;
        } else {
            rereadAfterConflict();
            notify(DataEvent::DataSetChanged);
        }
        throw;
    }
    dropCurrentRecord();
    m_buffer.clear();
    m_bof = m_eof = m_records.empty();
    if (m_state != DataSetState::Browse)
        setState(DataSetState::Browse);
    notify(DataEvent::DataSetChanged);
    run(afterDelete);
    run(afterScroll);
}

void Dataset::refresh()
{
    prepare();
    checkBrowseMode();
    reloadKeeping(currentIdentity(), m_current);
    notify(DataEvent::DataSetChanged);
}

void Dataset::checkBrowseMode()
{
    checkActive();
    notify(DataEvent::CheckBrowseMode);
    if (!editing())
        return;
    notify(DataEvent::UpdateRecord);
    if (m_modified)
        post();
    else
        cancel();
}

// --- finding -----------------------------------------------------------------

namespace {

bool matches(const Field& field, const QVariant& have, const QVariant& want, LocateOptions options)
{
    if (want.isNull())
        return have.isNull();
    if (have.isNull())
        return false;
    if (field.isText()) {
        const QString h = have.toString(), w = want.toString();
        const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return options.partialKey ? h.startsWith(w, cs) : h.compare(w, cs) == 0;
    }
    const QVariant converted = engine::values::coerce(field.type(), want);
    if (converted.isNull())
        return false;
    if (field.isNumeric())
        return have.toDouble() == converted.toDouble();
    return have == converted;
}

} // namespace

bool Dataset::locate(const QString& fieldName, const QVariant& value, LocateOptions options)
{
    prepare();
    run(beforeScroll);
    checkBrowseMode();
    const Field* field = fieldByName(fieldName);
    for (int i = 0; i < int(m_records.size()); ++i) {
        if (matches(*field, m_records[i].values.value(field->index()), value, options)) {
            const bool moved = i != m_current || m_bof || m_eof;
            m_current = i;
            m_bof = m_eof = false;
            if (moved)
                notify(DataEvent::Scrolled);
            run(afterScroll);
            return true;
        }
    }
    return false;
}

void Dataset::gotoCurrent(Dataset& other)
{
    prepare();
    other.prepare();
    checkBrowseMode();
    other.checkBrowseMode();
    if (storeIdentity().isEmpty() || storeIdentity() != other.storeIdentity())
        error("Both datasets must be over the same database table");
    const QVariantList identity = other.currentIdentity();
    run(beforeScroll);
    int row = findIdentity(identity);
    if (row < 0 && !identity.isEmpty()) {
        // A record the other cursor sees but this one has not read yet.
        reloadKeeping(identity, m_current);
        notify(DataEvent::DataSetChanged);
        row = findIdentity(identity);
    }
    if (row < 0)
        error("Record not found");
    const bool moved = row != m_current;
    m_current = row;
    m_bof = m_eof = false;
    if (moved)
        notify(DataEvent::Scrolled);
    run(afterScroll);
}

void Dataset::dropCurrentRecord()
{
    m_records.erase(m_records.begin() + m_current);
    m_current = std::min(m_current, int(m_records.size()) - 1);
}

int Dataset::findIdentity(const QVariantList& identity) const
{
    if (identity.isEmpty())
        return -1;
    for (int i = 0; i < int(m_records.size()); ++i)
        if (m_records[i].identity == identity)
            return i;
    return -1;
}

void Dataset::rereadAfterConflict()
{
    try {
        reloadKeeping(currentIdentity(), m_current);
    } catch (const engine::EngineError&) {
        // A store that cannot be read now leaves the records as they were
        // read before; the next save of this record is refused again.
    }
}

void Dataset::reloadKeeping(const QVariantList& identity, int fallback)
{
    m_records = readRecords();
    int row = findIdentity(identity);
    if (row < 0)
        row = std::min(fallback, int(m_records.size()) - 1);
    if (row < 0 && !m_records.empty())
        row = 0;
    m_current = row;
    m_bof = m_eof = m_records.empty();
}

void Dataset::addRecords(std::vector<engine::Record> records, bool before)
{
    if (records.empty())
        return;
    const int count = int(records.size());
    m_records.insert(before ? m_records.begin() : m_records.end(), std::make_move_iterator(records.begin()),
                     std::make_move_iterator(records.end()));
    if (m_current < 0) {
        m_current = 0;
        m_bof = true;
        m_eof = false;
    } else if (before) {
        m_current += count;
        m_bof = false;
    } else {
        m_eof = false;
    }
    notify(DataEvent::DataSetChanged);
}

// --- writing -----------------------------------------------------------------

engine::Record Dataset::writeRecord(bool, const engine::Record&, const engine::Row&, const QVector<bool>&, bool*)
{
    error("Cannot modify a read-only dataset");
}

void Dataset::deleteRecord(const engine::Record&) { error("Cannot modify a read-only dataset"); }

// --- master and detail -------------------------------------------------------

void Dataset::setMaster(DataSource* master, const QString& masterField, const QString& detailField)
{
    m_master = master;
    m_masterField = masterField;
    m_detailField = detailField;
    m_masterLink = std::make_unique<MasterLink>(*this);
    m_masterLink->setDataSource(master);
}

QVariant Dataset::masterValue() const
{
    if (!m_master || !m_master->dataset() || !m_master->dataset()->active())
        return {};
    const Field* field = m_master->dataset()->findField(m_masterField);
    return field ? field->value() : QVariant();
}

void Dataset::followMaster(bool force)
{
    const QVariant value = masterValue();
    if (!force && !m_stale && value == m_rangeValue)
        return;
    checkBrowseMode();
    run(beforeScroll);
    m_rangeValue = value;
    try {
        m_records = readRecords();
        m_stale = false;
    } catch (...) {
        // The master stands on its new record already. Rather than keep the
        // records of the previous one (a new exam would then be filed under a
        // patient other than the one shown), show none and read again before
        // the next operation uses this record set.
        m_records.clear();
        m_stale = true;
        m_current = -1;
        m_bof = m_eof = true;
        notify(DataEvent::DataSetChanged);
        throw;
    }
    m_current = m_records.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_records.empty();
    notify(DataEvent::DataSetChanged);
    run(afterScroll);
}

void Dataset::discardPendingEdit()
{
    if (!editing())
        return;
    if (m_state == DataSetState::Insert)
        dropCurrentRecord();
    m_buffer.clear();
    setState(DataSetState::Browse);
}
