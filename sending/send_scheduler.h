#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/core_host.h"
#include "base/loop_thread.h"
#include "encoding/text_ab.h"
#include "events/event_hub.h"
#include "events/send_ticket.h"
#include "link/known_memory.h"
#include "link/wear_budget.h"
#include "link/wear_ledger.h"
#include "sending/bank_state.h"
#include "sending/encoder_link.h"
#include "sending/send_request.h"
#include "sending/station_images.h"

namespace vaxo {

// Why sends wait for the memory's budget of writes, while they do.
struct WearHold {
    std::size_t block = 0;  // MemoryBlock
    std::size_t page = 0;
    double perDay = 0;
    std::chrono::system_clock::time_point next;  // when the send may go
};

// When and what the program sends: all of the send policy, with the link
// that carries the sends out.
//
// A send writes a copy of what the set held when it started, so the set
// may change meanwhile; a send asked for while one runs is carried out once
// the running one has ended, and any number of such requests make one send.
// Changes from outside ask for a send a moment from now (kBurst), so that a
// burst of them goes out in one; the operator's Send is ignored while one
// runs and within two seconds of the last one's end.
//
// The encoder's memory is spared: a send writes only the pages it is not
// known to hold (every page when nothing is known, when the operator asks
// for it, and once a day). A client's send waits until the last send to the
// bank started MINSEND seconds ago and until every page it writes is within
// the clients' share of its budget of writes; an operator's change waits
// only for the budget (the operator's share is kept for it), the operator's
// Send for nothing. Every page write is counted in the wear ledger.
//
// Threads: everything here is used on the loop's thread.
class SendScheduler {
  public:
    struct Services {
        CoreHost& host;
        LinkTiming& timing;
        std::function<ImageClock()> clock;
        EventHub& events;
        PortLayer& portLayer;
        PortIo& linkPort;
        MemoryReadBack readBack;
    };

    // The set and its revision are the program's; sends read them.
    SendScheduler(Services services, const RdsParameterSet& set, const std::uint64_t& revision);
    SendScheduler(const SendScheduler&) = delete;
    SendScheduler& operator=(const SendScheduler&) = delete;
    ~SendScheduler();

    // A send of the set as it stands; `reason` says who asked, for the
    // events. The ticket completes when the send that carries the request
    // has ended, or at once when the request is ignored.
    std::shared_ptr<SendTicket> Ask(SendWhen when, const std::string& reason, SendAsker asker);
    // A station loaded with "Send after Load" asks for a send at the next
    // look; the send clears it.
    void AskAfterLoad(bool asked) { afterLoad_ = asked; }
    bool AfterLoadAsked() const { return afterLoad_; }

    // The radiotext A/B flag flips (a request from outside).
    void ToggleTextAb() { textAb_.flag ^= 1; }
    const TextAb& TextAbState() const { return textAb_; }
    // The radiotext an earlier run sent last, as the settings file keeps it.
    void TakeLastSentRadiotext(std::string text) { textAb_.lastSent = std::move(text); }

    // What a send would write now, built from the set as it stands.
    const EncoderImage& Preview() const;
    std::uint64_t ImagesBuilt() const { return images_.Built(); }

    // The budget of writes follows the set's settings (ENDURANCE, WEARYEARS),
    // the port its choice (PORT).
    void FollowWearSettings();
    void FollowPortChoice();
    // Direct port access where allowed, and the port's lines at rest.
    void PreparePort() { link_.Ready(); }
    void StartCalibrating() { link_.StartCalibrating(); }

    // Every page write of the memory, this run's and earlier runs'.
    const WearLedger& Ledger() const { return ledger_; }
    void TakeLedger(WearLedger ledger) { ledger_ = std::move(ledger); }
    bool LedgerChanged() const { return ledgerChanged_; }
    // The ledger's text to save, with the counts of the day kept.
    std::string LedgerToSave(WallTime now);

    // The last-sent records an earlier run kept, bank 1 and 2.
    void TakeRecords(const std::array<LastSentRecord, 2>& records);

