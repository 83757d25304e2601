#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

#include "base/core_host.h"
#include "base/serial_worker.h"
#include "encoding/memory_dump.h"
#include "events/event_hub.h"
#include "link/station_send.h"
#include "platform/port_layer.h"

namespace vaxo {

// Reads a bank's memory back from an encoder that can (the simulated one),
// on the link thread after a successful send.
using MemoryReadBack = std::function<std::optional<MemoryDump>(int bank)>;

// The encoder's port on the link's own thread, the only one that touches
// the port once the program runs: the port opened and readied, the hold's
// calibration measured at start-up and renewed while nothing waits, and the
// sends carried out. What comes of each is handed back on the loop's
// thread; the port in use is told as PortChanged.
//
// Threads: every member is used on the loop's thread, but for the port and
// the calibration count the link thread's jobs use (linkCpuSpeed_).
class EncoderLink {
  public:
    struct Services {
        CoreHost& host;
        LinkTiming& timing;
        PortLayer& portLayer;
        PortIo& port;  // the port layer, or a trace around it
        MemoryReadBack readBack;
        EventHub& events;
    };
    // `idle`: whether nothing waits to be sent, so that a calibration may run.
    EncoderLink(Services services, std::function<bool()> idle);
    EncoderLink(const EncoderLink&) = delete;
    EncoderLink& operator=(const EncoderLink&) = delete;
    ~EncoderLink();

    // The port at `base` from now on; opened on the link thread.
    void UsePort(std::uint16_t base);
    std::uint16_t PortBase() const { return portBase_; }
    const PortInUse& Port() const { return port_; }
    // Direct port access where allowed, and the port's lines at rest.
    void Ready();
    // The first calibration, and the ten-minute renewal from then on.
    void StartCalibrating();
    // The calibration count in force (3·c + 50,000,000), once there is one.
    std::optional<std::uint32_t> CpuSpeed() const { return cpuSpeed_; }

    struct Sent {
        StationSendResult result;
        std::optional<MemoryDump> readBack;
    };
    // Carries the send out; `done` runs on the loop's thread when it ended.
    // A renewal of the calibration that runs gives way when a count is in force.
    void Send(std::shared_ptr<const StationSend> send, std::function<void(const Sent&)> done);
    // Calibrates again when one is due and nothing waits.
    void RecalibrateIfDue();

    // The levels the encoder's status line showed in `reads` reads of it, on
    // the link thread: nothing is written, so nothing wears.
    struct StatusSample {
        bool low = false;
        bool high = false;
    };
    void ReadStatus(int reads, std::function<void(const StatusSample&)> done);
    // Work is under way on the link thread, or its end on its way back.
    bool Busy() const { return calibrating_ || pendingJobs_ > 0; }

    // Abandons the running job at its next page or poll and ends the link
    // thread; nothing is carried out afterwards.
    void Stop();

  private:
    void Calibrate();
    void Calibrated(std::optional<std::uint32_t> cpuSpeed);
    void TellPort(std::uint32_t base, const PortInUse& port);
    // Runs on the link thread; its completion comes back on the loop's.
    void OnLinkThread(std::function<std::function<void()>(const std::stop_token&)> job);

    Services s_;
    std::function<bool()> idle_;
    SerialWorker worker_;
    std::unique_ptr<LoopTimer> calibrationTimer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool calibrating_ = false;
    bool calibrationDue_ = false;
    std::stop_source calibrationStop_;
    int pendingJobs_ = 0;
    std::optional<std::uint32_t> cpuSpeed_;
    std::uint16_t portBase_ = kLpt1Base;
    std::optional<std::pair<std::uint32_t, PortInUse>> toldPort_;
    PortInUse port_;

    // Touched on the link thread only, by one job at a time.
    std::uint32_t linkCpuSpeed_ = kCpuSpeedBase;
};

}  // namespace vaxo
