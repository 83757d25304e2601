#include "app/feed_reading.h"

#include "base/mutex.h"

namespace vaxo {
namespace {

std::size_t Index(FeedSource source) {
    return source == FeedSource::Radiotext ? 0 : 1;
}

}  // namespace

// Where a read's thread leaves its result: the loop, while there is one to
// take it. A thread stuck in a read may outlive the program's objects.
struct FeedReading::Mailbox {
    Mutex mutex;
    CoreHost* host GUARDED_BY(mutex) = nullptr;
    FeedReading* reading GUARDED_BY(mutex) = nullptr;

    void Deliver(FeedSource source, LiveTextRead read, FeedLook look,
                 const std::shared_ptr<Mailbox>& self) {
        const MutexLock lock(mutex);
        if (!host) {
            return;
        }
        host->Post([self, source, read = std::move(read), look] {
            FeedReading* reading = nullptr;
            {
                const MutexLock lock(self->mutex);
                reading = self->reading;
            }
            if (reading) {
                reading->Came(source, read, look);
            }
        });
    }
};

LiveTextRead FeedReading::ReadFromDisk(const std::string& name, const std::string& folder,
                                       FeedLook& look) {
    return ReadLiveTextFile(name, folder, look);
}

FeedReading::FeedReading(CoreHost& host, Looked looked, std::chrono::milliseconds limit,
                         Reader read)
    : host_(host),
      looked_(std::move(looked)),
      limit_(limit),
      read_(std::move(read)),
      mailbox_(std::make_shared<Mailbox>()),
      limitTimer_(host.MakeTimer("live text time limit", [this] { Complete(); })) {
    const MutexLock lock(mailbox_->mutex);
    mailbox_->host = &host_;
    mailbox_->reading = this;
}

FeedReading::~FeedReading() {
    const MutexLock lock(mailbox_->mutex);
    mailbox_->host = nullptr;
    mailbox_->reading = nullptr;
}

void FeedReading::Look(const RdsParameterSet& set, const std::string& folder) {
    if (looking_) {
        Complete();  // the one before, with what came back
    }
    looking_ = true;
    reads_ = {};
    if (FollowsRadiotextFile(set)) {
        Start(FeedSource::Radiotext, set.RTFILE, folder);
    }
    if (FollowsDynamicPsFile(set)) {
        Start(FeedSource::DynamicPs, set.PSFILE, folder);
    }
    if (!sources_[0].awaited && !sources_[1].awaited) {
        Complete();
        return;
    }
    limitTimer_->Start(limit_);
}

void FeedReading::Start(FeedSource source, const std::string& name, const std::string& folder) {
    Source& state = sources_[Index(source)];
    state.name = name;
    std::optional<LiveTextRead>& slot =
        source == FeedSource::Radiotext ? reads_.radiotext : reads_.dynamicPs;
    if (state.reading) {
        slot = LiveTextRead{LiveTextRead::Outcome::NotAnswering, "", name,
                            "an earlier read has not come back"};
        return;
    }
    state.reading = true;
    state.awaited = true;
    workers_[Index(source)].Post(
        [mailbox = mailbox_, read = read_, source, name, folder, look = state.look]() mutable {
            LiveTextRead result = read(name, folder, look);
            mailbox->Deliver(source, std::move(result), look, mailbox);
        });
}

void FeedReading::Came(FeedSource source, const LiveTextRead& read, const FeedLook& look) {
    Source& state = sources_[Index(source)];
    state.reading = false;
    state.look = look;
    if (!looking_ || !state.awaited) {
        return;  // too late for its look
    }
    state.awaited = false;
    (source == FeedSource::Radiotext ? reads_.radiotext : reads_.dynamicPs) = read;
    if (!sources_[0].awaited && !sources_[1].awaited) {
        Complete();
    }
}

void FeedReading::Complete() {
    limitTimer_->Stop();
    const std::string why = "no answer within " + std::to_string(limit_.count()) + " ms";
    for (FeedSource source : {FeedSource::Radiotext, FeedSource::DynamicPs}) {
        Source& state = sources_[Index(source)];
        if (state.awaited) {
            state.awaited = false;
            (source == FeedSource::Radiotext ? reads_.radiotext : reads_.dynamicPs) =
                LiveTextRead{LiveTextRead::Outcome::NotAnswering, "", state.name, why};
        }
    }
    looking_ = false;
    const FeedReads reads = std::move(reads_);
    reads_ = {};
    looked_(reads);
}

}  // namespace vaxo
