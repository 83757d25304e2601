#pragma once

namespace vaxo {

// Calls `onStop` when the operator or the system asks the program to end:
// on Linux SIGINT, SIGTERM and SIGHUP; on Windows Ctrl+C, Ctrl+Break, the
// console closing, logoff and shutdown. A reader of the output that goes
// away (SIGPIPE) does not end it. `onStop` runs in a signal handler or on
// another thread: it may only set a flag.
void CatchStopRequests(void (*onStop)());

}  // namespace vaxo
