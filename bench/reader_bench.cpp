// Every reader on large and hostile input: time and peak heap against input
// size. Both must grow no faster than the input (ns_per_byte flat) and the
// heap must follow what is kept, not what is read (peak_per_byte falling).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "app/settings_file.h"
#include "formats/language_file.h"
#include "formats/rtf_parser.h"
#include "stations/live_text_file.h"
#include "stations/station_file.h"

namespace {

std::atomic<long long> inUse{0};
std::atomic<long long> peak{0};

void Note(long long change) {
    const long long now = inUse += change;
    long long high = peak.load();
    while (now > high && !peak.compare_exchange_weak(high, now)) {
    }
}

}  // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::size_t)));
    if (!block) {
        throw std::bad_alloc();
    }
    *block = size;
    Note(static_cast<long long>(size));
    return block + 1;
}

void operator delete(void* pointer) noexcept {
    if (pointer) {
        auto* block = static_cast<std::size_t*>(pointer) - 1;
        Note(-static_cast<long long>(*block));
        std::free(block);
    }
}

void operator delete(void* pointer, std::size_t) noexcept {
    operator delete(pointer);
}

namespace {

std::string Repeat(const std::string& unit, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() < bytes) {
        text += unit;
    }
    return text;
}

template <typename Read>
void Measure(benchmark::State& state, const std::string& input, Read read) {
    for (auto _ : state) {
        peak = inUse.load();
        const long long before = inUse.load();
        read(input);
        state.counters["peak_per_byte"] =
            static_cast<double>(peak.load() - before) / static_cast<double>(input.size());
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations() * input.size()));
    state.counters["ns_per_byte"] =
        benchmark::Counter(static_cast<double>(state.iterations() * input.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::size_t Bytes(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(0)) * 1024;
}

void BM_StationEmptyLines(benchmark::State& state) {
    Measure(state, std::string(Bytes(state), '\n'), [](const std::string& text) {
        vaxo::RdsParameterSet set;
        vaxo::ApplyStationText(set, text, '.');
    });
}

void BM_StationLongValues(benchmark::State& state) {
    Measure(state, Repeat("RT=" + std::string(997, 'x') + "\r\n", Bytes(state)),
            [](const std::string& text) {
                vaxo::RdsParameterSet set;
                vaxo::ApplyStationText(set, text, '.');
            });
}

void BM_SettingsEmptyLines(benchmark::State& state) {
    Measure(state, std::string(Bytes(state), '\n'), [](const std::string& text) {
        vaxo::RdsParameterSet set;
        vaxo::RunMemory run;
        vaxo::ApplySettingsText(set, run, text);
    });
}

void BM_LanguageManyKeys(benchmark::State& state) {
    std::string text = "[TRANSLATIONS]\n";
    for (std::size_t i = 0; text.size() < Bytes(state); ++i) {
        text += "Form1.K" + std::to_string(i) + ".Caption=x\n";
    }
    Measure(state, text, [](const std::string& t) {
        benchmark::DoNotOptimize(vaxo::ReadIniSection(t, vaxo::kTranslationsSection));
    });
}

void BM_LiveTextOneLongLine(benchmark::State& state) {
    Measure(state, std::string(Bytes(state), 'x'), [](const std::string& text) {
        benchmark::DoNotOptimize(vaxo::LastLiveTextLine(text));
    });
}

void BM_LiveTextUtf16Lines(benchmark::State& state) {
    Measure(
        state, "\xFF\xFE" + Repeat(std::string("a\0b\0\n\0", 6), Bytes(state)),
        [](const std::string& text) { benchmark::DoNotOptimize(vaxo::LastLiveTextLine(text)); });
}

// Many fonts, a font change before every character, deep groups.
void BM_RtfHostile(benchmark::State& state) {
    std::string text = "{\\rtf1{\\fonttbl";
    for (int f = 0; f < 4096 && text.size() < Bytes(state) / 4; ++f) {
        text += "{\\f" + std::to_string(f) + "\\fcharset238 Font" + std::to_string(f) + ";}";
    }
    text += "}";
    for (std::size_t i = 0; text.size() < Bytes(state); ++i) {
        text += "{{\\f" + std::to_string(i % 4096) + "\\b\\'e8}}";
    }
    text += "}";
    Measure(state, text, [](const std::string& t) { benchmark::DoNotOptimize(vaxo::ParseRtf(t)); });
}

}  // namespace

BENCHMARK(BM_StationEmptyLines)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StationLongValues)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingsEmptyLines)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LanguageManyKeys)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveTextOneLongLine)
    ->Arg(1024)
    ->Arg(10240)
    ->Arg(102400)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveTextUtf16Lines)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfHostile)->Arg(100)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);
