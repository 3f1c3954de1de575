#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <exception>
#include <functional>
#include <vector>

class QMenu;

// The application object: it reports every error that escapes an event
// handler in the standard error box and goes on, ignores a silent abort,
// owns the windows and the data module built by registered creation (the
// first window so built is the main window, whose closing ends the program),
// resolves bindings by name to objects built later, and keeps the current
// hint of the control under the pointer or the highlighted menu entry.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;

    static Application* instance() { return static_cast<Application*>(QCoreApplication::instance()); }

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QString helpFile() const { return m_helpFile; }
    void setHelpFile(const QString& file) { m_helpFile = file; }

    bool notify(QObject* receiver, QEvent* event) override;

    // The standard error box: modal, captioned with the title, error icon,
    // one OK; a full stop is added when the message's last character sorts
    // after ".".
    static void showError(const QString& message);
    static QString errorText(const QString& message);
    // Reports an exception as the event loop does: nothing for a silent
    // abort, the error box for anything else.
    static void report(std::exception_ptr error);
    // The plain message box of the program's own messages: modal, centred,
    // captioned with the title, no icon, one OK. Carriage returns break lines.
    static void showMessage(const QString& text);
    // A question of the program's own: captioned with the title, "Sim" and
    // "Não"; true for "Sim". `yesByDefault` says which Enter presses.
    static bool askYesNo(const QString& question, bool yesByDefault);

    // Registered creation: keeps `object` until the end, under its
    // objectName, and announces it to the bindings waiting for it.
    void registerComponent(QObject* object);
    QObject* component(const QString& name) const;
    QWidget* mainWindow() const { return m_mainWindow; }
    // Destroys every registered object still alive, newest first.
    void destroyComponents();

    // Calls `connect` with the object named "Owner.Member" (a member is a
    // child found by objectName) now if it exists, or as soon as its owner is
    // registered. A member that never appears stays unbound, silently.
    void bindByName(QObject* context, const QString& path, std::function<void(QObject*)> connect);

    // Shows the main window and dispatches events until it closes.
    int run();

    QString hint() const { return m_hint; }
    // Menus whose highlighted entries give the hint (their statusTip).
    void watchMenu(QMenu* menu);

signals:
    void componentRegistered(QObject* object);
    void hintChanged(const QString& hint);

private:
    void trackPointer(QObject* receiver, QEvent* event);
    void updateHint();
    void setHint(const QString& hint);

    QString m_title;
    QString m_helpFile;
    QString m_hint;
    QPointer<QWidget> m_pointerWidget;
    bool m_hintPending = false;
    std::vector<QPointer<QObject>> m_components;
    QPointer<QWidget> m_mainWindow;
};
