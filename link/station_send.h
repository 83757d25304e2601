#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>

#include "encoding/encoder_image.h"
#include "link/image_transfer.h"
#include "platform/port_layer.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// One send of a station, fixed when it starts: the set as it took it and
// what it writes where. The window's Send, the feeds, the network and
// `vaxoctl send` all send this way.
struct StationSend {
    RdsParameterSet sent;
    SendJob job;
};

// Direct port access where the layer allows it, and the port's lines at rest:
// what the program does once before its first send.
void ReadyPort(PortLayer& layer, PortIo& port, std::uint16_t portBase);

// A send of the set, with the image built from it, to bank 1 or 2 on the
// port at `portBase`.
StationSend PrepareStationSend(const RdsParameterSet& set, EncoderImage image, int bank,
                               std::uint16_t portBase);

struct StationSendResult {
    TransferResult transfer;
    std::uint32_t cpuSpeed = kCpuSpeedBase;  // the calibration the writes were held by
    LastSentRecord record;                   // what the bank holds after a success
};

// Carries the send out: the port opened (a port that cannot be opened fails
// at once), the hold calibrated unless a calibration in force is given, the
// image written with its confirmations and retries.
[[nodiscard]] StationSendResult RunStationSend(PortIo& port, LinkTiming& timing,
                                               const StationSend& send,
                                               std::optional<std::uint32_t> cpuSpeed,
                                               const TransferProgress& progress,
                                               const std::stop_token& stop = {});

}  // namespace vaxo
