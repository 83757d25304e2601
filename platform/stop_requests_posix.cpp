#include <signal.h>

#include <initializer_list>

#include "platform/stop_requests.h"

namespace vaxo {
namespace {

void (*stopHandler)() = nullptr;

void OnSignal(int) {
    if (stopHandler) {
        stopHandler();
    }
}

}  // namespace

void CatchStopRequests(void (*onStop)()) {
    stopHandler = onStop;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace vaxo
