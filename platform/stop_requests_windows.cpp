#include <windows.h>

#include "platform/stop_requests.h"

namespace vaxo {
namespace {

void (*stopHandler)() = nullptr;

// Closing the console, logoff and shutdown end the process as soon as the
// handler returns; it waits instead, so that the saves run and the process
// ends by returning from main.
BOOL WINAPI OnControl(DWORD event) {
    if (stopHandler) {
        stopHandler();
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        ::Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

void CatchStopRequests(void (*onStop)()) {
    stopHandler = onStop;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace vaxo
