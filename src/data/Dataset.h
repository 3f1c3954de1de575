#pragma once

#include "data/Field.h"
#include "platform/engine/Types.h"

#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class DataSource;

// Calls `deliver` for every item even when some throw, then rethrows the
// first error: one failing listener must not leave the others showing a
// record the cursor has left.
template <typename Items, typename Deliver>
void deliverToAll(const Items& items, Deliver deliver)
{
    std::exception_ptr first;
    for (auto* item : items) {
        try {
            deliver(item);
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

enum class DataSetState { Inactive, Browse, Edit, Insert };

// What a record set tells the data sources (and through them the controls and
// detail record sets) bound to it.
enum class DataEvent {
    ActiveChanged,   // opened or closed
    DataSetChanged,  // the records or the current record changed as a whole
    Scrolled,        // another record became current
    FieldChanged,    // one field of the current record changed (field given)
    StateChanged,    // browse, edit, insert
    UpdateRecord,    // controls: write your changed text into your fields now
    CheckBrowseMode, // detail record sets: end your pending edit now
};

// Options of Locate; both act on text fields only.
struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;
};

// A record cursor: an ordered set of records with one current record and an
// editing state. Every operation runs its steps, record events included, in
// the fixed order the program's rules rely on; a Before-event may stop an
// operation with SilentAbort, leaving the state as it was. Errors carry the
// record set's name as a prefix ("TableEco: Dataset not in edit or insert mode").
class Dataset : public QObject {
    Q_OBJECT
public:
    using Event = std::function<void(Dataset&)>;

    explicit Dataset(const QString& name, QObject* parent = nullptr);
    ~Dataset() override;

    // --- fields -------------------------------------------------------------
    const std::vector<Field*>& fields() const { return m_fields; }
    Field* findField(const QString& name) const;
    Field* fieldByName(const QString& name) const; // throws when missing

    // --- state --------------------------------------------------------------
    DataSetState state() const { return m_state; }
    bool active() const { return m_state != DataSetState::Inactive; }
    bool editing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_records.empty(); }
    int recordCount() const { return int(m_records.size()); }
    int recNo() const { return m_current; } // 0-based; -1 without records
    bool modified() const { return m_modified; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    virtual bool canModify() const { return active() && !m_readOnly; }

    // --- operations ---------------------------------------------------------
    void open();
    void close();
    void first();
    void prior() { moveBy(-1); }
    void next() { moveBy(1); }
    void last();
    void moveBy(int distance);
    void insert();
    void edit();
    void post();
    void cancel();
    void remove(); // Delete
    void refresh();
    bool locate(const QString& fieldName, const QVariant& value, LocateOptions options);
    // Makes the record on which `other` stands current; both must be over the
    // same stored table of the same database.
    void gotoCurrent(Dataset& other);
    // Ends a pending edit: details first, then Post when modified, else Cancel.
    void checkBrowseMode();
    // Refuses with the closed-dataset error unless open.
    void checkActive() const;
    // Asks the controls to write their changed text into the fields now.
    void updateRecord() { notify(DataEvent::UpdateRecord); }
    // Something saved with the record besides its fields changed (rows of
    // another table that belong to it): the pending edit is then saved, not
    // dropped, when it ends.
    void markModified();

    // --- master and detail --------------------------------------------------
    // This record set shows only the records whose `detailField` equals the
    // master's `masterField`, following the master's current record.
    void setMaster(DataSource* master, const QString& masterField, const QString& detailField);
    DataSource* masterSource() const { return m_master; }

    // --- record events ------------------------------------------------------
    Event beforeInsert, afterInsert, beforeEdit, afterEdit, beforePost, afterPost, beforeCancel, afterCancel,
        beforeDelete, afterDelete, beforeScroll, afterScroll;

    // --- for fields, data sources and controls ------------------------------
    QVariant fieldValue(int index) const;
    void setFieldValue(int index, const QVariant& value);
    // The values of any record, for lists and grids (the record being
    // inserted or edited shows its pending values).
    const engine::Row& rowAt(int row) const;
    void setCurrentRow(int row); // moves as a move by the difference
    void attach(DataSource* source);
    void detach(DataSource* source);
    [[noreturn]] void error(const QString& message) const;

    // The identity of the stored table a record set is over, for gotoCurrent.
    virtual QString storeIdentity() const { return {}; }
    QVariantList currentIdentity() const;

protected:
    // Adds a declared field (before opening).
    Field* addField(const engine::FieldDef& def, const QString& memberName);
    void clearFields();

    // What a concrete record set reads and writes.
    virtual std::vector<engine::Record> readRecords() = 0;
    virtual void afterClose() {}
    // Writes the pending record; returns the record as stored, read back, and
    // whether the order of the records may have changed.
    virtual engine::Record writeRecord(bool inserting, const engine::Record& old, const engine::Row& values,
                                       const QVector<bool>& changed, bool* reorder);
    virtual void deleteRecord(const engine::Record& record);

    void notify(DataEvent event, Field* field = nullptr);
    void run(const Event& event) { if (event) event(*this); }
    void reloadKeeping(const QVariantList& identity, int fallback);
    // Reads the records again after a write that another user's change
    // refused, so that the current record shows what the store holds now.
    void rereadAfterConflict();
    // For a record set read a part at a time: puts records read later before
    // or after the ones held, keeping the current record (browse state only).
    void addRecords(std::vector<engine::Record> records, bool before);
    int findIdentity(const QVariantList& identity) const;
    void setState(DataSetState state);
    // Re-reads after the master moved: end the pending edit, take the
    // master's value and move to the first record.
    void followMaster(bool force);
    QVariant masterValue() const;
    // Drops a pending edit or new record without saving and without running
    // the record events.
    void discardPendingEdit();
    // checkActive, then the read that a failed one left owing.
    void prepare();

    std::vector<engine::Record> m_records;

private:
    void checkCanModify() const;
    void checkEditing() const;
    // Takes the current record out of those held; the next one, or the last,
    // becomes current.
    void dropCurrentRecord();

    std::vector<Field*> m_fields;
    std::vector<DataSource*> m_sources;
    DataSetState m_state = DataSetState::Inactive;
    int m_current = -1;
    bool m_bof = true, m_eof = true, m_modified = false, m_readOnly = false;
    engine::Row m_buffer;         // the pending values while editing or inserting
    QVector<bool> m_changed;      // which fields the pending edit changed

    DataSource* m_master = nullptr;
    class MasterLink;
    std::unique_ptr<MasterLink> m_masterLink;
    QString m_masterField, m_detailField;
    QVariant m_rangeValue;        // the master value the records were read for
    bool m_stale = false;         // reading the master's records failed: read before use
    bool m_conflict = false;      // the pending edit's save met another user's change

    friend class MasterLink;
};
