#include <benchmark/benchmark.h>

#include "encoding/encoder_image.h"
#include "encoding/receiver_checks.h"
#include "encoding/receiver_view.h"

namespace {

// A full image: radiotext, all eight dynamic PS texts with markers, seven AFs.
vaxo::RdsParameterSet BusyStation() {
    vaxo::RdsParameterSet set;
    set.PI = "D3C2";
    set.PS = "ROCK FM ";
    set.RT = "Rock FM - the best rock music in town, day and night, every day";
    set.ENDPS = true;
    const char* dps[] = {"ROCK FM", "THE BEST", "ROCK", "%%TIME%%", "%%DATE%%", "IN", "TOWN", "!"};
    for (std::size_t i = 0; i < 8; ++i) {
        set.DPS[i] = dps[i];
    }
    const char* af[] = {"87.6", "89.1", "93.4", "99.0", "101.2", "104.3", "107.9"};
    for (std::size_t i = 0; i < 7; ++i) {
        set.AF[i] = af[i];
    }
    return set;
}

void BM_BuildEncoderImage(benchmark::State& state) {
    const vaxo::RdsParameterSet station = BusyStation();
    const vaxo::ImageClock clock{*vaxo::ParseLocalTime("2026-12-08 23:15:00"), '.'};
    vaxo::EncodedFields fields;
    vaxo::EncoderImage image;
    for (auto _ : state) {
        vaxo::RdsParameterSet set = station;
        vaxo::BuildEncoderImage(set, 0, clock, fields, image);
        benchmark::DoNotOptimize(image.PsArea.data());
        benchmark::DoNotOptimize(image.RtArea.data());
    }
}
BENCHMARK(BM_BuildEncoderImage)->Repetitions(10)->ReportAggregatesOnly(true);

// The same image as a receiver gets it, with the checks.
void BM_DecodeEncoderMemory(benchmark::State& state) {
    vaxo::RdsParameterSet set = BusyStation();
    vaxo::EncodedFields fields;
    vaxo::EncoderImage image;
    vaxo::BuildEncoderImage(set, 0, {*vaxo::ParseLocalTime("2026-12-08 23:15:00"), '.'}, fields,
                            image);
    const auto area1 = vaxo::AreaBytes(image.PsArea, vaxo::kPsAreaBytes);
    const auto area2 = vaxo::AreaBytes(image.RtArea, vaxo::kRtAreaBytes);
    for (auto _ : state) {
        const vaxo::ReceiverView view = vaxo::DecodeEncoderMemory(area1, area2);
        benchmark::DoNotOptimize(vaxo::ReceiverWarnings(view));
    }
}
BENCHMARK(BM_DecodeEncoderMemory)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace
