#include "sending/send_scheduler.h"

#include <algorithm>
#include <utility>

namespace vaxo {
namespace {

using namespace std::chrono_literals;

// Changes from outside within this much of each other go out in one send.
constexpr auto kBurst = 100ms;
// An operator's Send this many whole seconds after the last one ended is ignored.
constexpr long kGuardSeconds = 1;
// A memory changed behind the program's back is put right within a day.
constexpr auto kFullWriteEvery = 24h;
constexpr auto kHoldToldEvery = 1h;

WearSettings WearSettingsOf(const RdsParameterSet& set) {
    return {set.ENDURANCE, set.WEARYEARS};
}

}  // namespace

SendScheduler::SendScheduler(Services services, const RdsParameterSet& set,
                             const std::uint64_t& revision)
    : s_(std::move(services)),
      set_(set),
      revision_(revision),
      link_({s_.host, s_.timing, s_.portLayer, s_.linkPort, s_.readBack, s_.events},
            [this] { return !running_ && !wanted_; }),
      lastEnded_(s_.timing.Now()),
      soonTimer_(s_.host.MakeTimer("send soon",
                                   [this] {
                                       loop_.Check("the send-soon timer");
                                       soonTimer_->Stop();
                                       soonPending_ = false;
                                       Want(std::exchange(soonTickets_, {}), soonReason_,
                                            std::exchange(soonAsker_, SendAsker::Client));
                                   })),
      holdTimer_(s_.host.MakeTimer("send hold",
                                   [this] {
                                       loop_.Check("the send-hold timer");
                                       holdTimer_->Stop();
                                       if (wanted_ && !running_) {
                                           Consider();
                                       }
                                   })),
      budget_(WearSettingsOf(set), s_.timing.Now()) {}

SendScheduler::~SendScheduler() {
    Stop();
}

void SendScheduler::Stop() {
    link_.Stop();
    soonTimer_->Stop();
    holdTimer_->Stop();
    wanted_ = false;
    soonPending_ = false;
    SendResult ended;
    ended.why = "the program ended before the send";
    ended.at = std::chrono::system_clock::now();
    for (auto* tickets : {&runningTickets_, &wantedTickets_, &soonTickets_}) {
        for (const auto& ticket : std::exchange(*tickets, {})) {
            ticket->Complete(ended);
        }
    }
}

std::shared_ptr<SendTicket> SendScheduler::Ignored(const std::string& why) const {
    SendResult ignored;
    ignored.why = why;
    ignored.at = std::chrono::system_clock::now();
    auto ticket = std::make_shared<SendTicket>();
    ticket->Complete(ignored);
    return ticket;
}

std::shared_ptr<SendTicket> SendScheduler::Ask(SendWhen when, const std::string& reason,
                                               SendAsker asker) {
    loop_.Check("SendScheduler::Ask");
    if (when == SendWhen::Operator) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::seconds>(s_.timing.Now() - lastEnded_);
        if (running_) {
            return Ignored("a send is running");
        }
        if (elapsed.count() <= kGuardSeconds) {
            return Ignored("the last send ended less than 2 s ago");
        }
    }
    auto ticket = std::make_shared<SendTicket>();
    if (when == SendWhen::Soon) {
        AskSoon(ticket, reason, asker);
        return ticket;
    }
    // This send takes the changes a send soon was waiting for.
    std::vector<std::shared_ptr<SendTicket>> tickets{ticket};
    if (soonPending_) {
        soonTimer_->Stop();
        soonPending_ = false;
        asker = std::max(asker, std::exchange(soonAsker_, SendAsker::Client));
        for (auto& waiting : std::exchange(soonTickets_, {})) {
            tickets.push_back(std::move(waiting));
        }
    }
    Want(std::move(tickets), reason, asker);
    return ticket;
}

// The moment counts from the first request: changes that never pause still
// go on air, one send after another.
void SendScheduler::AskSoon(std::shared_ptr<SendTicket> ticket, const std::string& reason,
                            SendAsker asker) {
    soonTickets_.push_back(std::move(ticket));
    soonReason_ = reason;
    soonAsker_ = std::max(soonAsker_, asker);
    if (!soonPending_) {
        soonPending_ = true;
        soonTimer_->Start(kBurst);
    }
}

void SendScheduler::Want(std::vector<std::shared_ptr<SendTicket>> tickets,
                         const std::string& reason, SendAsker asker) {
    for (auto& ticket : tickets) {
        wantedTickets_.push_back(std::move(ticket));
    }
    wanted_ = true;
    wantedReason_ = reason;
    wantedBy_ = std::max(wantedBy_, asker);
    if (!running_) {
        Consider();
    }
}

const EncoderImage& SendScheduler::Preview() const {
    TextAb next = textAb_;
    next.Update(set_);
    return images_.Of(set_, next.flag, s_.clock());
}

void SendScheduler::FollowWearSettings() {
    const WearSettings settings = WearSettingsOf(set_);
    if (settings != budget_.Settings()) {
        budget_.Configure(settings, s_.timing.Now());
    }
}

void SendScheduler::FollowPortChoice() {
    const std::uint16_t base = set_.PORT == 1 ? kLpt2Base : kLpt1Base;
    if (base != link_.PortBase()) {
        known_.ForgetAll();  // another port, perhaps another encoder
    }
    link_.UsePort(base);
}

std::string SendScheduler::LedgerToSave(WallTime now) {
    ledger_.KeepDay(now);
    ledgerChanged_ = false;
    return ledger_.Text();
}

