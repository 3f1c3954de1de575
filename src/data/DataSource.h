#pragma once

#include "data/Dataset.h"

#include <QObject>
#include <vector>

class DataLink;

// Connects one record set to any number of controls and detail record sets and
// passes the record set's notifications on to them. With automatic editing on,
// a control whose user starts typing puts the record set into edit state.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(const QString& name, QObject* parent = nullptr);
    ~DataSource() override;

    Dataset* dataset() const { return m_dataset; }
    void setDataset(Dataset* dataset);
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on) { m_autoEdit = on; }
    DataSetState state() const { return m_dataset ? m_dataset->state() : DataSetState::Inactive; }

    // Automatic editing: Edit when on and the record set browses.
    void edit();

    void addLink(DataLink* link);
    void removeLink(DataLink* link);
    // From the record set: passes the event to every link.
    void dataEvent(DataEvent event, Field* field);

signals:
    // For widgets that prefer signals to a link.
    void changed(DataEvent event, Field* field);

private:
    Dataset* m_dataset = nullptr;
    bool m_autoEdit = true;
    std::vector<DataLink*> m_links;
};

// What a control or a detail record set holds to hear from a data source.
class DataLink {
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    DataSource* dataSource() const { return m_source; }
    void setDataSource(DataSource* source);
    Dataset* dataset() const { return m_source ? m_source->dataset() : nullptr; }
    bool active() const { return dataset() && dataset()->active(); }
    bool editing() const { return dataset() && dataset()->editing(); }
    // Asks the data source to start editing (automatic editing); true when
    // the record set is then in edit or insert state.
    bool edit();

    virtual void dataEvent(DataEvent event, Field* field) = 0;

private:
    DataSource* m_source = nullptr;
};
