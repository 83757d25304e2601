// Any bytes as a text-command client sends them: cut into lines, each line
// answered, the program's set changed only by values it can hold.
#include <cstdint>
#include <string_view>

#include "netcontrol/line_splitter.h"
#include "netcontrol/text_commands.h"
#include "tests/fuzz/fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& fuzz = vaxo::fuzz::Program();
    vaxo::LineSplitter splitter(1024);
    const auto line = [&](std::string_view text) {
        static_cast<void>(vaxo::HandleTextCommand(fuzz.program, text,
                                                  {vaxo::Origin::Kind::TextClient, "text fuzz"}));
    };
    splitter.Feed(std::string_view(reinterpret_cast<const char*>(data), size), line, [] {});
    splitter.Finish(line);
    fuzz.host.RunPending();
    return 0;
}
