#include "stations/live_text_feeds.h"

#include <utility>

#include "stations/live_text_file.h"
#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

// What one source gave on this tick.
struct SourceText {
    bool unreadable = false;
    bool busy = false;  // being rewritten: as if this tick had not looked
    std::string text;   // empty when the source is off or was not found
};

template <typename Apply>
SourceText ReadSource(const std::string& name, const std::string& programDir, Apply apply) {
    const LiveTextRead read = ReadLiveTextFile(name, programDir);
    switch (read.outcome) {
        case LiveTextRead::Outcome::NotFound:
            return {};
        case LiveTextRead::Outcome::Unreadable:
            return {true, false, ""};
        case LiveTextRead::Outcome::Busy:
            return {false, true, ""};
        case LiveTextRead::Outcome::Read:
            break;
    }
    return {false, false, apply(read.text)};
}

}  // namespace

LiveTextFeeds::LiveTextFeeds(RdsParameterSet& set, std::function<bool()> upload,
                             std::function<MonotonicTime()> now)
    : set_(set), upload_(std::move(upload)), now_(std::move(now)) {}

void LiveTextFeeds::Send() {
    set_.UpdateTextAb();
    upload_();
    set_.LastSendTime = now_();
}

void LiveTextFeeds::Timer1Timer() {
    RdsParameterSet& s = set_;
    const bool dpsFeed = s.PSFF && s.ENDPS;
    if (!s.RTFF && !dpsFeed && !s.SendPending) {
        return;
    }
    SourceText rt;
    if (s.RTFF) {
        rt = ReadSource(s.RTFILE, s.ProgramDir, [&](std::string line) {
            std::string processed = ProcessRadiotextLine(std::move(line));
            s.RT = processed;
            return processed;
        });
    }
    SourceText dps;
    if (dpsFeed) {
        dps = ReadSource(s.PSFILE, s.ProgramDir, [&](std::string line) {
            std::string processed =
                ProcessDpsLine(std::move(line), {s.DPSA, s.DPSC, s.EFCHAR.str()});
            const auto segments = SplitDpsSegments(processed);
            for (std::size_t k = 0; k < segments.size(); ++k) {
                s.DPS[k] = segments[k];
            }
            return processed;
        });
    }
    s.NotifyChanged();
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
        Send();
    }
    if (s.SendPending) {
        Send();
    }
}

void LiveTextFeeds::Timer2Timer() {
    if (set_.SELRT >= 1 && set_.SELRT <= 4) {
        for (int advance = 0; advance < 4; ++advance) {
            set_.SELRT = set_.SELRT % 4 + 1;
            if (!set_.ActualRT().empty()) {
                break;
            }
        }
        set_.NotifyChanged();
    }
    Send();
}

}  // namespace vaxo
