#include "platform/ui/Application.h"

#include "platform/engine/EngineError.h"
#include "platform/ui/SilentAbort.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <memory>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // Closing the main window ends the program even while other windows of it
    // are open; closing any other window never does.
    setQuitOnLastWindowClosed(false);
}

Application::~Application() { destroyComponents(); }

void Application::setTitle(const QString& title)
{
    // Not the toolkit's display name: that would be appended to every
    // window's title ("Application Error — Velunor").
    m_title = title;
    setApplicationName(title);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        trackPointer(receiver, event);
        const bool handled = QApplication::notify(receiver, event);
        if (event->type() == QEvent::Close && receiver == m_mainWindow && event->isAccepted())
            QTimer::singleShot(0, this, &QCoreApplication::quit);
        return handled;
    } catch (...) {
        report(std::current_exception());
        return false;
    }
}

QString Application::errorText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + ".";
    return message;
}

void Application::showError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, instance() ? instance()->title() : QString(), errorText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void Application::report(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const SilentAbort&) {
    } catch (const engine::EngineError& e) {
        showError(e.text());
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError("Unknown error");
    }
}

void Application::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, instance() ? instance()->title() : QString(),
                    QString(text).replace('\r', '\n'), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool Application::askYesNo(const QString& question, bool yesByDefault)
{
    QMessageBox box(QMessageBox::Question, instance() ? instance()->title() : QString(), question,
                    QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* yes = box.addButton("Sim", QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("Não"), QMessageBox::NoRole);
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// --- registered creation -----------------------------------------------------

void Application::registerComponent(QObject* object)
{
    m_components.emplace_back(object);
    if (!m_mainWindow && object->isWidgetType())
        m_mainWindow = static_cast<QWidget*>(object);
    emit componentRegistered(object);
}

QObject* Application::component(const QString& name) const
{
    for (const auto& c : m_components)
        if (c && c->objectName() == name)
            return c;
    return nullptr;
}

void Application::destroyComponents()
{
    while (!m_components.empty()) {
        QPointer<QObject> last = m_components.back();
        m_components.pop_back();
        delete last.data();
    }
}

void Application::bindByName(QObject* context, const QString& path, std::function<void(QObject*)> connect)
{
    const QString owner = path.section('.', 0, 0);
    const QString member = path.section('.', 1);
    auto resolve = [owner, member, connect](QObject* candidate) {
        if (!candidate || candidate->objectName() != owner)
            return false;
        QObject* target = member.isEmpty() ? candidate : candidate->findChild<QObject*>(member);
        if (target)
            connect(target);
        return true;
    };
    if (resolve(component(owner)))
        return;
    // The connection ends when the owner appears, or with `context`.
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting = QObject::connect(this, &Application::componentRegistered, context, [resolve, waiting](QObject* o) {
        if (resolve(o))
            QObject::disconnect(*waiting);
    });
}

int Application::run()
{
    if (m_mainWindow)
        m_mainWindow->show();
    return exec();
}

// --- hints -------------------------------------------------------------------

void Application::watchMenu(QMenu* menu)
{
    connect(menu, &QMenu::hovered, this, [this](QAction* action) { setHint(action ? action->statusTip() : QString()); });
    connect(menu, &QMenu::aboutToHide, this, [this] { setHint(QString()); });
}

void Application::trackPointer(QObject* receiver, QEvent* event)
{
    // An open menu gives its own hints, of the entry it highlights.
    if (qobject_cast<QMenu*>(receiver))
        return;
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
        if (receiver->isWidgetType())
            m_pointerWidget = static_cast<QWidget*>(receiver);
        break;
    case QEvent::Leave:
        if (receiver == m_pointerWidget)
            m_pointerWidget = static_cast<QWidget*>(receiver)->parentWidget();
        break;
    default:
        return;
    }
    // The hint follows when the application is idle, as the pointer settles.
    if (!m_hintPending) {
        m_hintPending = true;
        QTimer::singleShot(0, this, &Application::updateHint);
    }
}

void Application::updateHint()
{
    m_hintPending = false;
    if (qobject_cast<QMenu*>(activePopupWidget()))
        return;
    QString hint;
    for (QWidget* w = m_pointerWidget; w && hint.isEmpty(); w = w->parentWidget())
        hint = w->toolTip();
    // The long part of a hint follows a "|".
    if (const int bar = int(hint.indexOf('|')); bar >= 0)
        hint = hint.mid(bar + 1);
    setHint(hint);
}

void Application::setHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    emit hintChanged(hint);
}
