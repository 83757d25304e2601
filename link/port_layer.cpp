#include "link/port_layer.h"

namespace vaxo {

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
