#include "common/Dialogs.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QMessageBox::ButtonRole roleOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return QMessageBox::YesRole;
    case QMessageBox::No: return QMessageBox::NoRole;
    case QMessageBox::Cancel: return QMessageBox::RejectRole;
    case QMessageBox::Ok: return QMessageBox::AcceptRole;
    default: return QMessageBox::InvalidRole;
    }
}

} // namespace

QStringList answerBoxes(const std::function<void()>& action, QList<QMessageBox::StandardButton> answers)
{
    QStringList texts;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        texts << box->text();
        const QMessageBox::StandardButton answer = answers.isEmpty() ? QMessageBox::NoButton : answers.takeFirst();
        QAbstractButton* button = answer != QMessageBox::NoButton ? box->button(answer) : nullptr;
        // Boxes with buttons of their own ("Sim", "&Yes") answer by the role.
        for (QAbstractButton* b : box->buttons())
            if (!button && answer != QMessageBox::NoButton && box->buttonRole(b) == roleOf(answer))
                button = b;
        if (!button)
            button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        QPointer<QMessageBox> guard(box);
        QTimer::singleShot(0, button, [button] { button->click(); });
    });
    timer.start();
    try {
        action();
    } catch (...) {
        timer.stop();
        throw;
    }
    timer.stop();
    return texts;
}

QString answerBox(const std::function<void()>& action, QMessageBox::StandardButton answer)
{
    const QStringList texts = answerBoxes(action, {answer});
    if (texts.size() != 1) {
        QTest::qFail(qPrintable(QString("expected one message box, saw %1").arg(texts.size())), __FILE__, __LINE__);
        return {};
    }
    return texts.first();
}
