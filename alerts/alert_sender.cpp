#include "alerts/alert_sender.h"

namespace vaxo {
namespace {

std::vector<std::string> TargetNames(const AlertConfig& config) {
    std::vector<std::string> names;
    for (const std::string& url : config.webhooks) {
        names.push_back("webhook " + url);
    }
    if (config.mail) {
        std::string to;
        for (const std::string& address : config.mail->to) {
            to += (to.empty() ? "" : ", ") + address;
        }
        names.push_back("mail to " + to);
    }
    return names;
}

}  // namespace

AlertSender::AlertSender(const AlertConfig& config, std::unique_ptr<AlertTransport> transport,
                         std::function<void(const AlertReport&)> report)
    : targets_(TargetNames(config)),
      transport_(std::move(transport)),
      report_(std::move(report)),
      queue_(targets_.size()),
      thread_([this] { Run(); }) {}

AlertSender::~AlertSender() {
    static_cast<void>(Stop());
}

void AlertSender::Send(const Alert& alert) {
    std::size_t dropped = 0;
    {
        const MutexLock lock(mutex_);
        if (stopped_) {
            return;
        }
        dropped = queue_.Add(alert, std::chrono::steady_clock::now());
    }
    wake_.notify_one();
    if (dropped > 0) {
        report_({AlertReport::What::Dropped, std::to_string(dropped), alert});
    }
}

std::size_t AlertSender::Stop() {
    std::size_t waiting = 0;
    {
        const MutexLock lock(mutex_);
        stopped_ = true;
        waiting = queue_.Waiting();
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    return waiting;
}

void AlertSender::Run() {
    for (;;) {
        std::optional<Delivery> delivery;
        {
            const MutexLock lock(mutex_);
            for (;;) {
                if (stopped_) {
                    return;
                }
                delivery = queue_.TakeDue(std::chrono::steady_clock::now());
                if (delivery) {
                    break;
                }
                if (const auto due = queue_.NextDue()) {
                    wake_.wait_until(mutex_, *due);
                } else {
                    wake_.wait(mutex_);
                }
            }
        }
        Try(*delivery);
    }
}

void AlertSender::Try(const Delivery& delivery) {
    const auto failure = transport_->Deliver(delivery.alert, delivery.target);
    AlertReport report{AlertReport::What::Delivered, targets_[delivery.target], delivery.alert};
    {
        const MutexLock lock(mutex_);
        if (!failure) {
            queue_.Delivered(delivery);
        } else {
            report.why = failure->why;
            report.attempts = delivery.attempts + 1;
            report.next = RetryDelay(report.attempts);
            const bool again =
                queue_.Failed(delivery, failure->permanent, std::chrono::steady_clock::now());
            report.what = again ? AlertReport::What::WillRetry : AlertReport::What::GaveUp;
        }
        report.waiting = queue_.Waiting();
    }
    report_(report);
}

}  // namespace vaxo
