// Alerts on their way: the order per target, the retries and their end, the
// bound; what a webhook and a mail receive; which addresses are taken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "alerts/alert_config.h"
#include "alerts/alert_queue.h"
#include "alerts/alert_sender.h"
#include "base/utc_stamp.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

Alert Raised(AlarmKind kind, std::string reason = "why") {
    return {{*ParseUtcStamp("2026-12-10T03:12:40Z"),
             AlarmEntry::What::Raised,
             {kind},
             std::move(reason)},
            "rock-fm.rds"};
}

Alert Cleared(AlarmKind kind) {
    return {{*ParseUtcStamp("2026-12-10T03:20:00Z"), AlarmEntry::What::Cleared, {kind}},
            "rock-fm.rds"};
}

const MonotonicTime kStart = MonotonicTime() + 1000h;

TEST(AlertQueueTest, EachTargetGetsItsAlertsInOrderAndOneAtATime) {
    AlertQueue queue(2);
    EXPECT_EQ(queue.Add(Raised(AlarmKind::EncoderNotAnswering), kStart), 0U);
    EXPECT_EQ(queue.Add(Cleared(AlarmKind::EncoderNotAnswering), kStart), 0U);
    EXPECT_EQ(queue.Waiting(), 4U);
    auto first = queue.TakeDue(kStart);
    auto second = queue.TakeDue(kStart);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->target, second->target);
    EXPECT_FALSE(queue.TakeDue(kStart)) << "one in flight per target";
    // The first target's raise fails: its clear waits behind it, while the
    // other target goes on.
    EXPECT_TRUE(queue.Failed(*first, false, kStart));
    queue.Delivered(*second);
    const auto next = queue.TakeDue(kStart);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->target, second->target);
    EXPECT_EQ(next->alert.entry.what, AlarmEntry::What::Cleared);
    queue.Delivered(*next);
    EXPECT_FALSE(queue.TakeDue(kStart + 9s));
    EXPECT_EQ(queue.NextDue(), kStart + 10s);
    const auto again = queue.TakeDue(kStart + 10s);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->alert.entry.what, AlarmEntry::What::Raised);
    EXPECT_EQ(again->attempts, 1);
}

TEST(AlertQueueTest, AFailingDeliveryBacksOffAndIsGivenUpAfterADayOrAtOnceWhenHopeless) {
    EXPECT_EQ(RetryDelay(1), 10s);
    EXPECT_EQ(RetryDelay(2), 20s);
    EXPECT_EQ(RetryDelay(6), 320s);
    EXPECT_EQ(RetryDelay(7), 600s);
    EXPECT_EQ(RetryDelay(1000), 600s);

    AlertQueue queue(1);
    queue.Add(Raised(AlarmKind::SendsFailing), kStart);
    auto now = kStart;
    int attempts = 0;
    while (auto delivery = queue.TakeDue(now)) {
        ++attempts;
        if (!queue.Failed(*delivery, false, now)) {
            break;
        }
        now = *queue.NextDue();
    }
    EXPECT_GE(now - kStart, 23h);
    EXPECT_LE(now - kStart, 24h);
    EXPECT_GT(attempts, 140);
    EXPECT_EQ(queue.Waiting(), 0U);

    queue.Add(Raised(AlarmKind::SendsFailing), now);
    EXPECT_FALSE(queue.Failed(*queue.TakeDue(now), true, now)) << "a 404 is not tried again";
    EXPECT_EQ(queue.Waiting(), 0U);
}

TEST(AlertQueueTest, ATargetHoldsABoundedNumberAndTheOneInFlightStays) {
    AlertQueue queue(1);
    queue.Add(Raised(AlarmKind::EncoderNotAnswering, "first"), kStart);
    const auto flying = queue.TakeDue(kStart);
    ASSERT_TRUE(flying);
    std::size_t dropped = 0;
    for (std::size_t n = 0; n < AlertQueue::kLimit + 10; ++n) {
        dropped += queue.Add(Raised(AlarmKind::SendsFailing, std::to_string(n)), kStart);
    }
    EXPECT_EQ(dropped, 10U);
    EXPECT_EQ(queue.Waiting(), AlertQueue::kLimit + 1);
    queue.Delivered(*flying);
    const auto next = queue.TakeDue(kStart);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->alert.entry.text, "10") << "the oldest behind the one in flight gave way";
}

TEST(AlertMessageTest, AWebhookGetsTheAlarmItsStateTimeTextAndStation) {
    const nlohmann::json json = AlertJson(Raised(AlarmKind::EncoderNotAnswering, "stays low"));
    EXPECT_EQ(json["alarm"], "encoder_not_answering");
    EXPECT_EQ(json["state"], "raised");
    EXPECT_EQ(json["at"], "2026-12-10T03:12:40Z");
    EXPECT_EQ(json["text"], "Encoder not answering: stays low");
    EXPECT_EQ(json["station"], "rock-fm.rds");
    EXPECT_EQ(AlertJson(Cleared(AlarmKind::EncoderNotAnswering))["state"], "cleared");
}

