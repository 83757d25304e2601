// The headless program on its loop with the simulated encoder and the real
// clocks: how soon the loop answers an event while a send runs beside it,
// and how long a change takes from the door to its confirmed send (a PS, a
// radiotext, or every page).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/control_program.h"
#include "base/overloaded.h"
#include "eventloop/asio_host.h"
#include "link/encoder_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

// A started program in folders of its own, calibrated.
class Program {
  public:
    Program() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vaxo-bench-XXXXXX");
        folder_ = ::mkdtemp(pattern.data());
        std::filesystem::create_directory(folder_ / "run");
        std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", (folder_ / "run").c_str(), 1);
        program_.emplace(vaxo::ProgramServices{host_, layer_, layer_, timing_,
                                               [] {
                                                   return vaxo::ImageClock{vaxo::LocalNow(), '.'};
                                               },
                                               folder_.string() + "/"});
        listening_ = program_->Listen([this](const vaxo::ProgramEvent& event) {
            if (std::holds_alternative<vaxo::SendFinished>(event)) {
                ++sent_;
            }
        });
        program_->Start({});
        RunUntil([this] { return program_->View().Idle(); });
    }
    ~Program() {
        program_->ReleasePort();
        program_.reset();
        std::filesystem::remove_all(folder_);
    }

    template <typename Done>
    void RunUntil(Done done) {
        while (!done()) {
            io_.run_one_for(100ms);
        }
    }
    vaxo::ControlProgram& Core() { return *program_; }
    boost::asio::io_context& Io() { return io_; }
    int Sent() const { return sent_; }

  private:
    std::filesystem::path folder_;
    boost::asio::io_context io_;
    vaxo::AsioHost host_{io_};
    vaxo::EncoderSimulator encoder_;
    vaxo::PortLayer layer_{vaxo::ForwardingPortBackends(encoder_)};
    vaxo::SystemTiming timing_;
    std::optional<vaxo::ControlProgram> program_;
    vaxo::Subscription listening_;
    int sent_ = 0;
};

// Another thread posts an event every millisecond while a send runs; each
// notes how long it waited for the loop.
void BM_LoopAnswersDuringASend(benchmark::State& state) {
    Program program;
    const vaxo::Command everyChange{vaxo::Origin{}, vaxo::SetFields{{{vaxo::FieldId::MINSEND, 1}}}};
    static_cast<void>(program.Core().Execute(everyChange));
    std::vector<double> waits;
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(1100ms);  // the least interval between sends
        state.ResumeTiming();
        const int before = program.Sent();
        static_cast<void>(program.Core().Execute({{}, vaxo::SendStation{}}));
        std::atomic<bool> sending{true};
        std::vector<double> mine;
        std::thread prober([&] {
            while (sending) {
                const auto posted = Clock::now();
                boost::asio::post(program.Io(), [&mine, posted] {
                    mine.push_back(Milliseconds(Clock::now() - posted));
                });
                std::this_thread::sleep_for(1ms);
            }
        });
        program.RunUntil([&] { return program.Sent() > before; });
        sending = false;
        prober.join();
        program.RunUntil([&] { return program.Core().View().Idle(); });
        program.Io().poll();
        waits.insert(waits.end(), mine.begin(), mine.end());
    }
    state.counters["events"] = static_cast<double>(waits.size());
    state.counters["p50_ms"] = Percentile(waits, 0.5);
    state.counters["p99_ms"] = Percentile(waits, 0.99);
}
BENCHMARK(BM_LoopAnswersDuringASend)->Iterations(10)->Unit(benchmark::kMillisecond);

// A change through the door after a quiet spell (the interval between sends
// is not what is measured), then the send it asks for, to its confirmation:
// 0 a PS (the first area's four pages), 1 a radiotext (the second area's
// pages it changes), 2 every page (Write every page).
void BM_ChangeToConfirmedSend(benchmark::State& state) {
    Program program;
    const auto kind = state.range(0);
    const vaxo::Origin web{vaxo::Origin::Kind::WebSession, "web bench"};
    static_cast<void>(program.Core().Execute(
        {web, vaxo::SetFields{{{vaxo::FieldId::WRITEALL, kind == 2},
                               {vaxo::FieldId::MINSEND, 1},
                               {vaxo::FieldId::RT, std::string("A radiotext on air")}}}}));
    static_cast<void>(program.Core().Execute({web, vaxo::SendStation{}}));
    program.RunUntil([&] { return program.Core().View().Idle(); });
    std::vector<double> took;
    int change = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(1100ms);
        state.ResumeTiming();
        const int before = program.Sent();
        const auto start = Clock::now();
        // Every character new: a new title, a new PS.
        const std::string text(kind == 0 ? 8 : 64, static_cast<char>('A' + ++change % 26));
        const vaxo::FieldId field = kind == 0 ? vaxo::FieldId::PS : vaxo::FieldId::RT;
        static_cast<void>(program.Core().Execute({web, vaxo::SetFields{{{field, text}}}}));
        static_cast<void>(program.Core().Execute({web, vaxo::SendStation{}}));
        program.RunUntil([&] { return program.Sent() > before; });
        took.push_back(Milliseconds(Clock::now() - start));
    }
    state.counters["p50_ms"] = Percentile(took, 0.5);
    state.counters["max_ms"] = Percentile(took, 1.0);
}
BENCHMARK(BM_ChangeToConfirmedSend)
    ->ArgName("ps_rt_full")
    ->DenseRange(0, 2)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
