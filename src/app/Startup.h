#pragma once

#include <QObject>

class Application;
class TFormInicio;

// The start-up sequence: the splash with its progress bar, the application's
// title, every long-lived window and the data module built in their fixed
// order, then the event loop of the main window.
class Startup : public QObject {
    Q_OBJECT
public:
    explicit Startup(Application& app);
    ~Startup() override;

    // Steps 2 to 15. An error that escapes (the connection made while the data
    // module is built) ends the start-up with the splash still on screen.
    void build();
    // Steps 16 and 17: the event loop until the main window closes; then every
    // window and the data module go, newest first.
    int run();

    // The fatal-error report of a start-up that failed: "Application Error".
    static QString fatalText(std::exception_ptr error, const QString& program);
    static void showFatal(std::exception_ptr error, const QString& program);

signals:
    // Each numbered step as it is reached, with the bar's position then.
    void stepReached(int step, int barPosition);

private:
    void step(int number);
    template <class T> void create(T*& reference);

    Application& m_app;
    TFormInicio* m_splash = nullptr;
};
