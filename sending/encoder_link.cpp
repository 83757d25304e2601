#include "sending/encoder_link.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kCalibrationLife = 10min;

}  // namespace

EncoderLink::EncoderLink(Services services, std::function<bool()> idle)
    : s_(std::move(services)),
      idle_(std::move(idle)),
      calibrationTimer_(s_.host.MakeTimer("calibration", [this] {
          calibrationDue_ = true;
          RecalibrateIfDue();
      })) {}

EncoderLink::~EncoderLink() {
    Stop();
}

void EncoderLink::Stop() {
    worker_.Stop();
    calibrationTimer_->Stop();
}

void EncoderLink::OnLinkThread(std::function<std::function<void()>(const std::stop_token&)> job) {
    ++pendingJobs_;
    std::weak_ptr<bool> alive = alive_;
    worker_.Post([this, alive, job = std::move(job)](const std::stop_token& stop) {
        std::function<void()> done = job(stop);
        s_.host.Post([this, alive, done = std::move(done)] {
            if (alive.expired()) {
                return;
            }
            --pendingJobs_;
            if (done) {
                done();
            }
        });
    });
}

void EncoderLink::UsePort(std::uint16_t base) {
    portBase_ = base;
    OnLinkThread([this, base](const std::stop_token&) {
        const PortInUse port = s_.port.OpenPort(base);
        return [this, base, port] { TellPort(base, port); };
    });
}

void EncoderLink::TellPort(std::uint32_t base, const PortInUse& port) {
    if (base != portBase_) {
        return;  // the choice has moved on since
    }
    port_ = port;
    const bool same = toldPort_ && toldPort_->first == base &&
                      toldPort_->second.description == port.description &&
                      toldPort_->second.problem.fault == port.problem.fault &&
                      toldPort_->second.problem.subject == port.problem.subject;
    if (!same) {
        toldPort_ = std::pair{base, port};
        s_.events.Emit(PortChanged{base, port});
    }
}

void EncoderLink::Ready() {
    const std::uint16_t base = portBase_;
    OnLinkThread([this, base](const std::stop_token&) {
        ReadyPort(s_.portLayer, s_.port, base);
        return std::function<void()>();
    });
}

void EncoderLink::Send(std::shared_ptr<const StationSend> send,
                       std::function<void(const Sent&)> done) {
    if (calibrating_ && cpuSpeed_) {
        calibrationStop_.request_stop();  // the count in force serves; this one can wait
    }
    std::weak_ptr<bool> alive = alive_;
    OnLinkThread(
        [this, alive, send = std::move(send), done = std::move(done)](const std::stop_token& stop) {
            auto sent = std::make_shared<Sent>();
            sent->result = RunStationSend(
                s_.port, s_.timing, *send, linkCpuSpeed_,
                [this, alive](int percent) {
                    s_.host.Post([this, alive, percent] {
                        if (!alive.expired()) {
                            s_.events.Emit(SendProgress{percent});
                        }
                    });
                },
                stop);
            if (!sent->result.transfer.problem && s_.readBack) {
                sent->readBack = s_.readBack(send->job.bank);
            }
            return [this, sent, done, base = send->job.portBase] {
                TellPort(base, sent->result.transfer.port);
                done(*sent);
            };
        });
}

void EncoderLink::ReadStatus(int reads, std::function<void(const StatusSample&)> done) {
    const std::uint32_t status = portBase_ + 1u;
    OnLinkThread([this, reads, status, done = std::move(done)](const std::stop_token& stop) {
        StatusSample sample;
        for (int read = 0; read < reads && !stop.stop_requested(); ++read) {
            (ReadEncoderStatus(s_.port, status) ? sample.high : sample.low) = true;
        }
        return [sample, done] { done(sample); };
    });
}

void EncoderLink::StartCalibrating() {
    Calibrate();
}

void EncoderLink::Calibrate() {
    calibrating_ = true;
    calibrationDue_ = false;
    calibrationStop_ = std::stop_source();
    OnLinkThread([this, giveUp = calibrationStop_](const std::stop_token& stop) {
        std::stop_source own = giveUp;
        const std::stop_callback ending(stop, [&own] { own.request_stop(); });
        const std::optional<std::uint32_t> measured = MeasureCpuSpeed(s_.timing, own.get_token());
        if (measured) {
            linkCpuSpeed_ = *measured;
        }
        return [this, measured] { Calibrated(measured); };
    });
}

void EncoderLink::Calibrated(std::optional<std::uint32_t> cpuSpeed) {
    calibrating_ = false;
    if (!cpuSpeed) {
        calibrationDue_ = true;  // given up for a send: again when nothing waits
        return;
    }
    cpuSpeed_ = cpuSpeed;
    calibrationTimer_->Start(kCalibrationLife);
}

void EncoderLink::RecalibrateIfDue() {
    if (calibrationDue_ && !calibrating_ && idle_()) {
        Calibrate();
    }
}

}  // namespace vaxo
