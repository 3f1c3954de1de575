#pragma once

#include "data/DataSource.h"

#include <QString>
#include <functional>

// The link of a control that shows and changes one field of its data
// source's current record. It tells the control when to reload its text,
// when its editability changed and when to write its changed text back; it
// remembers whether the user changed the text since it was last loaded.
class FieldLink : public DataLink {
public:
    FieldLink() = default;

    const QString& fieldName() const { return m_fieldName; }
    void setFieldName(const QString& name);
    // The bound field while the record set is open, else none.
    Field* field() const;

    // The control's own read-only setting.
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether the field could be changed through the control at all.
    bool canModify() const;
    // Whether it can be changed right now: the record set is editing.
    bool fieldEditing() const { return editing() && canModify(); }
    // Asks for editing (automatic editing applies); true when the field can
    // then be changed. Errors of Edit propagate.
    bool startEditing();

    bool modified() const { return m_modified; }
    void setModified() { m_modified = true; }
    // Writes the control's changed text into the field, if it changed.
    // Errors propagate and leave the text marked as changed.
    void updateRecord();
    // Drops the user's change: the control shows the field's value again.
    void reset();

    std::function<void()> onDataChange;    // reload the text from the field
    std::function<void()> onEditingChange; // editability may have changed
    std::function<void()> onUpdateData;    // write the text into the field

    void dataEvent(DataEvent event, Field* field) override;

private:
    void dataChanged();
    void editingChanged();

    QString m_fieldName;
    bool m_readOnly = false;
    bool m_modified = false;
};
