#pragma once

namespace velmo {

// While caught, an interrupt (Ctrl+C; on Linux also SIGTERM and SIGHUP; on Windows also Ctrl+Break
// and closing the console) only asks long work to stop at its next safe point, and a second one
// ends the tool at once. Released, interrupts end the tool as they always did. One catch at a time.
void CatchInterrupts();
void ReleaseInterrupts();
// Whether an interrupt came while caught.
bool InterruptRequested();

} // namespace velmo
