#include "window/window_encoder.h"

#include "base/file_io.h"

namespace vaxo {
namespace {

std::unique_ptr<EncoderSimulator> SimulatorFor(const WindowOptions& options) {
    const auto scenario = options.scenario ? ParseEncoderScenario(*options.scenario) : std::nullopt;
    return scenario ? std::make_unique<EncoderSimulator>(*scenario) : nullptr;
}

}  // namespace

WindowEncoder::WindowEncoder(const WindowOptions& options)
    : memoryDump_(options.memoryDump),
      simulator_(SimulatorFor(options)),
      layer_(simulator_ ? ForwardingPortBackends(*simulator_) : SystemPortBackends()) {}

std::function<std::optional<MemoryDump>(int)> WindowEncoder::ReadBack() {
    if (!simulator_) {
        return {};
    }
    return [this](int bank) { return vaxo::ReadBack(*simulator_, bank); };
}

void WindowEncoder::SaveMemoryDump() const {
    if (memoryDump_ && simulator_) {
        SaveFile(*memoryDump_, MemoryLines(*simulator_));
    }
}

}  // namespace vaxo
