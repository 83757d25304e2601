#include "link/station_send.h"

#include "link/last_sent_record.h"

namespace vaxo {

void ReadyPort(PortLayer& layer, PortIo& port, std::uint16_t portBase) {
    layer.SetDirectAccess(true);
    port.PortWriteByte(portBase, 0);
}

StationSend PrepareStationSend(const RdsParameterSet& set, EncoderImage image, int bank,
                               std::uint16_t portBase) {
    StationSend send{set, {}};
    send.job.image = std::move(image);
    send.job.bank = bank == 2 ? 2 : 1;
    send.job.portBase = portBase;
    return send;
}

StationSendResult RunStationSend(PortIo& port, LinkTiming& timing, const StationSend& send,
                                 std::optional<std::uint32_t> cpuSpeed,
                                 const TransferProgress& progress, const std::stop_token& stop) {
    StationSendResult result;
    SendJob job = send.job;
    if (!cpuSpeed) {
        // No calibration, and no wait, without a port.
        const PortInUse opened = port.OpenPort(job.portBase);
        if (opened.problem) {
            result.transfer.port = opened;
            result.transfer.problem = opened.problem;
            return result;
        }
        cpuSpeed = MeasureCpuSpeed(timing, stop).value_or(kCpuSpeedBase);
    }
    job.cpuSpeed = *cpuSpeed;
    result.cpuSpeed = *cpuSpeed;
    result.transfer = TransferImage(port, timing, job, progress, stop);
    result.record = RecordOfSend(send.sent, job.image, (*cpuSpeed - kCpuSpeedBase) / 3,
                                 result.transfer.took.count());
    return result;
}

}  // namespace vaxo
