#pragma once

#include <optional>
#include <string>
#include <vector>

#include "encoding/memory_dump.h"

namespace vaxo {

// The texts of the page "On air": what a listener's receiver gets, decoded
// from a memory's bytes, never from the fields. UTF-8.
struct OnAirTexts {
    std::string ps;       // as the display shows it first
    std::string rt;       // with its A/B flag
    std::string info;     // programme type, traffic flags, music/speech, DI
    std::string details;  // AF, PI, blocks, dynamic PS and the checks; lines
    // The texts a receiver shows in turn, each for stepSeconds; none
    // without dynamic PS.
    std::vector<std::string> dynamicTexts;
    int stepSeconds = 0;
};

// What the page shows: a bank's last send, or what Send would write now.
enum class OnAirSource { Bank1, Bank2, Preview };

// `memory` none: nothing was sent to the bank yet.
OnAirTexts DescribeOnAir(const std::optional<MemoryDump>& memory);

}  // namespace vaxo
