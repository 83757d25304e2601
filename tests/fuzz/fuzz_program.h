#pragma once

// A started program for the targets that drive it as a network client does:
// a simulated encoder, a loop turned by hand, a folder of its own. Made once
// and kept for the process.
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/control_program.h"
#include "link/encoder_simulator.h"
#include "platform/program_dir.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"

namespace vaxo::fuzz {

struct FuzzProgram {
    FuzzProgram() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vaxo-fuzz-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        ::setenv("VAXO_INSTANCE", folder.c_str(), 1);
        const auto here = std::filesystem::current_path();
        program.Start({});
        host.RunUntil([this] { return program.View().Idle(); });
        std::filesystem::current_path(here);  // the program works in its own folder
    }

    std::string folder;
    test::ManualHost host;
    EncoderSimulator encoder;
    PortLayer layer{ForwardingPortBackends(encoder)};
    test::FakeLinkTiming timing;
    ControlProgram program{
        ProgramServices{host, layer, layer, timing,
                        [] {
                            return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
                        },
                        folder + "/"}};
};

// Never destroyed: the process ends when the fuzzer says.
inline FuzzProgram& Program() {
    static auto* program = new FuzzProgram;
    return *program;
}

}  // namespace vaxo::fuzz
