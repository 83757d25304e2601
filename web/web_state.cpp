#include "web/web_state.h"

#include "web/api_json.h"

#include "app/alarm_json.h"
#include "app/health.h"
#include "app/receiver_json.h"
#include "app/wear_words.h"
#include "base/code_page.h"
#include "base/local_time.h"
#include "record/field_schema.h"
#include "record/programme_types.h"

namespace vaxo {
namespace {

using nlohmann::json;

// The newest entries of the alarm history the page shows.
constexpr std::size_t kAlarmsOnThePage = 50;

json ViewOf(const std::optional<MemoryDump>& memory) {
    return memory ? ReceiverJson(DecodeEncoderMemory(memory->area1, memory->area2)) : json(nullptr);
}

json LastSendOf(const std::optional<LastSend>& last) {
    if (!last) {
        return nullptr;
    }
    return {{"time", LocalStamp(last->at)},
            {"ok", !last->problem},
            {"reason", last->problem ? DescribeLinkProblem(last->problem) : ""}};
}

json BankJson(const ProgramView& program, int bank) {
    const BankState& state = program.Bank(bank);
    json record = json::array();
    for (const std::string& line : state.record) {
        record.push_back(Windows1250ToUtf8(line));
    }
    return {{"bank", bank},
            {"revision", state.revision ? json(*state.revision) : json(nullptr)},
            {"on_air", ViewOf(state.onAir)},
            {"last_send", LastSendOf(state.last)},
            {"record", record}};
}

// The fields whose value differs from what the bank that sends go to
// holds; none when the program has not written that bank in this run.
json Pending(const ProgramView& program) {
    const auto fields = FieldsNotOnAir(program);
    return fields ? json(fields->Keys()) : json(nullptr);
}

// Who changed each field last in this run, and in which revision.
json Stamps(const ProgramView& program) {
    json stamps = json::object();
    ForEachStationField([&](const StationField& field) {
        const FieldStamp& stamp = program.Stamp(field.id);
        if (stamp.revision > 0) {
            stamps[std::string(field.key)] = {{"revision", stamp.revision},
                                              {"origin", Windows1250ToUtf8(stamp.origin)}};
        }
    });
    return stamps;
}

const char* LinkWord(Health::Link link) {
    switch (link) {
        case Health::Link::Good:
            return "good";
        case Health::Link::Bad:
            return "bad";
        default:
            return "unknown";
    }
}

const char* FeedState(LiveTextRead::Outcome outcome) {
    switch (outcome) {
        case LiveTextRead::Outcome::Read:
            return "read";
        case LiveTextRead::Outcome::Busy:
            return "busy";
        case LiveTextRead::Outcome::NotFound:
            return "not found";
        default:
            return "passed over";
    }
}

json Feeds(const ProgramView& program, const WebStateExtras& extras) {
    json feeds = json::array();
    for (const FeedReport& report : program.Feeds()) {
        const auto changed = extras.feedChanged.find(report.source);
        feeds.push_back(
            {{"source", report.source == FeedSource::Radiotext ? "radiotext" : "dynamic PS"},
             {"file", Windows1250ToUtf8(report.file)},
             {"text", Windows1250ToUtf8(report.text)},
             {"state", FeedState(report.outcome)},
             {"why", Windows1250ToUtf8(FeedPassedOverReason(report))},
             {"changed", changed == extras.feedChanged.end() ? "" : LocalStamp(changed->second)}});
    }
    return feeds;
}

json Wear(const ProgramView& program) {
    const WearLedger& ledger = program.Ledger();
    const auto busiest = ledger.Busiest();
    const auto years = program.WearYearsLeft();
    const auto& held = program.Held();
    return {
        {"text", DescribeWear(ledger, years)},
        {"busiest",
         {{"block", MemoryBlockName(busiest.block)},
          {"page", busiest.page},
          {"count", busiest.count}}},
        {"years_left", years ? json(*years) : json(nullptr)},
        {"endurance", program.Station().ENDURANCE},
        {"trouble", program.WearTrouble().empty() ? json(nullptr) : json(program.WearTrouble())},
        {"held", held ? json(DescribeSendsHeld({held->block, held->page, held->perDay, held->next}))
                      : json(nullptr)}};
}

json Listeners(const WebStateExtras& extras) {
    json listeners = json::array();
    for (const ListenerStatus& listener : extras.listeners) {
        listeners.push_back(
            {{"listener", listener.description},
             {"port", listener.port},
             {"clients", listener.clients},
             {"last_client", listener.lastClient},
             {"last_seen", listener.lastSeen ? LocalStamp(*listener.lastSeen) : ""}});
    }
    return listeners;
}

const char* EncoderWord(EncoderAnswer::State state) {
    switch (state) {
        case EncoderAnswer::State::Answering:
            return "answering";
        case EncoderAnswer::State::NotAnswering:
            return "not_answering";
        case EncoderAnswer::State::Unknown:
            break;
    }
    return "unknown";
}

json HealthState(const ProgramView& program, const WebStateExtras& extras) {
    const Health health = HealthOf(program);
    int clients = 0;
    for (const ListenerStatus& listener : extras.listeners) {
        clients += listener.clients;
    }
    std::string listeners = extras.listeners.empty()
                                ? std::string("no network listener")
                                : std::to_string(extras.listeners.size()) + " listening, " +
                                      std::to_string(clients) + " connected";
    return {{"link", LinkWord(health.link)},
            {"link_text", Windows1250ToUtf8(health.linkText)},
            {"feeds_ok", health.feedTroubles.empty()},
            {"feeds_text", Windows1250ToUtf8(health.feedsText)},
            {"encoder", EncoderWord(health.encoder)},
            {"encoder_text", health.encoderText},
            {"listeners_text", listeners}};
}

}  // namespace

json WebState(const ProgramView& program, const WebStateExtras& extras) {
    const RdsParameterSet& set = program.Station();
    const json fields = FieldsJson(set, program.DecimalSeparator());
    const PortState portState = program.Port();
    const PortInUse& port = portState.inUse;
    json ptyNames = json::array();
    for (std::string_view name : kProgrammeTypeNames) {
        ptyNames.push_back(name);
    }
    const MemoryDump preview = program.Preview();
    return {{"fields", fields},
            {"revision", program.Revision()},
            {"stamps", Stamps(program)},
            {"pending", Pending(program)},
            {"send_bank", set.STB == 1 ? 1 : 2},
            {"both_banks", set.AUTBSW},
            {"health", HealthState(program, extras)},
            {"banks", {BankJson(program, 1), BankJson(program, 2)}},
            {"preview", ReceiverJson(DecodeEncoderMemory(preview.area1, preview.area2))},
            {"port",
             {{"name", LptName(portState.base)},
              {"description", port.problem ? DescribeLinkProblem(port.problem) : port.description},
              {"ok", !port.problem}}},
            {"sending", program.Sending()},
            {"wear", Wear(program)},
            {"feeds", Feeds(program, extras)},
            {"listeners", Listeners(extras)},
            {"alarms", AlarmsJson(program.Alarms(), kAlarmsOnThePage)},
            {"station_file", Windows1250ToUtf8(program.Document().Name())},
            {"pty_names", ptyNames}};
}

}  // namespace vaxo
