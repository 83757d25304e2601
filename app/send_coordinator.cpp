#include "app/send_coordinator.h"

#include <algorithm>
#include <utility>

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kCalibrationLife = 10min;
// A memory changed behind the program's back is put right within a day.
constexpr auto kFullWriteEvery = 24h;
constexpr auto kHoldToldEvery = 1h;

}  // namespace

struct SendCoordinator::Outcome {
    std::shared_ptr<const StationSend> send;
    bool full = false;  // every page written
    MonotonicTime started{};
    StationSendResult result;
    std::optional<MemoryDump> readBack;
    std::uint64_t revision = 0;  // of the station the send took
    std::string reason;
};

SendCoordinator::SendCoordinator(Services services)
    : s_(services),
      calibrationTimer_(s_.program.host.MakeTimer("calibration",
                                                  [this] {
                                                      calibrationDue_ = true;
                                                      RecalibrateIfDue();
                                                  })),
      holdTimer_(s_.program.host.MakeTimer("send hold",
                                           [this] {
                                               holdTimer_->Stop();
                                               if (wanted_ && !running_) {
                                                   Consider();
                                               }
                                           })),
      budget_(WearSettings{s_.set.ENDURANCE, s_.set.WEARYEARS}, s_.program.timing.Now()) {}

SendCoordinator::~SendCoordinator() {
    Stop();
}

void SendCoordinator::Stop() {
    worker_.Stop();
    calibrationTimer_->Stop();
    holdTimer_->Stop();
    wanted_ = false;
    SendResult ended;
    ended.why = "the program ended before the send";
    ended.at = std::chrono::system_clock::now();
    for (auto* tickets : {&runningTickets_, &wantedTickets_}) {
        for (const auto& ticket : std::exchange(*tickets, {})) {
            ticket->Complete(ended);
        }
    }
}

void SendCoordinator::OnLinkThread(
    std::function<std::function<void()>(const std::stop_token&)> job) {
    ++pendingJobs_;
    std::weak_ptr<bool> alive = alive_;
    worker_.Post([this, alive, job = std::move(job)](const std::stop_token& stop) {
        std::function<void()> done = job(stop);
        s_.program.host.Post([this, alive, done = std::move(done)] {
            if (alive.expired()) {
                return;
            }
            --pendingJobs_;
            if (done) {
                done();
            }
        });
    });
}

