#pragma once

#include <optional>
#include <string>
#include <vector>

#include "record/rds_parameter_set.h"
#include "stations/live_text_file.h"

namespace vaxo {

enum class FeedSource { Radiotext, DynamicPs };

// What one source gave on one look.
struct FeedReport {
    FeedSource source = FeedSource::Radiotext;
    LiveTextRead::Outcome outcome = LiveTextRead::Outcome::NotFound;
    std::string file;      // the file read, or the source name when none was found
    std::string text;      // the processed text, when read
    std::string why = {};  // why it could not be read

    bool operator==(const FeedReport&) const = default;
};

// Why a source was passed over ("not found", ...); empty when it was read.
std::string FeedPassedOverReason(const FeedReport& report);
// Whether a report says something is wrong with the feed: not a file that
// is just being written.
bool FeedInTrouble(const FeedReport& report);

// The reads of one look at the sources that are on.
struct FeedReads {
    std::optional<LiveTextRead> radiotext;
    std::optional<LiveTextRead> dynamicPs;
};

// Which sources the set follows.
bool FollowsRadiotextFile(const RdsParameterSet& set);
bool FollowsDynamicPsFile(const RdsParameterSet& set);

// The texts the feeds gave at the last send they asked for: a text asks
// again only when it differs.
struct FeedMemory {
    std::string lastFileRT;
    std::string lastFileDPS;
};

struct FeedTick {
    std::vector<FeedReport> reports;  // one for each source that is on
    // The source whose changed text asks for a send ("Send on change").
    std::optional<FeedSource> sendFor;
};

// Takes one look's reads: the radiotext file into radiotext 1, the dynamic PS
// file into the eight dynamic PS texts. When a changed text calls for a send,
// both texts of the look are remembered as the last sent.
FeedTick ApplyFeedReads(RdsParameterSet& set, FeedMemory& memory, const FeedReads& reads);

// Both at once, on this thread: the reads of the sources the set follows in
// `folder`, each with its memory of the last look.
FeedTick ReadFeeds(RdsParameterSet& set, FeedMemory& memory, const std::string& folder,
                   FeedLook& radiotextLook, FeedLook& dynamicPsLook);

// The next non-empty radiotext becomes current; after four advances the
// selection is back where it was. Nothing changes with none selected.
void AdvanceRadiotext(RdsParameterSet& set);

}  // namespace vaxo
