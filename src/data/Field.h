#pragma once

#include "platform/engine/Types.h"

#include <QObject>
#include <QVariant>

class Dataset;

// One declared field of a record set: its value in the current record, its
// display text and its parsing of typed text, with the field messages the
// user sees ("Field '%s' must have a value" ...). Its objectName is its member
// name in the data module (TableEcoDataExame).
class Field : public QObject {
    Q_OBJECT
public:
    Field(Dataset* dataset, const engine::FieldDef& def, int index);

    Dataset* dataset() const { return m_dataset; }
    int index() const { return m_index; }
    const QString& fieldName() const { return m_def.name; }
    engine::FieldType type() const { return m_def.type; }
    int size() const { return m_def.size; }
    bool required() const { return m_def.required; }
    bool isText() const;
    bool isNumeric() const;

    // The name shown to the user: the display label, else the field name.
    QString displayName() const { return m_def.shownName(); }
    QString displayLabel() const { return m_def.displayName; }
    // A number format such as "###,###" (thousands grouped by the locale).
    const QString& displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& format) { m_displayFormat = format; }
    bool readOnly() const { return m_readOnly || m_def.type == engine::FieldType::AutoInc; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Whether the field can be changed now: its record set can be modified
    // and the field is not read-only.
    bool canModify() const;

    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    QString asString() const;
    // Stores a value, converted to the field's type. Refused with the record
    // set's "Dataset not in edit or insert mode" outside editing, and with the
    // range message for a small integer out of range.
    void setValue(const QVariant& value);
    void clear() { setValue(QVariant()); }

    // The current value as shown (display format, the locale's short date)
    // and as offered for editing.
    QString displayText() const { return format(value(), true); }
    QString text() const { return format(value(), false); }
    QString format(const QVariant& value, bool forDisplay) const;
    // Parses typed text into the field; empty text empties it.
    void setText(const QString& text);
    // Whether a typed character can belong to the field's text at all.
    bool isValidChar(QChar c) const;
    // Values are checked against `type`'s range: the stored column is
    // narrower than the field until the store is upgraded.
    void narrowTo(engine::FieldType type) { m_def.type = type; }

private:
    QVariant parse(const QString& text) const;
    void checkRange(double value) const;

    Dataset* m_dataset;
    engine::FieldDef m_def;
    int m_index;
    QString m_displayFormat;
    bool m_readOnly = false;
};

// Dates in the locale's short format, with four-digit years.
QString shortDateFormat();
// A machine without regional settings of its own (the C locale) gets the
// Portuguese ones, for dates and numbers on screen and on paper.
void useRegionalDefaults();
// A value of a field of `type` as Field::format gives it; a number with a
// display format ("###,###") as shown, without one as edited.
QString formatFieldValue(engine::FieldType type, const QVariant& value, const QString& displayFormat = {});
