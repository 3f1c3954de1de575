#pragma once

// Ends the whole user action that is running, without any message: the
// operation that raises it stops at that step, the callers above it stop too,
// and the application's error box never shows it. A rule that wants the user
// to know why shows its own message first.
class SilentAbort {};
