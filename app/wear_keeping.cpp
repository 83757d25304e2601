#include "app/wear_keeping.h"

#include "base/file_io.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kLookEvery = 1min;

}  // namespace

WearKeeping::WearKeeping(CoreHost& host, EventHub& events, SendScheduler& sends,
                         std::function<std::string()> folder, std::function<long long()> endurance)
    : events_(events),
      sends_(sends),
      folder_(std::move(folder)),
      endurance_(std::move(endurance)),
      timer_(host.MakeTimer("wear ledger", [this] { LookAfter(); })) {}

void WearKeeping::Load() {
    const auto now = std::chrono::system_clock::now();
    const std::string path = folder_() + kWearLedgerFileName;
    try {
        const auto text = ReadOwnFile(path);
        sends_.TakeLedger(text ? WearLedger::Parse(*text, now) : WearLedger(now));
        return;
    } catch (const FileError& error) {
        sends_.TakeLedger(WearLedger(now));
        const std::string why = error.what();
        try {
            const std::string aside = KeepAside(path, now);
            trouble_ = "The wear ledger " + path + " could not be read (" + why +
                       "): it is kept as " + aside + " and the page writes are counted afresh";
        } catch (const FileError& renaming) {
            mayWrite_ = false;
            trouble_ = "The wear ledger " + path + " could not be read (" + why +
                       ") nor set aside (" + renaming.what() +
                       "): this run leaves it alone and keeps no count";
        }
        events_.Emit(ErrorReported{trouble_});
    }
}

void WearKeeping::Start() {
    timer_->Start(kLookEvery);
}

void WearKeeping::Stop() {
    timer_->Stop();
}

void WearKeeping::Save() {
    if (mayWrite_) {
        SaveOwnFile(folder_() + kWearLedgerFileName,
                    sends_.LedgerToSave(std::chrono::system_clock::now()));
    }
}

std::optional<double> WearKeeping::YearsLeft() const {
    return sends_.Ledger().YearsLeft(endurance_(), std::chrono::system_clock::now());
}

void WearKeeping::LookAfter() {
    if (sends_.LedgerChanged()) {
        try {
            Save();
            saveTrouble_.clear();
        } catch (const FileError& error) {
            saveTrouble_ = error.what();
            events_.Emit(ErrorReported{error.what()});
        }
    }
    const auto now = std::chrono::system_clock::now();
    const auto years = YearsLeft();
    if (years && *years < kWearWarningYears && (!toldAt_ || now - *toldAt_ >= 24h)) {
        toldAt_ = now;
        const auto busiest = sends_.Ledger().Busiest();
        events_.Emit(WearWarning{*years, busiest.block, busiest.page});
    }
}

}  // namespace vaxo