void SendScheduler::TakeRecords(const std::array<LastSentRecord, 2>& records) {
    banks_[0].record = records[0];
    banks_[1].record = records[1];
}

bool SendScheduler::FullWriteDue(int bank, MonotonicTime now) const {
    const auto& last = lastFullWrite_[Index(bank)];
    return set_.WRITEALL || !last || now - *last >= kFullWriteEvery;
}

std::array<PageSet, 2> SendScheduler::PagesToWrite(int bank, const EncoderImage& image,
                                                   bool full) const {
    return full ? std::array<PageSet, 2>{kEveryPage, kEveryPage} : known_.PagesToWrite(bank, image);
}

void SendScheduler::Consider() {
    const MonotonicTime now = s_.timing.Now();
    if (wantedBy_ != SendAsker::OperatorsSend) {
        const bool client = wantedBy_ == SendAsker::Client;
        const int bank = SendBank();
        MonotonicTime until = now;
        if (const auto& last = lastStart_[Index(bank)]; last && client) {
            until = std::max(until, *last + std::chrono::seconds(set_.MINSEND));
        }
        std::optional<WearHold> wear;
        if (budget_.Settings().On()) {
            const auto pages = PagesToWrite(bank, Preview(), FullWriteDue(bank, now));
            const MonotonicTime allowed = budget_.WhenAllowed(
                bank, pages, now, client ? WearShare::Clients : WearShare::Operator);
            if (allowed > until) {
                const auto scarcest = budget_.Scarcest(bank, pages, now);
                wear = WearHold{scarcest.block, scarcest.page, budget_.Settings().PerDay(),
                                std::chrono::system_clock::now() +
                                    std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                        allowed - now)};
                until = allowed;
            }
        }
        if (until > now) {
            Hold(until, wear);
            return;
        }
    }
    held_.reset();
    wanted_ = false;
    wantedBy_ = SendAsker::Client;
    Start();
}

// A hold for the budget of writes is told when it begins, and once an hour
// while sends keep waiting for it.
void SendScheduler::Hold(MonotonicTime until, const std::optional<WearHold>& wear) {
    const MonotonicTime now = s_.timing.Now();
    holdTimer_->Start(std::chrono::ceil<std::chrono::milliseconds>(until - now));
    held_ = wear;
    if (!wear) {
        return;
    }
    if (!heldToldAt_ || now - *heldToldAt_ >= kHoldToldEvery) {
        heldToldAt_ = now;
        s_.events.Emit(SendsHeld{wear->block, wear->page, wear->perDay, wear->next});
    }
}

// The copy the send writes is taken here; the set may change from now on.
void SendScheduler::Start() {
    running_ = true;
    runningTickets_ = std::exchange(wantedTickets_, {});
    const int bank = SendBank();
    s_.events.Emit(SendStarted{bank, wantedReason_});
    s_.events.Emit(SendProgress{10});
    const MonotonicTime started = s_.timing.Now();
    const bool full = FullWriteDue(bank, started);
    lastStart_[Index(bank)] = started;
    const EncoderImage& image = Preview();
    textAb_.Update(set_);
    afterLoad_ = false;
    StationSend send = PrepareStationSend(set_, image, bank, link_.PortBase());
    send.job.pages = PagesToWrite(bank, send.job.image, full);
    auto shared = std::make_shared<const StationSend>(std::move(send));
    s_.events.Emit(SendProgress{20});
    link_.Send(shared, [this, shared, started, full, revision = revision_,
                        reason = wantedReason_](const EncoderLink::Sent& sent) {
        Finish(shared, sent, started, full, revision, reason);
    });
}

void SendScheduler::Finish(const std::shared_ptr<const StationSend>& send,
                           const EncoderLink::Sent& sent, MonotonicTime started, bool full,
                           std::uint64_t revision, const std::string& reason) {
    loop_.Check("the end of a send");
    running_ = false;
    lastEnded_ = s_.timing.Now();
    const TransferResult& result = sent.result.transfer;
    const SendJob& job = send->job;
    const int bank = job.bank;
    last_ = LastSend{std::chrono::system_clock::now(), bank, result.problem};
    BankState& state = banks_[Index(bank)];
    state.last = last_;
    ledger_.Count(bank, result.pageWrites);
    budget_.Spend(bank, result.pageWrites, lastEnded_);
    ledgerChanged_ = true;
    if (!result.problem) {
        state.record = sent.result.record;
        state.image = job.image;
        state.onAir = sent.readBack ? *sent.readBack : WrittenMemory(job.image);
        state.revision = revision;
        state.sent = send->sent;
        failuresInRow_ = 0;
        ++ended_.onAir;
        known_.Wrote(bank, job.image);
        if (full) {
            lastFullWrite_[Index(bank)] = started;
        }
    } else {
        known_.Forget(bank);  // a send cut short leaves pages of either image
        ++failuresInRow_;
        ++ended_.failed;
    }
    const SendResult told{result.problem ? SendResult::Status::Failed : SendResult::Status::OnAir,
                          bank, last_->at, result.problem, revision};
    for (const auto& ticket : std::exchange(runningTickets_, {})) {
        ticket->Complete(told);
    }
    s_.events.Emit(SendFinished{bank, result.problem, sent.result.record, reason});
    if (!result.problem && send->sent.EXAL) {
        s_.events.Emit(ExitRequested{});
    }
    if (wanted_) {
        Consider();
        return;
    }
    link_.RecalibrateIfDue();
}

}  // namespace vaxo
