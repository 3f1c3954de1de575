#pragma once

#include "clinical/Exam.h"
#include "data/DataSource.h"
#include "data/MeasurementStore.h"
#include "data/Received.h"
#include "data/Table.h"

#include <QMap>
#include <QObject>

// The measurements of the current exam of an exam table: the M-mode and
// Doppler values in the exam's own columns, every other one in `medida`. The
// rows of `medida` are read when first asked for, held with the exam's
// pending edit, and saved or dropped with the exam: in the transaction of its
// save, under the same check that no other workstation saved them meanwhile.
class ExamMeasurements : public QObject, public Table::Companion, private DataLink {
    Q_OBJECT
public:
    ExamMeasurements(Table* exams, DataSource* examSource, const QString& databaseName, QObject* parent = nullptr);
    ~ExamMeasurements() override;

    // Once the store is open (and upgraded): whether it has `medida`, and
    // the practice's settings. A store that cannot be read leaves the
    // measurements of `medida` unavailable and the settings at their defaults.
    void open();
    bool available() const { return m_available; }
    const clinical::Practice& practice() const { return m_practice; }

    // The current exam's values in the sites' units, pending changes included.
    clinical::Values values();
    // Weight, height, age and gestational age of the current exam.
    clinical::Body body();
    // Why the current exam's rows of `medida` could not be read; empty when they were.
    QString problem();

    // Sets (or with nothing, clears) a value of the exam being edited. Refuses
    // an impossible value (clinical::refusal) and any change outside editing.
    // A new end-diastolic or end-systolic dimension recomputes the fractional
    // shortening and the ejection fraction.
    void setValue(const clinical::Site& site, std::optional<double> value);

    // The reports received from the echo machine for the current exam and
    // not yet applied (received::forExam), less those applied in the
    // pending edit. Read with the exam's rows; readReceived() reads again.
    std::vector<received::Document> received();
    // How many received reports wait for a patient or an exam, as read with the exam's rows.
    int waitingCount();
    // Reads the received reports again (they arrive while the exam is open).
    void readReceived();
    // The values of `sopUids` have been put into the exam being edited: they
    // count as applied when the exam is saved, and not at all if it is not.
    void applyReceived(const QStringList& sopUids);
    // Whether received reports were applied in the pending edit.
    bool receivedApplied() const { return !m_applied.isEmpty(); }

    // Table::Companion
    bool pending() const override { return m_available && !(m_pending.isEmpty() && m_applied.isEmpty()); }
    void written(engine::Database& db, const engine::Row& values) override;
    void removing(engine::Database& db, const engine::Record& record) override;

signals:
    // The current exam, one of its values or its state changed.
    void changed();

private:
    void dataEvent(DataEvent event, Field* field) override;
    // Reads the rows of the current exam unless they are held already.
    void follow();
    // The rows as read with the pending changes.
    clinical::Values withPending() const;
    measurements::ExamKey keyOf(const engine::Row& values) const;
    std::optional<double> fieldValue(const char* column) const;
    void recomputeShortening();
    // Reads the received reports of m_key; true when they differ from those held.
    bool loadReceived();
    QDate examDate() const;

    Table* m_exams;
    QString m_databaseName;
    bool m_available = false;
    clinical::Practice m_practice;

    bool m_loaded = false;
    measurements::ExamKey m_key;
    clinical::Values m_read;                       // the rows as read
    QMap<QString, std::optional<double>> m_pending; // changed since, none for a removed value
    QString m_problem;
    std::vector<received::Document> m_received;     // as read, applied ones included
    QDate m_receivedDate;                           // the exam's date they were read for
    int m_waiting = 0;
    QStringList m_applied;                          // applied in the pending edit
};
