#include "app/health.h"

#include "base/local_time.h"
#include "platform/link_fault.h"

namespace vaxo {

std::string DescribeEncoderAnswer(const EncoderAnswer& answer) {
    switch (answer.state) {
        case EncoderAnswer::State::Unknown:
            break;
        case EncoderAnswer::State::Answering:
            return "encoder answers";
        case EncoderAnswer::State::NotAnswering:
            return "encoder not answering" +
                   (answer.since ? " since " + LocalStamp(*answer.since) : std::string()) + ": " +
                   answer.reason;
    }
    return "encoder not heard yet";
}

std::optional<FieldSet> FieldsNotOnAir(const ProgramView& program) {
    const RdsParameterSet& set = program.Station();
    const auto& sent = program.Bank(set.STB == 1 ? 1 : 2).sent;
    if (!sent) {
        return std::nullopt;
    }
    FieldSet differing;
    ForEachStationField([&](const StationField& field) {
        if (!field.offAir && field.get(set) != field.get(*sent)) {
            differing.Add(field.id);
        }
    });
    return differing;
}

namespace {

std::string SourceName(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext" : "dynamic PS";
}

std::string LinkText(const ProgramView& program) {
    const PortState port = program.Port();
    std::string text = "port " + LptName(port.base) + ": ";
    text += port.inUse.problem ? DescribeLinkProblem(port.inUse.problem) : port.inUse.description;
    if (program.Encoder().state == EncoderAnswer::State::NotAnswering) {
        text += "; " + DescribeEncoderAnswer(program.Encoder());
    }
    const auto& last = program.LastSendEnded();
    if (!last) {
        text += "; no send yet";
        return text;
    }
    text += "; last send ";
    text += LocalStamp(last->at);
    text += " bank ";
    text += std::to_string(last->bank);
    if (!last->problem) {
        text += " ok";
        return text;
    }
    text += " failed";
    if (program.FailuresInRow() > 1) {
        text += " (" + std::to_string(program.FailuresInRow()) + " in a row)";
    }
    text += ": ";
    text += DescribeLinkProblem(last->problem);
    return text;
}

Health::Link LinkState(const ProgramView& program) {
    const auto& last = program.LastSendEnded();
    if (program.Port().inUse.problem || (last && last->problem) ||
        program.Encoder().state == EncoderAnswer::State::NotAnswering) {
        return Health::Link::Bad;
    }
    return last ? Health::Link::Good : Health::Link::Unknown;
}

}  // namespace

Health HealthOf(const ProgramView& program) {
    Health health;
    health.encoder = program.Encoder().state;
    health.encoderText = DescribeEncoderAnswer(program.Encoder());
    health.link = LinkState(program);
    health.linkText = LinkText(program);
    std::string fine;
    for (const FeedReport& report : program.Feeds()) {
        std::string named = SourceName(report.source) + " " + report.file;
        if (FeedInTrouble(report)) {
            health.feedTroubles.push_back(named + ": " + FeedPassedOverReason(report));
        } else {
            fine += (fine.empty() ? "" : ", ") + named + " read";
        }
    }
    if (!health.feedTroubles.empty()) {
        for (const std::string& trouble : health.feedTroubles) {
            health.feedsText += (health.feedsText.empty() ? "" : "; ") + trouble;
        }
    } else {
        health.feedsText = fine.empty() ? "no live-text file followed" : fine;
    }
    return health;
}

}  // namespace vaxo
