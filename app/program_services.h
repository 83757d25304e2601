#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/core_host.h"
#include "base/link_timing.h"
#include "encoding/encoder_image.h"
#include "encoding/memory_dump.h"
#include "platform/port_layer.h"

namespace vaxo {

// What the program runs on.
struct ProgramServices {
    CoreHost& host;
    PortLayer& portLayer;
    PortIo& linkPort;  // the port layer, or a trace around it
    LinkTiming& timing;
    std::function<ImageClock()> clock;
    // Where settings and relative names live; found at start-up when empty.
    std::string programDir;
    // Reads a bank's memory back from an encoder that can (the simulated one),
    // on the link thread after a successful send.
    std::function<std::optional<MemoryDump>(int bank)> readBack = {};
};

}  // namespace vaxo
