#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "encoding/encoder_image.h"
#include "encoding/memory_dump.h"
#include "platform/port_io.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// A send that ended.
struct LastSend {
    std::chrono::system_clock::time_point at;  // when it ended
    int bank = 1;
    LinkProblem problem;  // none: it went on air
};

// What the program knows of bank 1 or 2 of the encoder's memory.
struct BankState {
    std::optional<LastSend> last;  // the last send to it that ended
    // What its last successful send wrote, in this run or an earlier one.
    LastSentRecord record{};
    // Since the last successful send of this run: the image it wrote, what
    // the bank holds (the memory read back where it can be, else the bytes
    // written), the station's revision and the set as the send took it.
    std::optional<EncoderImage> image;
    std::optional<MemoryDump> onAir;
    std::optional<std::uint64_t> revision;
    std::optional<RdsParameterSet> sent;
};

}  // namespace vaxo
