#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core_host.h"
#include "app/event_hub.h"
#include "app/program_services.h"
#include "app/send_ticket.h"
#include "base/serial_worker.h"
#include "encoding/memory_dump.h"
#include "link/known_memory.h"
#include "link/station_send.h"
#include "link/wear_budget.h"
#include "link/wear_ledger.h"
#include "platform/port_layer.h"

namespace vaxo {

// Runs the sends beside the loop, one at a time, on the link's own thread,
// which is the only one that touches the port once the program runs.
//
// A send writes a copy of what the set held when it started, so the set
// may change meanwhile; a send asked for while one runs is carried out once
// the running one has ended, and any number of such requests make one send.
// The hold's calibration is measured at start-up and again, while nothing
// waits to be sent, when the one in force is older than ten minutes.
//
// The encoder's memory is spared: a send writes only the pages it is not
// known to hold (every page when nothing is known, when the operator asks
// for it, and once a day). A client's send waits until the last send to the
// bank started MINSEND seconds ago and until every page it writes is within
// the clients' share of its budget of writes; an operator's change waits
// only for the budget (the operator's share is kept for it), the operator's
// Send for nothing. Requests meanwhile make one send. Every page write is
// counted in the wear ledger.
//
// Threads: every member is used on the loop's thread, but for the port and
// the calibration count the link thread's jobs use (linkCpuSpeed_).
// Who a send is for, which decides what it waits for.
enum class SendAsker {
    Client,         // network clients, the live-text feeds, the radiotext switching
    Operator,       // the operator's changes: the window, a signed-in operator, a load
    OperatorsSend,  // the operator's Send
};

class SendCoordinator {
  public:
    // The program's services (the port, the timing, the clock, the read-back);
    // its events, its set and the set's revision.
    struct Services {
        const ProgramServices& program;
        EventHub& events;
        RdsParameterSet& set;
        const std::uint64_t& revision;
    };

    explicit SendCoordinator(Services services);
    SendCoordinator(const SendCoordinator&) = delete;
    SendCoordinator& operator=(const SendCoordinator&) = delete;
    ~SendCoordinator();

    // A send of the set as it stands. `reason` says who asked, for the events;
    // the tickets complete when the send that carries this request has ended.
    // Requests that wait together make one send, which waits as little as
    // the most pressing of them.
    void Request(const std::string& reason, std::vector<std::shared_ptr<SendTicket>> tickets = {},
                 SendAsker asker = SendAsker::Client);
    bool Running() const { return running_; }
    bool Waiting() const { return wanted_; }
    // Nothing runs or waits, on the link thread or the loop's.
    bool Idle() const { return !running_ && !wanted_ && !calibrating_ && pendingJobs_ == 0; }
    // A send is wanted but waits for the interval or the budget of writes.
    bool Holding() const { return wanted_ && !running_; }
    // Work is under way on the link thread, or its end on its way back.
    bool LinkBusy() const { return running_ || calibrating_ || pendingJobs_ > 0; }

    // Why sends wait for the memory's budget of writes, while they do.
    struct WearHold {
        std::size_t block = 0;  // MemoryBlock
        std::size_t page = 0;
        double perDay = 0;
        std::chrono::system_clock::time_point next;  // when the send may go
    };
    const std::optional<WearHold>& Held() const { return held_; }
    // Every page write of the memory, this run's and earlier runs'.
    const WearLedger& Ledger() const { return ledger_; }
    void TakeLedger(WearLedger ledger) { ledger_ = std::move(ledger); }
    // The ledger counted writes since it was last saved.
    bool LedgerChanged() const { return ledgerChanged_; }
    // The ledger's text to save, with the counts of the day kept.
    std::string LedgerToSave(WallTime now);
    // The budget of writes follows the set's settings (ENDURANCE, WEARYEARS).
    void FollowWearSettings();

    // The port follows the set's choice; it is opened on the link thread and
    // told as PortChanged.
    void FollowPortChoice();
    std::uint16_t PortBase() const { return portBase_; }
    const PortInUse& Port() const { return port_; }
    // Direct port access where allowed, and the port's lines at rest.
    void PreparePort();
    // The first calibration, and the ten-minute renewal from then on.
    void StartCalibrating();
    // The calibration count in force (3·c + 50,000,000), once there is one.
    std::optional<std::uint32_t> CpuSpeed() const { return cpuSpeed_; }

