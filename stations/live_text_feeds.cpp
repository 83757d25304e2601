#include "stations/live_text_feeds.h"

#include <utility>

#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

using Outcome = LiveTextRead::Outcome;

// What one source gave on this look, for the triggers.
struct SourceText {
    bool unreadable = false;
    bool busy = false;  // being rewritten: as if this look had not been
    std::string text;   // empty when the source is off or was not found
};

template <typename Apply>
SourceText TakeRead(FeedSource source, const LiveTextRead& read, std::vector<FeedReport>& reports,
                    Apply apply) {
    FeedReport report{source, read.outcome, read.path, "", read.why};
    SourceText result;
    switch (read.outcome) {
        case Outcome::NotFound:
            break;
        case Outcome::Unreadable:
        case Outcome::TooLarge:
        case Outcome::NotAnswering:
            result.unreadable = true;
            break;
        case Outcome::Busy:
            result.busy = true;
            break;
        case Outcome::Read:
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
        case Outcome::NotFound:
            return "not found";
        case Outcome::Unreadable:
            return "cannot be read" + (report.why.empty() ? "" : ": " + report.why);
        case Outcome::Busy:
            return "being written";
        case Outcome::TooLarge:
            return "too large: " + report.why;
        case Outcome::NotAnswering:
            return "does not answer: " + report.why;
        case Outcome::Read:
            break;
    }
    return "";
}

bool FeedInTrouble(const FeedReport& report) {
    return report.outcome != Outcome::Read && report.outcome != Outcome::Busy;
}

bool FollowsRadiotextFile(const RdsParameterSet& set) {
    return set.RTFF;
}

bool FollowsDynamicPsFile(const RdsParameterSet& set) {
    return set.PSFF && set.ENDPS;
}

FeedTick ApplyFeedReads(RdsParameterSet& s, FeedMemory& memory, const FeedReads& reads) {
    FeedTick tick;
    SourceText rt;
    if (reads.radiotext) {
        rt = TakeRead(FeedSource::Radiotext, *reads.radiotext, tick.reports, [&](std::string line) {
            std::string processed = ProcessRadiotextLine(std::move(line));
            s.RT = processed;
            s.serverTexts.erase(FieldId::RT);
            return processed;
        });
    }
    SourceText dps;
    if (reads.dynamicPs) {
        dps =
            TakeRead(FeedSource::DynamicPs, *reads.dynamicPs, tick.reports, [&](std::string line) {
                std::string processed =
                    ProcessDpsLine(std::move(line), {s.DPSA, s.DPSC, s.EFCHAR.str()});
                const auto segments = SplitDpsSegments(processed);
                for (std::size_t k = 0; k < segments.size(); ++k) {
                    s.DPS[k] = segments[k];
                }
                return processed;
            });
    }
    const bool rtTrigger = reads.radiotext && !rt.unreadable && !rt.busy &&
                           rt.text != memory.lastFileRT && s.UPCH && s.SELRT == 1 && !s.RTSA;
    const bool dpsTrigger = !rtTrigger && reads.dynamicPs && !dps.unreadable && !dps.busy &&
                            dps.text != memory.lastFileDPS && s.UPCHPS;
    if (rtTrigger || dpsTrigger) {
        if (!dps.busy) {
            memory.lastFileDPS = dps.text;
        }
        if (!rt.busy) {
            memory.lastFileRT = rt.text;
        }
        tick.sendFor = rtTrigger ? FeedSource::Radiotext : FeedSource::DynamicPs;
    }
    return tick;
}

FeedTick ReadFeeds(RdsParameterSet& set, FeedMemory& memory, const std::string& folder,
                   FeedLook& radiotextLook, FeedLook& dynamicPsLook) {
    FeedReads reads;
    if (FollowsRadiotextFile(set)) {
        reads.radiotext = ReadLiveTextFile(set.RTFILE, folder, radiotextLook);
    }
    if (FollowsDynamicPsFile(set)) {
        reads.dynamicPs = ReadLiveTextFile(set.PSFILE, folder, dynamicPsLook);
    }
    return ApplyFeedReads(set, memory, reads);
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
