#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "record/field_schema.h"

namespace vaxo {

template <typename Value>
using ByControl = std::map<std::string, Value, std::less<>>;

// What the window shows, control by control, keyed by the controls' names
// ("PS", "TrackBar1", "Label11"). The model keeps it; a toolkit draws it and
// hands the operator's input back by the same names.
struct WindowState {
    std::string caption;                  // the file system's bytes
    ByControl<std::string> stationTexts;  // Windows-1250 bytes
    ByControl<std::string> fileNames;     // the file system's bytes
    ByControl<bool> ticks;                // tick boxes and choices
    ByControl<int> picks;                 // a pick list's index, a slider's value
    DecoderId decoderId{};
    std::set<std::string, std::less<>> readOnly;  // text boxes a feed writes
    ByControl<std::string> labels;                // UTF-8; "SENT" holds lines
    ByControl<std::string> tips;                  // UTF-8
    bool sending = false;                         // the operator's input waits until it has ended
    int progress = 0;                             // percent of the send
    bool errorShown = false;                      // "Error" in the progress bar's place
    bool alwaysOnTop = false;
    bool registered = false;  // "Make *.rds executable" has been done
};

// A PI or frequency box is taken when its text is whole; while the operator
// is in it, the box keeps the draft rather than what the station holds.
bool HoldsDraft(std::string_view control);

}  // namespace vaxo
