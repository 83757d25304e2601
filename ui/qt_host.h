#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <string>

#include "base/core_host.h"

namespace vaxo::ui {

// The window's loop as the program's: Qt's event loop, its queued calls and
// its timers. The timers are children of `owner`, named for the window by
// their purpose where it names them (its two timers are "Timer1" and
// "Timer2").
class QtHost : public CoreHost {
  public:
    QtHost(QObject* owner, std::map<std::string, QString, std::less<>> timerNames)
        : owner_(owner), timerNames_(std::move(timerNames)) {}

    void Post(std::function<void()> task) override;
    std::unique_ptr<LoopTimer> MakeTimer(std::string_view purpose,
                                         std::function<void()> fire) override;

  private:
    QObject* owner_;
    std::map<std::string, QString, std::less<>> timerNames_;
};

}  // namespace vaxo::ui
