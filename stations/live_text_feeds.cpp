#include "stations/live_text_feeds.h"

#include <utility>

#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

// What one source gave on this tick, for the triggers.
struct SourceText {
    bool unreadable = false;
    bool busy = false;  // being rewritten: as if this tick had not looked
    std::string text;   // empty when the source is off or was not found
};

template <typename Apply>
SourceText ReadSource(FeedSource source, const std::string& name, const std::string& programDir,
                      std::vector<FeedReport>& reports, Apply apply) {
    const LiveTextRead read = ReadLiveTextFile(name, programDir);
    FeedReport report{source, read.outcome, read.path.empty() ? name : read.path, ""};
    SourceText result;
    switch (read.outcome) {
        case LiveTextRead::Outcome::NotFound:
            break;
        case LiveTextRead::Outcome::Unreadable:
            result.unreadable = true;
            break;
        case LiveTextRead::Outcome::Busy:
            result.busy = true;
            break;
        case LiveTextRead::Outcome::Read:
            result.text = apply(read.text);
            report.text = result.text;
            break;
    }
    reports.push_back(std::move(report));
    return result;
}

}  // namespace

std::string FeedPassedOverReason(const FeedReport& report) {
    switch (report.outcome) {
        case LiveTextRead::Outcome::NotFound:
            return "not found";
        case LiveTextRead::Outcome::Unreadable:
            return "cannot be read";
        case LiveTextRead::Outcome::Busy:
            return "being rewritten";
        case LiveTextRead::Outcome::Read:
            break;
    }
    return "";
}

FeedTick ReadFeeds(RdsParameterSet& s) {
    FeedTick tick;
    const bool dpsFeed = s.PSFF && s.ENDPS;
    SourceText rt;
    if (s.RTFF) {
        rt = ReadSource(FeedSource::Radiotext, s.RTFILE, s.ProgramDir, tick.reports,
                        [&](std::string line) {
                            std::string processed = ProcessRadiotextLine(std::move(line));
                            s.RT = processed;
                            return processed;
                        });
    }
    SourceText dps;
    if (dpsFeed) {
        dps = ReadSource(FeedSource::DynamicPs, s.PSFILE, s.ProgramDir, tick.reports,
                         [&](std::string line) {
                             std::string processed =
                                 ProcessDpsLine(std::move(line), {s.DPSA, s.DPSC, s.EFCHAR.str()});
                             const auto segments = SplitDpsSegments(processed);
                             for (std::size_t k = 0; k < segments.size(); ++k) {
                                 s.DPS[k] = segments[k];
                             }
                             return processed;
                         });
    }
    const bool rtTrigger = !rt.unreadable && !rt.busy && rt.text != s.LastFileRT && s.UPCH &&
                           s.RTFF && s.SELRT == 1 && !s.RTSA;
    const bool dpsTrigger = !rtTrigger && !dps.unreadable && !dps.busy &&
                            dps.text != s.LastFileDPS && s.UPCHPS && dpsFeed;
    if (rtTrigger || dpsTrigger) {
        if (!dps.busy) {
            s.LastFileDPS = dps.text;
        }
        if (!rt.busy) {
            s.LastFileRT = rt.text;
        }
        tick.sendFor = rtTrigger ? FeedSource::Radiotext : FeedSource::DynamicPs;
    }
    return tick;
}

void AdvanceRadiotext(RdsParameterSet& set) {
    if (set.SELRT < 1 || set.SELRT > 4) {
        return;
    }
    for (int advance = 0; advance < 4; ++advance) {
        set.SELRT = set.SELRT % 4 + 1;
        if (!set.ActualRT().empty()) {
            return;
        }
    }
}

}  // namespace vaxo
