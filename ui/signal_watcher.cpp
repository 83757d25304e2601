#include "ui/signal_watcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vaxo::ui {
namespace {

int signalPipe[2] = {-1, -1};

void WriteSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> numbers, std::function<void()> onSignal,
                             QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1) {
        }
        onSignal_();
    });
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : numbers) {
        ::sigaction(number, &action, nullptr);
    }
}

SignalWatcher::~SignalWatcher() {
    for (int& fd : signalPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

}  // namespace vaxo::ui
