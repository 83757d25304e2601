#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "alerts/alert_queue.h"
#include "alerts/alert_transport.h"
#include "base/mutex.h"

namespace vaxo {

// What became of one delivery, for the log and the alarms.
struct AlertReport {
    enum class What { Delivered, WillRetry, GaveUp, Dropped };
    What what = What::Delivered;
    std::string target;  // "webhook https://chat.example/hook", "mail to a@b, c@d"
    Alert alert;
    std::string why = {};  // WillRetry, GaveUp: the failure
    int attempts = 0;
    std::chrono::seconds next{0};  // WillRetry: the wait before the next try
    std::size_t waiting = 0;       // deliveries that wait, after this one
};

// Delivers alerts beside the program's loop, on a thread of its own: Send
// only queues (it never waits for the network), a failed delivery is tried
// again with RetryDelay for a day, and every outcome is reported — on the
// sender's thread (deliveries given way to make room: on Send's), so the
// report hands it to the loop. Ending drops what
// still waits (the report's caller is told how many).
class AlertSender {
  public:
    AlertSender(const AlertConfig& config, std::unique_ptr<AlertTransport> transport,
                std::function<void(const AlertReport&)> report);
    AlertSender(const AlertSender&) = delete;
    AlertSender& operator=(const AlertSender&) = delete;
    ~AlertSender();

    void Send(const Alert& alert);
    // Ends the thread after the delivery under way; how many waited.
    std::size_t Stop();

  private:
    void Run();
    void Try(const Delivery& delivery);

    std::vector<std::string> targets_;
    std::unique_ptr<AlertTransport> transport_;
    std::function<void(const AlertReport&)> report_;
    Mutex mutex_;
    std::condition_variable_any wake_;
    AlertQueue queue_ GUARDED_BY(mutex_);
    bool stopped_ GUARDED_BY(mutex_) = false;
    std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace vaxo
