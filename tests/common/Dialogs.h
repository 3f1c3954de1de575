#pragma once

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QStringList>
#include <functional>

// Answers the modal message boxes that open while `action` runs, in the order
// they open: each gets the next answer of `answers` (OK / the default button
// when none is left) and its text is returned. Nothing waits for a person.
QStringList answerBoxes(const std::function<void()>& action, QList<QMessageBox::StandardButton> answers = {});

// The same for one box whose text is wanted; fails the test when none opened.
QString answerBox(const std::function<void()>& action, QMessageBox::StandardButton answer = QMessageBox::NoButton);
