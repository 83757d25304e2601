#include "web/event_streams.h"

#include <algorithm>
#include <vector>

namespace vaxo {

EventStreams::EventStreams(boost::asio::io_context& io, std::function<std::string()> state)
    : state_(std::move(state)), timer_(io) {}

std::uint64_t EventStreams::Add(const std::string& session, Send send, Close close) {
    const std::uint64_t id = ++next_;
    send(Event());
    streams_.emplace(id, Stream{session, std::move(send), std::move(close)});
    return id;
}

std::string EventStreams::Remove(std::uint64_t id) {
    const auto found = streams_.find(id);
    if (found == streams_.end()) {
        return "";
    }
    std::string session = std::move(found->second.session);
    streams_.erase(found);
    return session;
}

bool EventStreams::Watches(const std::string& session) const {
    return std::any_of(streams_.begin(), streams_.end(),
                       [&](const auto& stream) { return stream.second.session == session; });
}

void EventStreams::CloseSession(const std::string& session) {
    CloseWhere([&](const Stream& stream) { return stream.session == session; });
}

void EventStreams::CloseAll() {
    CloseWhere([](const Stream&) { return true; });
}

void EventStreams::CloseWhere(const std::function<bool(const Stream&)>& closing_one) {
    std::vector<Close> closing;
    for (auto stream = streams_.begin(); stream != streams_.end();) {
        if (closing_one(stream->second)) {
            closing.push_back(std::move(stream->second.close));
            stream = streams_.erase(stream);
        } else {
            ++stream;
        }
    }
    for (const Close& close : closing) {
        close();
    }
}

void EventStreams::Changed() {
    if (scheduled_ || streams_.empty()) {
        return;
    }
    scheduled_ = true;
    // At once after a quiet spell; during a run of changes, one every kGather.
    const auto now = std::chrono::steady_clock::now();
    timer_.expires_after(
        lastPush_ ? std::max<std::chrono::steady_clock::duration>(
                        *lastPush_ + kGather - now, std::chrono::steady_clock::duration::zero())
                  : std::chrono::steady_clock::duration::zero());
    timer_.async_wait(
        [this, alive = std::weak_ptr<bool>(alive_)](const boost::system::error_code& error) {
            if (alive.expired()) {
                return;
            }
            scheduled_ = false;
            if (!error) {
                Push();
            }
        });
}

void EventStreams::Push() {
    if (streams_.empty()) {
        return;
    }
    lastPush_ = std::chrono::steady_clock::now();
    const std::string event = Event();
    for (auto& [id, stream] : streams_) {
        stream.send(event);
    }
}

}  // namespace vaxo
