#include "app/Startup.h"

#include "app/Inicio.h"
#include "app/Main.h"
#include "data/DM.h"
#include "data/Field.h"
#include "insertion/UnitConc.h"
#include "insertion/frase.h"
#include "platform/engine/EngineError.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "report/Rel.h"
#include "search/Pesq.h"
#include "search/Pesqt2.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <cxxabi.h>

Startup::Startup(Application& app) : m_app(app) {}

Startup::~Startup() { delete m_splash; }

template <class T> void Startup::create(T*& reference)
{
    reference = new T;
    m_app.registerComponent(reference);
}

void Startup::step(int number)
{
    emit stepReached(number, m_splash ? m_splash->ProgressBar1->value() : 0);
}

void Startup::build()
{
    useRegionalDefaults();

    // The interface font of every window and box.
    QApplication::setFont(uiFont(11));

    m_splash = new TFormInicio; // plain construction: never the main window
    m_splash->show();
    m_splash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    step(2);
    m_splash->stepIt();
    m_splash->stepIt();
    step(3);
    m_app.setTitle("Velunor");
    step(4);
    m_app.setHelpFile(QString());
    step(5);
    create(MainForm);
    create(FormPesqAV);
    create(FormConc);
    create(Relatorio);
    step(6);
    m_splash->stepIt();
    m_splash->stepIt();
    step(7);
    create(DataModule1);
    step(8);
    m_splash->stepIt();
    m_splash->stepIt();
    step(9);
    create(FormT2Pesq);
    step(10);
    m_splash->stepIt();
    m_splash->stepIt();
    step(11);
    create(Form1);
    step(12);
    m_splash->stepIt();
    m_splash->stepIt();
    step(13);
    m_splash->ProgressBar1->setValue(m_splash->ProgressBar1->maximum());
    step(14);
    m_splash->hide();
    delete m_splash;
    m_splash = nullptr;
    step(15);
}

int Startup::run()
{
    step(16);
    m_app.run();
    m_app.destroyComponents();
    step(17);
    return 0;
}

QString Startup::fatalText(std::exception_ptr error, const QString& program)
{
    QString kind = "Exception";
    QString message;
    const void* address = nullptr;
    try {
        std::rethrow_exception(error);
    } catch (const engine::EngineError& e) {
        kind = "EngineError";
        message = e.text();
        address = &e;
    } catch (const std::exception& e) {
        int status = 0;
        char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
        kind = status == 0 ? QString::fromUtf8(name) : QString::fromUtf8(typeid(e).name());
        std::free(name);
        message = QString::fromUtf8(e.what());
        address = &e;
    } catch (...) {
        message = "Unknown error";
    }
    return QString("Exception %1 in module %2 at %3.\n%4%5")
        .arg(kind, QFileInfo(program).fileName())
        .arg(quintptr(address), 16, 16, QChar('0'))
        .arg(message, message.endsWith('.') ? QString() : QString("."));
}

void Startup::showFatal(std::exception_ptr error, const QString& program)
{
    QMessageBox box(QMessageBox::Critical, "Application Error", fatalText(error, program), QMessageBox::Ok);
    box.exec();
}
