#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "base/core_host.h"
#include "base/mutex.h"

namespace vaxo::win {

// The window's message loop as the program's: posted work and timers arrive
// as messages to a message-only window of the loop's thread.
class Win32Host : public CoreHost {
  public:
    Win32Host();
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;
    ~Win32Host() override;

    void Post(std::function<void()> task) override;
    std::unique_ptr<LoopTimer> MakeTimer(std::string_view purpose,
                                         std::function<void()> fire) override;
    // Drops the work still waiting: the program it was posted for has ended,
    // and its messages may come before the loop's end.
    void DropPosted();

  private:
    class Timer;
    static LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM w, LPARAM l);
    void RunPosted();

    HWND window_ = nullptr;
    Mutex mutex_;
    std::deque<std::function<void()>> posted_ GUARDED_BY(mutex_);
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextTimer_ = 1;
};

}  // namespace vaxo::win
