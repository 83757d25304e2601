#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "encoding/memory_dump.h"
#include "link/encoder_simulator.h"
#include "platform/port_layer.h"
#include "window/window_options.h"

namespace vaxo {

// The encoder the window sends to: the parallel port's, or the simulated one
// its options ask for (options without a problem).
class WindowEncoder {
  public:
    explicit WindowEncoder(const WindowOptions& options);
    WindowEncoder(const WindowEncoder&) = delete;
    WindowEncoder& operator=(const WindowEncoder&) = delete;

    PortLayer& Layer() { return layer_; }
    // The simulated encoder's memory of a bank; none for a real one.
    std::function<std::optional<MemoryDump>(int bank)> ReadBack();
    // At the end: the simulated memory into --memory-dump's file, when asked
    // (the lines vaxoctl preview --image reads).
    void SaveMemoryDump() const;

  private:
    std::optional<std::string> memoryDump_;
    std::unique_ptr<EncoderSimulator> simulator_;
    PortLayer layer_;
};

}  // namespace vaxo
