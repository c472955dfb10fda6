#pragma once

class QApplication;

namespace velmo {

// The editor's whole run inside an application object the caller made: the single-instance
// refusal, the program context, the main window with its start-up, and the event loop. Returns the
// program's exit code. A schedule file named on the command line is opened after the start-up; a
// second start hands its file (or only a request to come forward) to the running editor. The performance
// benchmarks run it under their own application object, so they time exactly what the program does.
//
// Ending the program from outside: SIGTERM, SIGINT and SIGHUP close the windows as the close box
// would, so the settings are written (a desktop session that logs out keeps them).
// VELMO_QUIT_AFTER_START_MS=n, read here only, closes the windows the same way n milliseconds
// after the first frame of any window has been painted, the refusal of a second instance included; scripted
// runs and the end-to-end tests use it. Nothing else about the program changes with it.
int RunEditor(QApplication& app);

} // namespace velmo
