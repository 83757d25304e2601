#include "winui/win32_host.h"

namespace vaxo::win {
namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr wchar_t kClassName[] = L"VaxoLoop";

}  // namespace

class Win32Host::Timer : public LoopTimer {
  public:
    Timer(Win32Host& host, UINT_PTR id, std::function<void()> fire)
        : host_(host), id_(id), fire_(std::move(fire)) {
        host_.timers_[id_] = this;
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() override {
        Stop();
        host_.timers_.erase(id_);
    }

    void Start(std::chrono::milliseconds interval) override {
        ::SetTimer(host_.window_, id_, static_cast<UINT>(interval.count()), nullptr);
    }
    void Stop() override { ::KillTimer(host_.window_, id_); }
    void Fire() { fire_(); }

  private:
    Win32Host& host_;
    UINT_PTR id_;
    std::function<void()> fire_;
};

Win32Host::Win32Host() {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = &Win32Host::Receive;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.lpszClassName = kClassName;
    ::RegisterClassExW(&type);
    window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                type.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Host::~Win32Host() {
    ::DestroyWindow(window_);
}

void Win32Host::Post(std::function<void()> task) {
    {
        const MutexLock lock(mutex_);
        posted_.push_back(std::move(task));
    }
    ::PostMessageW(window_, kRunPosted, 0, 0);
}

std::unique_ptr<LoopTimer> Win32Host::MakeTimer(std::string_view, std::function<void()> fire) {
    return std::make_unique<Timer>(*this, nextTimer_++, std::move(fire));
}

void Win32Host::DropPosted() {
    const MutexLock lock(mutex_);
    posted_.clear();
}

void Win32Host::RunPosted() {
    for (;;) {
        std::function<void()> task;
        {
            const MutexLock lock(mutex_);
            if (posted_.empty()) {
                return;
            }
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
    }
}

LRESULT CALLBACK Win32Host::Receive(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* host = reinterpret_cast<Win32Host*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host && message == kRunPosted) {
        host->RunPosted();
        return 0;
    }
    if (host && message == WM_TIMER) {
        if (const auto timer = host->timers_.find(w); timer != host->timers_.end()) {
            timer->second->Fire();
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

}  // namespace vaxo::win