    // Why the last send failed; none after a success.
    const LinkProblem& LastProblem() const { return lastProblem_; }
    struct LastSend {
        std::chrono::system_clock::time_point at;  // when it ended
        int bank = 1;
        LinkProblem problem;
    };
    // The last send that ended, if there was one; the last to bank 1 or 2.
    const std::optional<LastSend>& Last() const { return last_; }
    const std::optional<LastSend>& LastTo(int bank) const { return lastTo_[Index(bank)]; }
    // The image the last successful send wrote into bank 1 or 2.
    const std::optional<EncoderImage>& LastImage(int bank) const {
        return lastImages_[Index(bank)];
    }
    // What bank 1 or 2 holds since the last successful send: the encoder's
    // memory read back where it can be, else the bytes the send wrote.
    const std::optional<MemoryDump>& OnAir(int bank) const { return onAir_[Index(bank)]; }
    // The station's revision bank 1 or 2 holds since the last successful
    // send of this run; none before one.
    std::optional<std::uint64_t> OnAirRevision(int bank) const {
        return onAirRevision_[Index(bank)];
    }
    // The set as the last successful send of this run to bank 1 or 2 took it.
    const std::optional<RdsParameterSet>& OnAirSet(int bank) const {
        return onAirSet_[Index(bank)];
    }
    // Sends that failed since the last one that succeeded.
    int FailuresInRow() const { return failuresInRow_; }

    // Abandons a running send at its next page or poll and ends the link
    // thread; nothing is sent afterwards, and every ticket still open is
    // completed as not sent.
    void Stop();

  private:
    struct Outcome;

    static std::size_t Index(int bank) { return bank == 2 ? 1 : 0; }
    // Starts the wanted send, or holds it until the interval and the budget
    // of writes let it go.
    void Consider();
    std::array<PageSet, 2> PagesToWrite(int bank, const EncoderImage& image, bool full) const;
    bool FullWriteDue(int bank, MonotonicTime now) const;
    void Hold(MonotonicTime until, const std::optional<WearHold>& wear);
    void Start(const std::string& reason);
    void Finish(const Outcome& outcome);
    void Calibrate();
    void Calibrated(std::optional<std::uint32_t> cpuSpeed);
    void RecalibrateIfDue();
    void TellPort(std::uint32_t base, const PortInUse& port);
    // Runs on the link thread; its completion comes back on the loop's.
    void OnLinkThread(std::function<std::function<void()>(const std::stop_token&)> job);

    Services s_;
    SerialWorker worker_;
    std::unique_ptr<LoopTimer> calibrationTimer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    bool running_ = false;
    bool wanted_ = false;
    SendAsker wantedBy_ = SendAsker::Client;
    std::string wantedReason_;
    std::unique_ptr<LoopTimer> holdTimer_;
    std::optional<WearHold> held_;
    std::optional<MonotonicTime> heldToldAt_;
    KnownMemory known_;
    WearBudget budget_;
    WearLedger ledger_;
    bool ledgerChanged_ = false;
    std::array<std::optional<MonotonicTime>, 2> lastStart_;
    std::array<std::optional<MonotonicTime>, 2> lastFullWrite_;
    std::vector<std::shared_ptr<SendTicket>> wantedTickets_;   // for the next send
    std::vector<std::shared_ptr<SendTicket>> runningTickets_;  // for the one that runs
    bool calibrating_ = false;
    bool calibrationDue_ = false;
    std::stop_source calibrationStop_;
    int pendingJobs_ = 0;
    std::optional<std::uint32_t> cpuSpeed_;
    std::uint16_t portBase_ = kLpt1Base;
    std::optional<std::pair<std::uint32_t, PortInUse>> toldPort_;
    PortInUse port_;
    LinkProblem lastProblem_;
    std::optional<LastSend> last_;
    std::array<std::optional<LastSend>, 2> lastTo_;
    std::array<std::optional<EncoderImage>, 2> lastImages_;
    std::array<std::optional<MemoryDump>, 2> onAir_;
    std::array<std::optional<std::uint64_t>, 2> onAirRevision_;
    std::array<std::optional<RdsParameterSet>, 2> onAirSet_;
    int failuresInRow_ = 0;

    // Touched on the link thread only, by one job at a time.
    std::uint32_t linkCpuSpeed_ = kCpuSpeedBase;
};

}  // namespace vaxo
