#include "data/DataSource.h"

#include <algorithm>

DataSource::DataSource(const QString& name, QObject* parent) : QObject(parent) { setObjectName(name); }

DataSource::~DataSource()
{
    setDataset(nullptr);
    for (DataLink* link : std::vector<DataLink*>(m_links))
        link->setDataSource(nullptr);
}

void DataSource::setDataset(Dataset* dataset)
{
    if (m_dataset == dataset)
        return;
    if (m_dataset)
        m_dataset->detach(this);
    m_dataset = dataset;
    if (m_dataset)
        m_dataset->attach(this);
    dataEvent(DataEvent::ActiveChanged, nullptr);
}

void DataSource::edit()
{
    if (m_autoEdit && m_dataset && m_dataset->state() == DataSetState::Browse)
        m_dataset->edit();
}

void DataSource::addLink(DataLink* link) { m_links.push_back(link); }

void DataSource::removeLink(DataLink* link) { std::erase(m_links, link); }

void DataSource::dataEvent(DataEvent event, Field* field)
{
    // A link may go away while an event runs (a window closing): walk a copy
    // and skip links that have left meanwhile.
    const std::vector<DataLink*> links = m_links;
    std::exception_ptr first;
    try {
        deliverToAll(links, [&](DataLink* link) {
            if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
                link->dataEvent(event, field);
        });
    } catch (...) {
        first = std::current_exception();
    }
    emit changed(event, field);
    if (first)
        std::rethrow_exception(first);
}

DataLink::~DataLink()
{
    if (m_source)
        m_source->removeLink(this);
}

void DataLink::setDataSource(DataSource* source)
{
    if (m_source == source)
        return;
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    dataEvent(DataEvent::ActiveChanged, nullptr);
}

bool DataLink::edit()
{
    if (m_source && active())
        m_source->edit();
    return editing();
}
