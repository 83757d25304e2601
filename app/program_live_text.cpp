// The live-text feeds the program follows and the radiotext switching:
// both change the station on the loop's timers and ask for the sends.
#include <algorithm>

#include "app/control_program.h"

namespace vaxo {
namespace {

std::string FeedName(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext file" : "dynamic PS file";
}

}  // namespace

void ControlProgram::TickLiveText() {
    if (firstTick_) {
        firstTick_ = false;
        bannerShown_ = false;
        ShowTitle();
    }
    if (!FollowsRadiotextFile(set_) && !FollowsDynamicPsFile(set_) && !sends_.AfterLoadAsked()) {
        return;
    }
    feedReading_.Look(set_, folder_);
}

// A look at the live-text files came back: their texts into the fields, and
// a send when they ask for one or a station file did.
void ControlProgram::Looked(const FeedReads& looked) {
    FeedReads reads = looked;
    if (!FollowsRadiotextFile(set_)) {
        reads.radiotext.reset();  // switched off while it was read
    }
    if (!FollowsDynamicPsFile(set_)) {
        reads.dynamicPs.reset();
    }
    const auto before = FieldValues(set_);
    const FeedTick tick = ApplyFeedReads(set_, feedMemory_, reads);
    const bool tookOver = KeepFallbacks(tick.reports);
    TellFeeds(tick.reports);
    Changed(ChangedFields(before, set_), {Origin::Kind::Feed});
    if (tick.sendFor) {
        static_cast<void>(sends_.Ask(SendWhen::Now, FeedName(*tick.sendFor), SendAsker::Client));
    } else if (tookOver) {
        static_cast<void>(sends_.Ask(SendWhen::Now, "a live-text file again", SendAsker::Client));
    }
    if (sends_.AfterLoadAsked()) {  // only a load asks for it
        static_cast<void>(sends_.Ask(SendWhen::Now, "send after load", SendAsker::Operator));
    }
}

void ControlProgram::TellFeeds(const std::vector<FeedReport>& reports) {
    for (const FeedReport& report : reports) {
        const auto known = std::find_if(
            feedReports_.begin(), feedReports_.end(),
            [&](const FeedReport& earlier) { return earlier.source == report.source; });
        const bool read = report.outcome == LiveTextRead::Outcome::Read;
        if (read && (known == feedReports_.end() || known->text != report.text ||
                     !feedTextChanged_.contains(report.source))) {
            feedTextChanged_[report.source] = std::chrono::system_clock::now();
            feedChangedAt_[report.source] = services_.timing.Now();
        }
        if (known == feedReports_.end()) {
            feedReports_.push_back(report);
        } else if (*known == report) {
            continue;
        } else {
            *known = report;
        }
        events_.Emit(FeedChanged{report});
    }
}

void ControlProgram::SwitchRadiotext() {
    const int before = set_.SELRT;
    AdvanceRadiotext(set_);
    if (set_.SELRT != before) {
        Changed({FieldId::SELRT}, {});
    }
    static_cast<void>(sends_.Ask(SendWhen::Now, "radiotext switching", SendAsker::Client));
}

}  // namespace vaxo
