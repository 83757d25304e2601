// The help page built from hostile RTF (many fonts, a font change before
// every character, deep groups): time per byte must stay flat from 100 KB
// to 10 MB. Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTextDocument>
#include <string>

#include "ui/rtf_document.h"

namespace {

std::string HostileRtf(std::size_t bytes) {
    std::string text = "{\\rtf1{\\fonttbl";
    for (int f = 0; f < 4096 && text.size() < bytes / 4; ++f) {
        text += "{\\f" + std::to_string(f) + "\\fcharset238 Font" + std::to_string(f) + ";}";
    }
    text += "}";
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        text += "{{\\f" + std::to_string(i % 4096) + "\\b\\'e8}}";
        if (i % 64 == 63) {
            text += "\\par ";
        }
    }
    return text + "}";
}

void BM_HelpPage(benchmark::State& state) {
    const std::string rtf = HostileRtf(static_cast<std::size_t>(state.range(0)) * 1024);
    for (auto _ : state) {
        QTextDocument document;
        vaxo::ui::LoadRtf(document, rtf);
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.counters["ns_per_byte"] =
        benchmark::Counter(static_cast<double>(state.iterations() * rtf.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HelpPage)->Arg(100)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
