// Cost of one data-register write through each port backend.
#include <benchmark/benchmark.h>

#include <fstream>

#include "link/encoder_simulator.h"
#include "link/port_trace.h"
#include "platform/port_layer.h"

namespace {

void WriteLoop(benchmark::State& state, vaxo::PortIo& port) {
    std::uint8_t value = 0;
    for (auto _ : state) {
        port.PortWriteByte(vaxo::kLpt1Base, value);
        value ^= 0x60;
    }
}

void BM_WriteSimulator(benchmark::State& state) {
    vaxo::EncoderSimulator simulator;
    WriteLoop(state, simulator);
}
BENCHMARK(BM_WriteSimulator);

void BM_WriteTracedSimulator(benchmark::State& state) {
    vaxo::EncoderSimulator simulator;
    std::ofstream sink("/dev/null");
    vaxo::PortTrace trace(simulator, &sink, nullptr);
    WriteLoop(state, trace);
}
BENCHMARK(BM_WriteTracedSimulator);

// Whatever this machine offers: ppdev with a parallel port (and direct
// instructions where allowed), otherwise the no-access state.
void BM_WriteSystemPortLayer(benchmark::State& state) {
    vaxo::PortLayer layer(vaxo::SystemPortBackends());
    layer.PortLayerStartup();
    layer.SetDirectAccess(true);
    const vaxo::PortInUse port = layer.OpenPort(vaxo::kLpt1Base);
    state.SetLabel(port.problem ? vaxo::DescribeLinkProblem(port.problem) : port.description);
    WriteLoop(state, layer);
    layer.PortLayerShutdown();
}
BENCHMARK(BM_WriteSystemPortLayer);

}  // namespace
