#include "platform/port_layer.h"

namespace vaxo {
namespace {

class ForwardingChannel : public PortChannel {
  public:
    ForwardingChannel(PortIo& target, std::uint32_t base, std::string description)
        : target_(target), base_(base), description_(std::move(description)) {}
    std::uint8_t Read(std::uint32_t offset) override {
        return target_.PortReadByte(base_ + offset);
    }
    void Write(std::uint32_t offset, std::uint8_t value) override {
        target_.PortWriteByte(base_ + offset, value);
    }
    bool GoDirect() override { return false; }
    std::string Description() const override { return description_; }

  private:
    PortIo& target_;
    std::uint32_t base_;
    std::string description_;
};

class ForwardingBackends : public PortBackends {
  public:
    ForwardingBackends(PortIo& target, std::uint32_t base, std::string description)
        : target_(target), base_(base), description_(std::move(description)) {}
    ChannelOpening Open(std::uint32_t) override {
        return {std::make_unique<ForwardingChannel>(target_, base_, description_)};
    }

  private:
    PortIo& target_;
    std::uint32_t base_;
    std::string description_;
};

}  // namespace

std::unique_ptr<PortBackends> ForwardingPortBackends(PortIo& target, std::uint32_t targetBase,
                                                     std::string description) {
    return std::make_unique<ForwardingBackends>(target, targetBase, std::move(description));
}

PortLayer::PortLayer(std::unique_ptr<PortBackends> backends) : backends_(std::move(backends)) {}

void PortLayer::PortLayerStartup() {
    started_ = true;
}

void PortLayer::PortLayerShutdown() {
    for (Slot& slot : slots_) {
        slot = Slot{slot.base};
    }
    started_ = false;
    directWanted_ = false;
}

void PortLayer::SetDirectAccess(bool on) {
    if (!on || !started_) {
        return;
    }
    directWanted_ = true;
    for (Slot& slot : slots_) {
        if (slot.channel && !slot.direct) {
            slot.direct = slot.channel->GoDirect();
        }
    }
}

bool PortLayer::PortAccessAvailable() const {
    for (const Slot& slot : slots_) {
        if (slot.channel) {
            return true;
        }
    }
    return false;
}

bool PortLayer::DirectAccessActive() const {
    for (const Slot& slot : slots_) {
        if (slot.direct) {
            return true;
        }
    }
    return false;
}

void PortLayer::Open(Slot& slot) {
    ChannelOpening opening = backends_->Open(slot.base);
    slot.tried = true;
    slot.channel = std::move(opening.channel);
    slot.problem = opening.problem;
    slot.direct = slot.channel && directWanted_ && slot.channel->GoDirect();
}

PortLayer::Slot* PortLayer::SlotFor(std::uint32_t port, std::uint32_t& offset) {
    if (!started_) {
        return nullptr;
    }
    for (Slot& slot : slots_) {
        if (port >= slot.base && port < slot.base + kPortRegisters) {
            if (!slot.tried) {
                Open(slot);
            }
            offset = port - slot.base;
            return slot.channel ? &slot : nullptr;
        }
    }
    return nullptr;
}

std::uint32_t PortLayer::PortRead(std::uint32_t port, PortWidth width) {
    std::uint32_t offset = 0;
    Slot* slot = width == PortWidth::Byte ? SlotFor(port, offset) : nullptr;
    return slot ? slot->channel->Read(offset) : 0;
}

void PortLayer::PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) {
    std::uint32_t offset = 0;
    if (Slot* slot = width == PortWidth::Byte ? SlotFor(port, offset) : nullptr) {
        slot->channel->Write(offset, static_cast<std::uint8_t>(value));
    }
}

// The port a send asks for is the one the program uses now: any other one it
// held is let go, so that a printer on it can print again.
PortInUse PortLayer::OpenPort(std::uint32_t base) {
    for (Slot& slot : slots_) {
        if (slot.base != base) {
            slot = Slot{slot.base};
            continue;
        }
        if (!started_) {
            return {{LinkFault::NoParallelPort, LptName(base)}, ""};
        }
        if (!slot.channel) {
            Open(slot);
        }
        if (!slot.channel) {
            return {slot.problem, ""};
        }
        return {{}, slot.channel->Description()};
    }
    return {{LinkFault::NoParallelPort, LptName(base)}, ""};
}

}  // namespace vaxo