// A reason from a file or a client never adds a header or ends the body.
TEST(AlertMessageTest, AMailHasItsHeadersAndNoReasonBreaksThem) {
    const std::string mail =
        AlertMailText(Raised(AlarmKind::FeedUnreadable, "x\r\nBcc: all@example.com\r\n.\r\n"),
                      "rds@station.example", {"eng@station.example", "noc@station.example"}, 7);
    EXPECT_THAT(mail, HasSubstr("Date: Thu, 10 Dec 2026 03:12:40 +0000\r\n"));
    EXPECT_THAT(mail, HasSubstr("To: eng@station.example, noc@station.example\r\n"));
    EXPECT_THAT(mail, HasSubstr("Subject: RDS alarm raised: Live-text file unreadable - "
                                "rock-fm.rds\r\n"));
    EXPECT_THAT(mail, HasSubstr("Message-ID: <vaxo.2026-12-10T03:12:40Z.7.station.example>"));
    EXPECT_THAT(mail, Not(HasSubstr("\r\nBcc:")));
    EXPECT_THAT(mail, Not(HasSubstr("\r\n.\r\n")));
    const auto body = mail.find("\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(mail.substr(0, body).find("Bcc"), std::string::npos);
}

TEST(AlertConfigTest, OnlyUrlsAndAddressesThatCanBeUsedSafelyAreTaken) {
    for (const char* good : {"http://127.0.0.1:8080/hook", "https://chat.example/hooks/abc?x=1",
                             "https://[2001:db8::1]:8443/"}) {
        EXPECT_FALSE(WhyNoWebhook(good)) << good;
    }
    for (const char* bad :
         {"ftp://example/", "file:///etc/passwd", "https://user:pw@example/", "http://",
          "http://host:0/", "http://host:99999/", "https://a b/", "gopher://x", "http://host:/"}) {
        EXPECT_TRUE(WhyNoWebhook(bad)) << bad;
    }
    EXPECT_FALSE(WhyNoMailServer("smtps://mail.example"));
    EXPECT_FALSE(WhyNoMailServer("smtp://mail.example:587"));
    EXPECT_TRUE(WhyNoMailServer("smtp://mail.example/path"));
    EXPECT_TRUE(WhyNoMailServer("imap://mail.example"));
    EXPECT_TRUE(UrlHostIsLoopback("smtp://127.0.0.1:2525"));
    EXPECT_TRUE(UrlHostIsLoopback("smtp://[::1]:2525"));
    EXPECT_FALSE(UrlHostIsLoopback("smtp://127.example:25"));
    EXPECT_FALSE(WhyNoMailAddress("eng@station.example"));
    for (const char* bad : {"eng", "@x", "x@", "a@b@c", "a b@c", "<a@b>", "a@b\r\nBcc: c@d"}) {
        EXPECT_TRUE(WhyNoMailAddress(bad)) << bad;
    }
}

// Delivery beside the caller: Send returns at once, a transport that fails
// is tried again, and each outcome is reported.
TEST(AlertSenderTest, SendOnlyQueuesAndEveryOutcomeIsReported) {
    class Blocking : public AlertTransport {
      public:
        std::optional<AlertFailure> Deliver(const Alert&, std::size_t) override {
            std::unique_lock lock(mutex);
            opened.wait(lock, [&] { return open; });
            return AlertFailure{"the server answered 404", true};
        }
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    auto transport = std::make_unique<Blocking>();
    Blocking& blocking = *transport;
    std::mutex mutex;
    std::condition_variable told;
    std::vector<AlertReport> reports;
    AlertConfig config;
    config.webhooks = {"http://127.0.0.1:1/"};
    AlertSender sender(config, std::move(transport), [&](const AlertReport& report) {
        const std::lock_guard lock(mutex);
        reports.push_back(report);
        told.notify_all();
    });
    sender.Send(Raised(AlarmKind::EncoderNotAnswering));  // returns while the transport blocks
    {
        const std::lock_guard lock(blocking.mutex);
        blocking.open = true;
    }
    blocking.opened.notify_all();
    std::unique_lock lock(mutex);
    ASSERT_TRUE(told.wait_for(lock, 60s, [&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].what, AlertReport::What::GaveUp);
    EXPECT_EQ(reports[0].target, "webhook http://127.0.0.1:1/");
    EXPECT_EQ(reports[0].why, "the server answered 404");
    lock.unlock();
    EXPECT_EQ(sender.Stop(), 0U);
}

}  // namespace
}  // namespace vaxo
