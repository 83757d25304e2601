#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "eventloop/asio.h"

namespace vaxo {

// The pages that watch (server-sent events): each is sent the whole state
// when it comes and right after any change (the changes made by one request
// in one event; during a run of changes, at most one event every kGather),
// made once for all of them.
class EventStreams {
  public:
    using Send = std::function<void(const std::string& event)>;
    using Close = std::function<void()>;

    EventStreams(boost::asio::io_context& io, std::function<std::string()> state);

    std::uint64_t Add(const std::string& session, Send send, Close close);
    // The stream ends; the session it watched for.
    std::string Remove(std::uint64_t id);
    bool Watches(const std::string& session) const;
    // Signed out: its pages stop watching.
    void CloseSession(const std::string& session);
    // The page is going: every stream ends now, while their connections may
    // still tell it so.
    void CloseAll();
    void Changed();
    std::size_t Count() const { return streams_.size(); }

    static constexpr auto kGather = std::chrono::milliseconds(50);

  private:
    struct Stream {
        std::string session;
        Send send;
        Close close;
    };
    void CloseWhere(const std::function<bool(const Stream&)>& closing_one);
    void Push();
    std::string Event() const { return "event: state\ndata: " + state_() + "\n\n"; }

    std::function<std::string()> state_;
    boost::asio::steady_timer timer_;
    bool scheduled_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastPush_;
    std::uint64_t next_ = 0;
    std::map<std::uint64_t, Stream> streams_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the timer's handler
};

}  // namespace vaxo
