#pragma once

#include <optional>
#include <string>
#include <vector>

#include "record/rds_parameter_set.h"
#include "stations/live_text_file.h"

namespace vaxo {

enum class FeedSource { Radiotext, DynamicPs };

// What one source gave on one tick.
struct FeedReport {
    FeedSource source = FeedSource::Radiotext;
    LiveTextRead::Outcome outcome = LiveTextRead::Outcome::NotFound;
    std::string file;  // the file read, or the source name when none was found
    std::string text;  // the processed text, when read

    bool operator==(const FeedReport&) const = default;
};

// Why a source was passed over ("not found", ...); empty when it was read.
std::string FeedPassedOverReason(const FeedReport& report);

struct FeedTick {
    std::vector<FeedReport> reports;  // one for each source that is on
    // The source whose changed text asks for a send ("Send on change").
    std::optional<FeedSource> sendFor;
};

// One look at the live-text sources: the radiotext file into radiotext 1,
// the dynamic PS file into the eight dynamic PS texts. When a changed text
// calls for a send, both texts of the tick are recorded as the last sent.
FeedTick ReadFeeds(RdsParameterSet& set);

// The next non-empty radiotext becomes current; after four advances the
// selection is back where it was. Nothing changes with none selected.
void AdvanceRadiotext(RdsParameterSet& set);

}  // namespace vaxo
