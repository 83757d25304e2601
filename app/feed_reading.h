#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "base/core_host.h"
#include "base/detached_worker.h"
#include "record/rds_parameter_set.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

// Looks at the live-text sources beside the loop: each source is read on a
// thread of its own, so that a file on a mount that stops answering holds up
// nothing. A look is complete when every read came back or when the time
// limit passed; a read still out then counts as not answering, and no new
// read of that source starts until it has come back.
class FeedReading {
  public:
    using Looked = std::function<void(const FeedReads& reads)>;
    using Reader = std::function<LiveTextRead(const std::string& name, const std::string& folder,
                                              FeedLook& look)>;

    FeedReading(CoreHost& host, Looked looked,
                std::chrono::milliseconds limit = std::chrono::seconds(2),
                Reader read = ReadFromDisk);

    static LiveTextRead ReadFromDisk(const std::string& name, const std::string& folder,
                                     FeedLook& look);
    FeedReading(const FeedReading&) = delete;
    FeedReading& operator=(const FeedReading&) = delete;
    // Reads still out deliver nothing afterwards.
    ~FeedReading();

    // Looks at the sources the set follows in `folder`; `looked` is called
    // on the loop's thread, at once when none is followed.
    void Look(const RdsParameterSet& set, const std::string& folder);
    bool Looking() const { return looking_; }

  private:
    struct Mailbox;
    struct Source {
        std::string name;
        FeedLook look;
        bool reading = false;  // a read is out
        bool awaited = false;  // the current look waits for it
    };

    void Start(FeedSource source, const std::string& name, const std::string& folder);
    void Came(FeedSource source, const LiveTextRead& read, const FeedLook& look);
    void Complete();

    CoreHost& host_;
    Looked looked_;
    std::chrono::milliseconds limit_;
    Reader read_;
    std::shared_ptr<Mailbox> mailbox_;
    std::array<DetachedWorker, 2> workers_;  // by source
    std::unique_ptr<LoopTimer> limitTimer_;
    std::array<Source, 2> sources_{};
    FeedReads reads_;
    bool looking_ = false;
};

}  // namespace vaxo
