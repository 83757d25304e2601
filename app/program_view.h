#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/alarm_keeping.h"
#include "document/station_document.h"
#include "encoding/memory_dump.h"
#include "instance/instance_guard.h"
#include "probe/encoder_probe.h"
#include "record/field_schema.h"
#include "sending/send_scheduler.h"
#include "stations/derived_state.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

// Who last changed a field, and in which revision of the station.
struct FieldStamp {
    std::uint64_t revision = 0;
    std::string origin;  // "the window", "live text", "text 192.0.2.7:51234"
};

// The port the program sends through.
struct PortState {
    std::uint16_t base = kLpt1Base;  // LPT1 or LPT2
    PortInUse inUse;                 // what stands for it, or why none does
};

// The program's state as every front end reads it: the station and its
// file, the sends and what each bank holds, the port, the memory's wear,
// the feeds and the instance. It changes only on the loop's thread, and
// front ends hear of each change through the program's events.
class ProgramView {
  public:
    struct Parts {
        const RdsParameterSet& set;
        const DerivedState& derived;
        const std::uint64_t& revision;
        const std::array<FieldStamp, kFieldCount>& stamps;
        const std::string& title;
        const std::string& folder;
        const StationDocument& document;
        const InstanceGuard& instance;
        const SendScheduler& sends;
        const EncoderProbe& probe;
        const std::vector<FeedReport>& feeds;
        const std::map<FeedSource, std::chrono::system_clock::time_point>& feedTextChanged;
        std::function<std::optional<double>()> wearYearsLeft;
        std::function<std::string()> wearTrouble;
        const AlarmKeeping& alarms;
        std::function<char()> decimalSeparator;
        std::function<bool()> lookingAtFeeds;
        const bool& startedCompletely;
    };
    explicit ProgramView(Parts parts) : p_(std::move(parts)) {}

    // The station's fields and the program's options.
    const RdsParameterSet& Station() const { return p_.set; }
    const DerivedState& Derived() const { return p_.derived; }
    // The station's revision: it grows by one with every command, feed look
    // or load that changed a field.
    std::uint64_t Revision() const { return p_.revision; }
    const FieldStamp& Stamp(FieldId field) const { return p_.stamps[IndexOf(field)]; }
    // The program's name and the station file, or the start-up banner.
    const std::string& Title() const { return p_.title; }
    // The folder of the settings, the station files and the feeds, ending in
    // its separator.
    const std::string& Folder() const { return p_.folder; }
    // The decimal separator the send reads AF texts with.
    char DecimalSeparator() const { return p_.decimalSeparator(); }

    const StationDocument& Document() const { return p_.document; }
    // The station differs from what it was last loaded from or saved as.
    bool HasUnsavedChanges() const { return p_.document.HasUnsavedChanges(p_.set); }
    const InstanceGuard& Instance() const { return p_.instance; }
    // Whether the start-up sequence ran to its end.
    bool StartedCompletely() const { return p_.startedCompletely; }

    // A station loaded with "Send after Load" waits for the next look.
    bool SendAfterLoadAsked() const { return p_.sends.AfterLoadAsked(); }
    // The radiotext A/B flag as the last send left it.
    const TextAb& RadiotextAb() const { return p_.sends.TextAbState(); }
    // What a send would write now.
    MemoryDump Preview() const { return WrittenMemory(p_.sends.Preview()); }
    std::uint64_t ImagesBuilt() const { return p_.sends.ImagesBuilt(); }
    const BankState& Bank(int bank) const { return p_.sends.Bank(bank); }
    const std::optional<LastSend>& LastSendEnded() const { return p_.sends.Last(); }
    int FailuresInRow() const { return p_.sends.FailuresInRow(); }
    const SendScheduler::Ended& SendsEnded() const { return p_.sends.SendsEnded(); }
    // Whether the encoder answers between sends.
    const EncoderAnswer& Encoder() const { return p_.probe.Answer(); }
    PortState Port() const { return {p_.sends.Link().PortBase(), p_.sends.Link().Port()}; }
    std::optional<std::uint32_t> CpuSpeed() const { return p_.sends.Link().CpuSpeed(); }
    // A send runs, or waits for its moment, the interval or the budget.
    bool Sending() const { return !p_.sends.Idle(); }
    bool SendRunning() const { return p_.sends.Running(); }
    bool SendHolding() const { return p_.sends.Holding(); }
    bool LinkBusy() const { return p_.sends.LinkBusy(); }
    const std::optional<WearHold>& Held() const { return p_.sends.Held(); }
    const WearLedger& Ledger() const { return p_.sends.Ledger(); }
    // Years until the encoder's memory wears out at the rate of the last
    // week, as the ledger projects it; none without a day of history.
    std::optional<double> WearYearsLeft() const { return p_.wearYearsLeft(); }
    // Why this run could not take the wear ledger it found, and where it
    // was put; empty when it could.
    std::string WearTrouble() const { return p_.wearTrouble(); }

    // The alarms that stand and their history.
    const AlarmSet& Alarms() const { return p_.alarms.Alarms(); }
    // Why this run could not take the alarm history it found; empty when it
    // could.
    const std::string& AlarmTrouble() const { return p_.alarms.Trouble(); }

    // Nothing is under way: no send, no look at the live-text files.
    bool Idle() const { return p_.sends.Idle() && !LookingAtFeeds(); }
    bool LookingAtFeeds() const { return p_.lookingAtFeeds(); }

    // What each live-text source gave on its last look.
    const std::vector<FeedReport>& Feeds() const { return p_.feeds; }
    // When the source's text last changed (its first read counts), if it
    // has been read in this run.
    std::optional<std::chrono::system_clock::time_point> FeedTextChanged(FeedSource source) const {
        const auto found = p_.feedTextChanged.find(source);
        return found == p_.feedTextChanged.end() ? std::nullopt : std::optional(found->second);
    }

  private:
    Parts p_;
};

}  // namespace vaxo
