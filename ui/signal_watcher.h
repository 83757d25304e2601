#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <initializer_list>

namespace vaxo::ui {

// Turns the given signals into a call on the event loop, where the program
// can end as closing the window ends it. The handler only writes a byte to a
// pipe; everything else runs on the user-interface thread.
class SignalWatcher : public QObject {
  public:
    SignalWatcher(std::initializer_list<int> numbers, std::function<void()> onSignal,
                  QObject* parent = nullptr);
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vaxo::ui