    bool Running() const { return running_; }
    // A send is wanted: after the one that runs, or held.
    bool Wanted() const { return wanted_; }
    // A send is wanted but waits for the interval or the budget of writes.
    bool Holding() const { return wanted_ && !running_; }
    // Changes wait for the moment of a burst to pass.
    bool SoonPending() const { return soonPending_; }
    // Nothing runs or waits, on the link thread or the loop's.
    bool Idle() const { return !running_ && !wanted_ && !soonPending_ && !link_.Busy(); }
    // Work is under way on the link thread, or its end on its way back.
    bool LinkBusy() const { return running_ || link_.Busy(); }
    const std::optional<WearHold>& Held() const { return held_; }
    // The last send that ended, if there was one.
    const std::optional<LastSend>& Last() const { return last_; }
    // Sends that failed since the last one that succeeded.
    int FailuresInRow() const { return failuresInRow_; }
    // Sends of this run that ended, by how.
    struct Ended {
        std::uint64_t onAir = 0;
        std::uint64_t failed = 0;
    };
    const Ended& SendsEnded() const { return ended_; }
    const BankState& Bank(int bank) const { return banks_[Index(bank)]; }
    const EncoderLink& Link() const { return link_; }
    // Reads the encoder's status line on the link thread while no send runs
    // there; false, and nothing read, while one does.
    bool ReadStatus(int reads, std::function<void(const EncoderLink::StatusSample&)> done) {
        if (LinkBusy()) {
            return false;
        }
        link_.ReadStatus(reads, std::move(done));
        return true;
    }

    // Abandons a running send at its next page or poll and ends the link
    // thread; nothing is sent afterwards, and every ticket still open is
    // completed as not sent.
    void Stop();

  private:
    static std::size_t Index(int bank) { return bank == 2 ? 1 : 0; }
    int SendBank() const { return set_.STB == 1 ? 1 : 2; }
    std::shared_ptr<SendTicket> Ignored(const std::string& why) const;
    void AskSoon(std::shared_ptr<SendTicket> ticket, const std::string& reason, SendAsker asker);
    void Want(std::vector<std::shared_ptr<SendTicket>> tickets, const std::string& reason,
              SendAsker asker);
    // Starts the wanted send, or holds it until the interval and the budget
    // of writes let it go.
    void Consider();
    std::array<PageSet, 2> PagesToWrite(int bank, const EncoderImage& image, bool full) const;
    bool FullWriteDue(int bank, MonotonicTime now) const;
    void Hold(MonotonicTime until, const std::optional<WearHold>& wear);
    void Start();
    void Finish(const std::shared_ptr<const StationSend>& send, const EncoderLink::Sent& sent,
                MonotonicTime started, bool full, std::uint64_t revision,
                const std::string& reason);

    Services s_;
    const RdsParameterSet& set_;
    const std::uint64_t& revision_;
    mutable StationImages images_;
    TextAb textAb_;
    bool afterLoad_ = false;
    EncoderLink link_;
    Ended ended_;
    MonotonicTime lastEnded_;  // the operator's Send waits two seconds after it

    std::unique_ptr<LoopTimer> soonTimer_;
    bool soonPending_ = false;
    std::string soonReason_;
    SendAsker soonAsker_ = SendAsker::Client;
    std::vector<std::shared_ptr<SendTicket>> soonTickets_;

    bool running_ = false;
    bool wanted_ = false;
    SendAsker wantedBy_ = SendAsker::Client;
    std::string wantedReason_;
    std::vector<std::shared_ptr<SendTicket>> wantedTickets_;   // for the next send
    std::vector<std::shared_ptr<SendTicket>> runningTickets_;  // for the one that runs

    std::unique_ptr<LoopTimer> holdTimer_;
    std::optional<WearHold> held_;
    std::optional<MonotonicTime> heldToldAt_;
    KnownMemory known_;
    WearBudget budget_;
    WearLedger ledger_;
    bool ledgerChanged_ = false;
    std::array<std::optional<MonotonicTime>, 2> lastStart_;
    std::array<std::optional<MonotonicTime>, 2> lastFullWrite_;

    std::optional<LastSend> last_;
    std::array<BankState, 2> banks_;
    int failuresInRow_ = 0;
    LoopThread loop_;
};

}  // namespace vaxo