void SendCoordinator::Request(const std::string& reason,
                              std::vector<std::shared_ptr<SendTicket>> tickets, SendAsker asker) {
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

void SendCoordinator::FollowWearSettings() {
    const WearSettings settings{s_.set.ENDURANCE, s_.set.WEARYEARS};
    if (settings != budget_.Settings()) {
        budget_.Configure(settings, s_.program.timing.Now());
    }
}

std::string SendCoordinator::LedgerToSave(WallTime now) {
    ledger_.KeepDay(now);
    ledgerChanged_ = false;
    return ledger_.Text();
}

bool SendCoordinator::FullWriteDue(int bank, MonotonicTime now) const {
    const auto& last = lastFullWrite_[Index(bank)];
    return s_.set.WRITEALL || !last || now - *last >= kFullWriteEvery;
}

std::array<PageSet, 2> SendCoordinator::PagesToWrite(int bank, const EncoderImage& image,
                                                     bool full) const {
    return full ? std::array<PageSet, 2>{kEveryPage, kEveryPage} : known_.PagesToWrite(bank, image);
}

void SendCoordinator::Consider() {
    const MonotonicTime now = s_.program.timing.Now();
    if (wantedBy_ != SendAsker::OperatorsSend) {
        const bool client = wantedBy_ == SendAsker::Client;
        const int bank = s_.set.STB == 1 ? 1 : 2;
        MonotonicTime until = now;
        if (const auto& last = lastStart_[Index(bank)]; last && client) {
            until = std::max(until, *last + std::chrono::seconds(s_.set.MINSEND));
        }
        std::optional<WearHold> wear;
        if (budget_.Settings().On()) {
            RdsParameterSet copy = s_.set;
            const StationSend preview =
                PrepareStationSend(copy, s_.program.clock(), bank, portBase_);
            const auto pages = PagesToWrite(bank, preview.job.image, FullWriteDue(bank, now));
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
    if (calibrating_ && cpuSpeed_) {
        calibrationStop_.request_stop();  // the count in force serves; this one can wait
    }
    held_.reset();
    wanted_ = false;
    wantedBy_ = SendAsker::Client;
    Start(wantedReason_);
}

// A hold for the budget of writes is told when it begins, and once an hour
// while sends keep waiting for it.
void SendCoordinator::Hold(MonotonicTime until, const std::optional<WearHold>& wear) {
    const MonotonicTime now = s_.program.timing.Now();
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
void SendCoordinator::Start(const std::string& reason) {
    running_ = true;
    runningTickets_ = std::exchange(wantedTickets_, {});
    const int bank = s_.set.STB == 1 ? 1 : 2;
    s_.events.Emit(SendStarted{bank, reason});
    s_.events.Emit(SendProgress{10});
    auto outcome = std::make_shared<Outcome>();
    outcome->started = s_.program.timing.Now();
    outcome->full = FullWriteDue(bank, outcome->started);
    lastStart_[Index(bank)] = outcome->started;
    StationSend send = PrepareStationSend(s_.set, s_.program.clock(), bank, portBase_);
    send.job.pages = PagesToWrite(bank, send.job.image, outcome->full);
    outcome->send = std::make_shared<const StationSend>(std::move(send));
    outcome->revision = s_.revision;
    outcome->reason = reason;
    s_.events.Emit(SendProgress{20});
    std::weak_ptr<bool> alive = alive_;
    OnLinkThread([this, alive, outcome](const std::stop_token& stop) {
        outcome->result = RunStationSend(
            s_.program.linkPort, s_.program.timing, *outcome->send, linkCpuSpeed_,
            [this, alive](int percent) {
                s_.program.host.Post([this, alive, percent] {
                    if (!alive.expired()) {
                        s_.events.Emit(SendProgress{percent});
                    }
                });
            },
            stop);
        if (!outcome->result.transfer.problem && s_.program.readBack) {
            outcome->readBack = s_.program.readBack(outcome->send->job.bank);
        }
        return [this, outcome] { Finish(*outcome); };
    });
}

void SendCoordinator::Finish(const Outcome& outcome) {
    RdsParameterSet& set = s_.set;
    running_ = false;
    set.LastSendTime = s_.program.timing.Now();
    const TransferResult& result = outcome.result.transfer;
    const SendJob& job = outcome.send->job;
    TellPort(job.portBase, result.port);
    lastProblem_ = result.problem;
    const int bank = job.bank;
    last_ = LastSend{std::chrono::system_clock::now(), bank, result.problem};
    lastTo_[Index(bank)] = last_;
    const LastSentRecord& record = outcome.result.record;
    ledger_.Count(bank, result.pageWrites);
    budget_.Spend(bank, result.pageWrites, s_.program.timing.Now());
    ledgerChanged_ = true;
    if (!result.problem) {
        set.LastSent[Index(bank)] = record;
        lastImages_[Index(bank)] = job.image;
        onAir_[Index(bank)] = outcome.readBack ? *outcome.readBack : WrittenMemory(job.image);
        onAirRevision_[Index(bank)] = outcome.revision;
        onAirSet_[Index(bank)] = outcome.send->sent;
        failuresInRow_ = 0;
        known_.Wrote(bank, job.image);
        if (outcome.full) {
            lastFullWrite_[Index(bank)] = outcome.started;
        }
    } else {
        known_.Forget(bank);  // a send cut short leaves pages of either image
        ++failuresInRow_;
    }
    SendResult told{result.problem ? SendResult::Status::Failed : SendResult::Status::OnAir, bank,
                    last_->at, result.problem, outcome.revision};
    for (const auto& ticket : std::exchange(runningTickets_, {})) {
        ticket->Complete(told);
    }
    s_.events.Emit(SendFinished{bank, result.problem, record, outcome.reason});
    if (!result.problem && outcome.send->sent.EXAL) {
        s_.events.Emit(ExitRequested{});
    }
    if (wanted_) {
        Consider();
        return;
    }
    RecalibrateIfDue();
}

void SendCoordinator::FollowPortChoice() {
    const std::uint16_t before = portBase_;
    portBase_ = s_.set.PORT == 1 ? kLpt2Base : kLpt1Base;
    if (portBase_ != before) {
        known_.ForgetAll();  // another port, perhaps another encoder
    }
    const std::uint16_t base = portBase_;
    OnLinkThread([this, base](const std::stop_token&) {
        const PortInUse port = s_.program.linkPort.OpenPort(base);
        return [this, base, port] { TellPort(base, port); };
    });
}

void SendCoordinator::TellPort(std::uint32_t base, const PortInUse& port) {
    if (base != portBase_) {
        return;  // the choice has moved on since
    }
    port_ = port;
    const bool same = toldPort_ && toldPort_->first == base &&
                      toldPort_->second.description == port.description &&
                      toldPort_->second.problem.fault == port.problem.fault &&
                      toldPort_->second.problem.subject == port.problem.subject;
    if (!same) {
        toldPort_ = std::pair{base, port};
        s_.events.Emit(PortChanged{base, port});
    }
}

void SendCoordinator::PreparePort() {
    const std::uint16_t base = portBase_;
    OnLinkThread([this, base](const std::stop_token&) {
        ReadyPort(s_.program.portLayer, s_.program.linkPort, base);
        return std::function<void()>();
    });
}

void SendCoordinator::StartCalibrating() {
    Calibrate();
}

void SendCoordinator::Calibrate() {
    calibrating_ = true;
    calibrationDue_ = false;
    calibrationStop_ = std::stop_source();
    OnLinkThread([this, giveUp = calibrationStop_](const std::stop_token& stop) {
        std::stop_source own = giveUp;
        const std::stop_callback ending(stop, [&own] { own.request_stop(); });
        const std::optional<std::uint32_t> measured =
            MeasureCpuSpeed(s_.program.timing, own.get_token());
        if (measured) {
            linkCpuSpeed_ = *measured;
        }
        return [this, measured] { Calibrated(measured); };
    });
}

void SendCoordinator::Calibrated(std::optional<std::uint32_t> cpuSpeed) {
    calibrating_ = false;
    if (!cpuSpeed) {
        calibrationDue_ = true;  // given up for a send: again when nothing waits
        return;
    }
    cpuSpeed_ = cpuSpeed;
    calibrationTimer_->Start(kCalibrationLife);
}

void SendCoordinator::RecalibrateIfDue() {
    if (calibrationDue_ && !running_ && !wanted_ && !calibrating_) {
        Calibrate();
    }
}

}  // namespace vaxo
