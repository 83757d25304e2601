#include "link/port_layer.h"

namespace vaxo {
namespace {

class ForwardingPort : public PortIo {
  public:
    explicit ForwardingPort(PortIo& target) : target_(target) {}
    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override {
        return target_.PortRead(port, width);
    }
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override {
        target_.PortWrite(port, width, value);
    }

  private:
    PortIo& target_;
};

class ForwardingBackends : public PortBackends {
  public:
    explicit ForwardingBackends(PortIo& port) : port_(port) {}
    std::unique_ptr<PortIo> OpenDriver() override {
        return std::make_unique<ForwardingPort>(port_);
    }
    std::unique_ptr<PortIo> OpenDirect() override { return nullptr; }

  private:
    PortIo& port_;
};

}  // namespace

std::unique_ptr<PortBackends> ForwardingPortBackends(PortIo& port) {
    return std::make_unique<ForwardingBackends>(port);
}

PortLayer::PortLayer(std::unique_ptr<PortBackends> backends) : backends_(std::move(backends)) {}

void PortLayer::PortLayerStartup() {
    if (!driver_ && !direct_) {
        driver_ = backends_->OpenDriver();
    }
}

void PortLayer::PortLayerShutdown() {
    direct_.reset();
    driver_.reset();
}

void PortLayer::SetDirectAccess(bool on) {
    if (on && PortAccessAvailable() && !direct_) {
        direct_ = backends_->OpenDirect();
    }
}

PortIo* PortLayer::Active() const {
    return direct_ ? direct_.get() : driver_.get();
}

std::uint32_t PortLayer::PortRead(std::uint32_t port, PortWidth width) {
    PortIo* active = Active();
    return active ? active->PortRead(port, width) : 0;
}

void PortLayer::PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) {
    if (PortIo* active = Active()) {
        active->PortWrite(port, width, value);
    }
}

}  // namespace vaxo
