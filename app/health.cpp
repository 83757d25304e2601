#include "app/health.h"

#include "base/local_time.h"
#include "platform/link_fault.h"

namespace vaxo {
namespace {

std::string SourceName(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext" : "dynamic PS";
}

std::string LinkText(const SendCoordinator& sends) {
    const PortInUse& port = sends.Port();
    std::string text = "port " + LptName(sends.PortBase()) + ": ";
    text += port.problem ? DescribeLinkProblem(port.problem) : port.description;
    const auto& last = sends.Last();
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
    if (sends.FailuresInRow() > 1) {
        text += " (" + std::to_string(sends.FailuresInRow()) + " in a row)";
    }
    text += ": ";
    text += DescribeLinkProblem(last->problem);
    return text;
}

Health::Link LinkState(const SendCoordinator& sends) {
    const auto& last = sends.Last();
    if (sends.Port().problem || (last && last->problem)) {
        return Health::Link::Bad;
    }
    return last ? Health::Link::Good : Health::Link::Unknown;
}

}  // namespace

Health HealthOf(const ControlProgram& program) {
    Health health;
    health.link = LinkState(program.Sends());
    health.linkText = LinkText(program.Sends());
    std::string fine;
    for (const FeedReport& report : program.FeedReports()) {
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
