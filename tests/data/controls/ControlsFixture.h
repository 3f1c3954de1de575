#pragma once

#include "common/TestStore.h"
#include "data/Connection.h"
#include "data/DataSource.h"
#include "data/Schema.h"
#include "data/Table.h"
#include "platform/engine/Values.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

// The record sets the windows bind to, on a fresh store, paired as the data
// module pairs them: the exams follow the current patient, the exam data
// source does not start editing by itself, the doctors are read-only and
// hold only the active ones.
struct ControlsFixture {
    std::unique_ptr<TestStore> store;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Table> pac, eco, med, tipo;
    std::unique_ptr<DataSource> pacSource, ecoSource, medSource, tipoSource;

    ControlsFixture()
    {
        store = std::make_unique<TestStore>();
        store->createTables();
        connection = std::make_unique<Connection>("Database2", "Dorvica2", "BDC");
        connection->open();
        pac = std::make_unique<Table>("TablePac", "BDC", schema::tablePac());
        eco = std::make_unique<Table>("TableEco", "BDC", schema::tableEco());
        med = std::make_unique<Table>("TableMed", "BDC", schema::tableMed());
        tipo = std::make_unique<Table>("TableTipoEx", "BDC", schema::tableTipoEx());
        pacSource = source("DataSourcePac", pac.get(), true);
        ecoSource = source("DataSourceEco", eco.get(), false);
        medSource = source("DataSourceMed", med.get(), true);
        tipoSource = source("DataSourceTipoEx", tipo.get(), true);
        eco->setMaster(pacSource.get(), "NF", "CodigoPaciente");
        eco->fieldByName("Peso")->setDisplayFormat("###,###");
        for (Table* t : {tipo.get(), pac.get(), eco.get(), med.get()})
            t->open();
    }

    ~ControlsFixture()
    {
        for (Table* t : {eco.get(), pac.get(), med.get(), tipo.get()})
            t->close();
        ecoSource.reset();
        eco.reset();
        pacSource.reset();
        pac.reset();
        medSource.reset();
        med.reset();
        tipoSource.reset();
        tipo.reset();
        connection.reset();
        store.reset();
    }

    static std::unique_ptr<DataSource> source(const char* name, Dataset* dataset, bool autoEdit)
    {
        auto s = std::make_unique<DataSource>(name);
        s->setDataset(dataset);
        s->setAutoEdit(autoEdit);
        return s;
    }

    int addPatient(const QString& name)
    {
        pac->insert();
        pac->fieldByName("NOME")->setValue(name);
        pac->post();
        return pac->fieldByName("NF")->value().toInt();
    }

    void addExam(const QDate& date, const QVariant& doctor = {}, const QVariant& type = {}, int peso = 0)
    {
        eco->insert();
        eco->fieldByName("CodigoExame")->setValue(engine::values::wallClock(date, QTime(10, 0)));
        eco->fieldByName("DataExame")->setValue(date);
        eco->fieldByName("Executor")->setValue(doctor);
        eco->fieldByName("ModoD")->setValue(type);
        if (peso)
            eco->fieldByName("Peso")->setValue(peso);
        eco->post();
    }

    // Doctors come from the practice's other software: written beside the
    // program, then read again. Returns the doctor's code.
    int addDoctor(const QString& name, bool active)
    {
        auto other = store->connect("OTHER");
        other->execute("insert into medico (nome, activo) values (:n, :a)", {name, active});
        med->refresh();
        return other->query("select codigo from medico where nome = :n", {name}).rows.at(0).at(0).toInt();
    }

    int addType(const QString& name)
    {
        tipo->insert();
        tipo->fieldByName("Tipo")->setValue(name);
        tipo->post();
        return tipo->fieldByName("Id")->value().toInt();
    }
};

// A shown, active window to put controls in, so that they can take the focus.
struct TestWindow {
    QWidget widget;
    QVBoxLayout* layout = new QVBoxLayout(&widget);

    template <typename T>
    T* add(T* control)
    {
        layout->addWidget(control);
        return control;
    }

    void show()
    {
        widget.resize(400, 300);
        widget.show();
        QApplication::setActiveWindow(&widget);
    }
};
