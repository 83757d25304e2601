#include "ui/qt_host.h"

#include <QPointer>
#include <QTimer>

namespace vaxo::ui {
namespace {

class QtTimer : public LoopTimer {
  public:
    QtTimer(QObject* owner, const QString& name, std::function<void()> fire)
        : timer_(new QTimer(owner)) {
        timer_->setObjectName(name);
        QObject::connect(timer_, &QTimer::timeout, owner, std::move(fire));
    }
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;
    ~QtTimer() override { delete timer_.data(); }

    void Start(std::chrono::milliseconds interval) override {
        timer_->start(static_cast<int>(interval.count()));
    }
    void Stop() override {
        if (timer_) {
            timer_->stop();
        }
    }

  private:
    QPointer<QTimer> timer_;
};

}  // namespace

void QtHost::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(owner_, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<LoopTimer> QtHost::MakeTimer(std::string_view purpose, std::function<void()> fire) {
    const auto name = timerNames_.find(purpose);
    return std::make_unique<QtTimer>(owner_,
                                     name == timerNames_.end()
                                         ? QString::fromUtf8(purpose.data(), purpose.size())
                                         : name->second,
                                     std::move(fire));
}

}  // namespace vaxo::ui
