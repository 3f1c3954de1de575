#include "data/controls/FieldLink.h"

void FieldLink::setFieldName(const QString& name)
{
    if (m_fieldName == name)
        return;
    m_fieldName = name;
    editingChanged();
    dataChanged();
}

Field* FieldLink::field() const
{
    // Looked up each time: a query's fields are rebuilt when it reopens.
    if (!active() || m_fieldName.isEmpty())
        return nullptr;
    return dataset()->findField(m_fieldName);
}

void FieldLink::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    editingChanged();
}

bool FieldLink::canModify() const
{
    const Field* f = field();
    return f && !m_readOnly && f->canModify();
}

bool FieldLink::startEditing()
{
    if (canModify() && !editing())
        edit();
    return fieldEditing();
}

void FieldLink::updateRecord()
{
    if (!m_modified)
        return;
    if (onUpdateData && field())
        onUpdateData();
    m_modified = false;
}

void FieldLink::reset() { dataChanged(); }

void FieldLink::dataChanged()
{
    m_modified = false;
    if (onDataChange)
        onDataChange();
}

void FieldLink::editingChanged()
{
    if (onEditingChange)
        onEditingChange();
}

void FieldLink::dataEvent(DataEvent event, Field* changed)
{
    switch (event) {
    case DataEvent::ActiveChanged:
        editingChanged();
        dataChanged();
        break;
    case DataEvent::DataSetChanged:
    case DataEvent::Scrolled:
        dataChanged();
        break;
    case DataEvent::FieldChanged:
        // Another field of the record changing leaves the user's text alone.
        if (changed && changed == field())
            dataChanged();
        break;
    case DataEvent::StateChanged:
        editingChanged();
        break;
    case DataEvent::UpdateRecord:
        updateRecord();
        break;
    case DataEvent::CheckBrowseMode:
        break;
    }
}
