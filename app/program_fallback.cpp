// A followed live-text file whose text outstays its limit (a playout that
// died) is replaced on air by the station's fallback text, and the file's
// next change takes over again: one send each way.
#include "app/control_program.h"
#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

const Origin kFallback{Origin::Kind::Program, "the fallback"};

bool Follows(const RdsParameterSet& set, FeedSource source) {
    return source == FeedSource::Radiotext ? FollowsRadiotextFile(set) : FollowsDynamicPsFile(set);
}

int LimitMinutes(const RdsParameterSet& set, FeedSource source) {
    return source == FeedSource::Radiotext ? set.RTSTALE : set.DPSSTALE;
}

const char* FallbackName(FeedSource source) {
    return source == FeedSource::Radiotext ? "the fallback radiotext" : "the fallback dynamic PS";
}

}  // namespace

// The station's own texts are what it was given by anyone but the feeds
// and the fallback: its file, the operator, a client.
void ControlProgram::KeepOwnTexts(const FieldSet& fields, const Origin& origin) {
    if (origin.kind == Origin::Kind::Feed || origin.who == kFallback.who) {
        return;
    }
    if (fields.Has(FieldId::RT)) {
        ownRadiotext_ = set_.RT.str();
    }
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        if (fields.Has(DpsField(k))) {
            ownDps_[k] = set_.DPS[k].str();
        }
    }
}

std::vector<FieldAssignment> ControlProgram::FallbackValues(FeedSource source) const {
    if (source == FeedSource::Radiotext) {
        return {{FieldId::RT, FieldValue(set_.RTFB.empty() ? ownRadiotext_ : set_.RTFB.str())}};
    }
    std::array<std::string, kDpsCount> texts = ownDps_;
    if (!set_.DPSFB.empty()) {
        texts =
            SplitDpsSegments(ProcessDpsLine(set_.DPSFB, {set_.DPSA, set_.DPSC, set_.EFCHAR.str()}));
    }
    std::vector<FieldAssignment> values;
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        values.push_back({DpsField(k), FieldValue(texts[k])});
    }
    return values;
}

void ControlProgram::LookAfterFeedLimits() {
    const MonotonicTime now = services_.timing.Now();
    for (const FeedSource source : {FeedSource::Radiotext, FeedSource::DynamicPs}) {
        const int limit = LimitMinutes(set_, source);
        const auto changed = feedChangedAt_.find(source);
        if (!Follows(set_, source) || limit == 0) {
            fallbackFor_.erase(source);
            continue;
        }
        if (fallbackFor_.contains(source) || changed == feedChangedAt_.end() ||
            now - changed->second < std::chrono::minutes(limit)) {
            continue;
        }
        const auto known =
            std::find_if(feedReports_.begin(), feedReports_.end(),
                         [&](const FeedReport& report) { return report.source == source; });
        fallbackFor_[source] = known == feedReports_.end() ? std::string() : known->text;
        static_cast<void>(Run(kFallback, SetFields{FallbackValues(source)}));
        static_cast<void>(sends_.Ask(SendWhen::Now, FallbackName(source), SendAsker::Operator));
    }
}

// Within a look: a feed whose text is still the stale one keeps the
// fallback on air; one whose text changed takes over, with its send.
bool ControlProgram::KeepFallbacks(const std::vector<FeedReport>& reports) {
    bool tookOver = false;
    for (const FeedReport& report : reports) {
        const auto fallback = fallbackFor_.find(report.source);
        if (fallback == fallbackFor_.end() || report.outcome != LiveTextRead::Outcome::Read) {
            continue;
        }
        if (report.text == fallback->second) {
            static_cast<void>(
                ApplyFieldValues(set_, FallbackValues(report.source), view_.DecimalSeparator()));
        } else {
            fallbackFor_.erase(fallback);
            tookOver = true;
        }
    }
    return tookOver;
}

AlarmCondition ControlProgram::FallbackCondition(FeedSource source) const {
    if (!fallbackFor_.contains(source)) {
        return AlarmCondition::Gone();
    }
    return AlarmCondition::Holding(std::string(FallbackName(source)) + " stands for " +
                                   (source == FeedSource::Radiotext ? set_.RTFILE : set_.PSFILE));
}

AlarmCondition ControlProgram::UnchangedCondition(FeedSource source) const {
    if (!fallbackFor_.contains(source)) {
        return AlarmCondition::Gone();
    }
    const int limit = LimitMinutes(set_, source);
    return AlarmCondition::Holding((source == FeedSource::Radiotext ? set_.RTFILE : set_.PSFILE) +
                                   " has not changed for " + std::to_string(limit) +
                                   (limit == 1 ? " minute" : " minutes") + " (its limit)");
}

}  // namespace vaxo
