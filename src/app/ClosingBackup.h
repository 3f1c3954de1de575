#pragma once

#include "platform/engine/AutomaticBackup.h"

#include <optional>

// The automatic copy of the store that the program makes when it closes
// normally, on SQLite only (a PostgreSQL server is the business of its
// administrator): started in a child process after every window and the
// data module are gone, so that closing does not wait for it. A copy that
// failed, and copies dated in the future, are reported once at a start.
class ClosingBackup {
public:
    // Takes the store of the data module's connection; nothing is done for a
    // store that is not an SQLite directory.
    ClosingBackup();

    // The plain messages about the last copy's failure and about copies
    // dated in the future, each if it was not shown yet.
    void reportAtStart();
    // Starts the day's copy unless it was made already; returns the child's
    // process id, or -1 when none was started.
    qint64 start();

private:
    std::optional<engine::AutomaticBackup> m_backup;
};
