#pragma once

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/program_view.h"
#include "net/listener_setting.h"

namespace vaxo {

// What the program itself does not keep, for the page: when each feed last
// gave a new text, and the network listeners as they run.
struct WebStateExtras {
    std::map<FeedSource, std::chrono::system_clock::time_point> feedChanged;
    std::vector<ListenerStatus> listeners;
};

// Everything the pages show, in UTF-8: "fields" (every field by its key,
// in the API's typed form), "revision" (the station's), "stamps"
// (per field changed in this run: its revision and who changed it),
// "pending" (the fields not yet in the bank sends go to, null when that
// bank was not written in this run), "send_bank", "both_banks", "health",
// "banks" (for 1 and 2 the revision it holds, null when unknown,
// the listener's view of what the encoder holds, the last send and the
// last-sent record), "preview" (the view of what a send would write now),
// "port", "sending", "feeds", "listeners", "station_file", "pty_names".
nlohmann::json WebState(const ProgramView& program, const WebStateExtras& extras);

}  // namespace vaxo
