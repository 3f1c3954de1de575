#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Types `text` key by key at whatever has the keyboard focus at each key, as
// a person does: a key that moves the focus sends the next ones elsewhere.
// Without a focused widget the keys go to the active window, else to `fallback`.
inline void typeAtFocus(const QString& text, QWidget* fallback)
{
    for (const QChar c : text) {
        QWidget* at = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        QTest::keyClick(at ? at : fallback, c.toLatin1());
    }
}
