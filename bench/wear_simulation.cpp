// A playout system that scrolls the PS once a second, on virtual time with
// the simulated encoder: the page writes a day of the busiest page and of all
// pages, as the program wrote before (every page of every send, a send for
// each change) and as it writes now (changed pages, a send at most every
// 3 s, each page within its budget).
#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "app/control_program.h"
#include "link/encoder_simulator.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"

namespace {

using namespace std::chrono_literals;

struct Writes {
    int busiest = 0;
    long all = 0;
    int sends = 0;
    double days = 0;  // of virtual time (the sends' own time included)
};

using PageCounts = std::array<std::array<int, 16>, 4>;

PageCounts Counts(const vaxo::EncoderSimulator& encoder) {
    PageCounts counts{};
    for (std::size_t block = 0; block < 4; ++block) {
        for (std::size_t page = 0; page < 16; ++page) {
            counts[block][page] = encoder.PageWrites(block, page);
        }
    }
    return counts;
}

// The writes of `span` after `warmUp`: a budget starts with a day's worth,
// so the rate it keeps shows from the second day on.
Writes Scroll(const std::string& settings, std::chrono::hours warmUp, std::chrono::hours span) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vaxo-wear-XXXXXX");
    const std::filesystem::path folder = ::mkdtemp(pattern.data());
    std::filesystem::create_directory(folder / "run");
    std::filesystem::permissions(folder / "run", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    std::FILE* ini = std::fopen((folder / "vaxow.ini").c_str(), "wb");
    std::fputs(settings.c_str(), ini);
    std::fclose(ini);

    vaxo::test::FakeLinkTiming timing;
    vaxo::test::ManualHost host([&] { return timing.Now(); });
    vaxo::EncoderSimulator encoder;
    vaxo::PortLayer layer(vaxo::ForwardingPortBackends(encoder));
    Writes writes;
    {
        vaxo::ControlProgram program(
            {host, layer, layer, timing,
             [] {
                 return vaxo::ImageClock{*vaxo::ParseLocalTime("2026-12-09 12:00:00"), '.'};
             },
             folder.string() + "/"});
        const vaxo::Subscription counting = program.Listen([&](const vaxo::ProgramEvent& event) {
            writes.sends += std::holds_alternative<vaxo::SendStarted>(event) ? 1 : 0;
        });
        program.Start({});
        const std::string title = "    NOW PLAYING: A SONG BY AN ARTIST    ";
        const vaxo::Origin playout{vaxo::Origin::Kind::TextClient, "text playout"};
        const auto measuredFrom = std::chrono::duration_cast<std::chrono::seconds>(warmUp).count();
        const auto seconds =
            measuredFrom + std::chrono::duration_cast<std::chrono::seconds>(span).count();
        PageCounts before{};
        std::chrono::nanoseconds from{};
        const std::chrono::nanoseconds start = timing.Elapsed();
        for (long second = 0; second < seconds; ++second) {
            if (second == measuredFrom) {
                before = Counts(encoder);
                writes.sends = 0;
                from = timing.Elapsed();
            }
            const std::string ps = title.substr(static_cast<std::size_t>(second) % 32, 8);
            static_cast<void>(
                program.Execute({playout, vaxo::SetFields{{{vaxo::FieldId::PS, ps}}}}));
            // The next change a second after this one, whatever the sends took.
            const auto next = start + std::chrono::seconds(second + 1);
            while (timing.Elapsed() < next) {
                timing.Advance(std::min<std::chrono::nanoseconds>(100ms, next - timing.Elapsed()));
                host.RunPending();
                host.FireDue();
                host.RunUntil([&] { return !program.View().LinkBusy(); });
                host.RunPending();
            }
        }
        writes.days = std::chrono::duration<double>(timing.Elapsed() - from).count() / 86400;
        program.ReleasePort();
        const PageCounts after = Counts(encoder);
        for (std::size_t block = 0; block < 4; ++block) {
            for (std::size_t page = 0; page < 16; ++page) {
                const int pageWrites = after[block][page] - before[block][page];
                writes.busiest = std::max(writes.busiest, pageWrites);
                writes.all += pageWrites;
            }
        }
    }
    std::filesystem::remove_all(folder);
    return writes;
}

void Report(const char* what, const Writes& writes) {
    std::printf("%-32s %7.0f sends, busiest page %7.0f writes, all pages %9.0f writes a day\n",
                what, writes.sends / writes.days, writes.busiest / writes.days,
                static_cast<double>(writes.all) / writes.days);
}

}  // namespace

int main() {
    // Before: the same from the start, two hours tell a day.
    const Writes before = Scroll("WRITEALL=1\r\nMINSEND=1\r\nWEARYEARS=0\r\n", 0h, 2h);
    const Writes now = Scroll("", 24h, 24h);
    std::printf("A PS scrolled once a second (virtual time, simulated encoder):\n");
    Report("every page, every change", before);
    Report("changed pages, 3 s, budget 548", now);
    std::printf(
        "all pages: %.0f times fewer writes; busiest page: %.0f times fewer\n",
        (static_cast<double>(before.all) / before.days) / (static_cast<double>(now.all) / now.days),
        (before.busiest / before.days) / (now.busiest / now.days));
    return 0;
}
