#pragma once

class QDate;

// Builds the program's windows on the test store, answering the boxes the
// start-up opens, and shows the main window; false when it never showed.
bool showMainWindow();

// A clock on `day` at 9:15 that moves on a millisecond at every reading, as
// exams of one patient need distinct creation moments.
void setTickingClock(const QDate& day);
