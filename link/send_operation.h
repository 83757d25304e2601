#pragma once

#include <cstdint>
#include <functional>

#include "base/link_timing.h"
#include "encoding/encoder_image.h"
#include "link/memory_write_protocol.h"
#include "platform/port_io.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// What the window (or a headless front end) shows of a send. Each front end
// overrides what it has room for; by default nothing is shown.
class SendFrontEnd {
  public:
    virtual ~SendFrontEnd() = default;
    // Busy pointer, "Error" hidden, progress bar shown.
    virtual void SendStarted() {}
    virtual void SetProgress(int /*percent*/) {}
    // Lets the user interface handle its pending events, once per send.
    virtual void HandlePendingEvents() {}
    // Progress bar hidden, "Error" shown where it was.
    virtual void SendFailed() {}
    // Progress back at 0, normal pointer.
    virtual void SendFinished() {}
    virtual void ShowLastSent(const LastSentRecord& /*record*/) {}
    // "Exit after Send": close the main window.
    virtual void RequestExit() {}
};

// The send: builds the encoder image from the set, writes it into the bank
// that STB chooses, confirms each area through the status line with bounded
// retries, and keeps the per-bank record of what was sent.
class EncoderLink {
  public:
    EncoderLink(RdsParameterSet& set, PortIo& port, LinkTiming& timing, SendFrontEnd& frontEnd,
                std::function<ImageClock()> clock);

    // The "Send" button: ignored within two seconds of the previous send.
    void UPClick();
    // One send; true when both areas were confirmed.
    [[nodiscard]] bool UploadRDS();
    // Which record the Settings page shows: bank 1 or 2.
    void SetShownBank(int bank) { shownBank_ = bank; }
    void ShowLastSent();
    // PortBase follows the Port option: 0x278 for LPT2, else 0x378.
    void PORTClick();
    std::uint16_t PortBase() const { return portBase_; }

    // Told the outcome of every send, after the record is kept.
    void SetSendObserver(std::function<void(bool ok)> observer) { observer_ = std::move(observer); }

    const EncoderImage& Image() const { return image_; }
    // Block writes the last send made.
    int LastBlockWrites() const { return blockWrites_; }
    // Why the last send failed; none after a success.
    const LinkProblem& LastProblem() const { return lastProblem_; }
    // The port the chosen base stands for, opened now if it is not open yet.
    [[nodiscard]] PortInUse PortInUseNow() { return port_.OpenPort(portBase_); }

  private:
    // Writes both areas with their retries; the fault that ended them, or none.
    LinkFault WriteAreas(std::uint32_t cpuSpeed, int bankBit);
    LinkFault WriteArea(ImageArea area, std::uint32_t cpuSpeed, int bankBit, int& attempts,
                        int waitAfter, int lastAttempt);
    LinkProblem Transfer();
    LastSentRecord RecordOfSend(std::uint32_t calibrationCount, long long milliseconds) const;

    RdsParameterSet& set_;
    PortIo& port_;
    LinkTiming& timing_;
    SendFrontEnd& frontEnd_;
    std::function<ImageClock()> clock_;
    EncodedFields fields_;
    EncoderImage image_;
    std::uint16_t portBase_ = kLpt1Base;
    int shownBank_ = 1;
    int blockWrites_ = 0;
    LinkProblem lastProblem_;
    std::function<void(bool)> observer_;
};

}  // namespace vaxo
