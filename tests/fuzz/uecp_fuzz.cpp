// Any bytes as a UECP stream from one client, cut into pieces of any size:
// frames are read, their elements applied or refused, answers built.
#include <cstdint>

#include "netcontrol/uecp_session.h"
#include "tests/fuzz/fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& fuzz = vaxo::fuzz::Program();
    vaxo::UecpSession session({{size % 2 ? std::vector<int>{0x345} : std::vector<int>{}, {}}, {6}},
                              "UECP fuzz", {}, size % 3 != 0);
    vaxo::UecpFrameReader reader;
    const std::size_t piece = size > 0 ? data[0] % 17 + 1 : 1;
    for (std::size_t at = 0; at < size; at += piece) {
        reader.Feed(data + at, std::min(piece, size - at), [&](const vaxo::UecpReading& reading) {
            static_cast<void>(session.Take(fuzz.program, reading));
        });
    }
    if (auto open = reader.Finish()) {
        static_cast<void>(session.Take(fuzz.program, *open));
    }
    static_cast<void>(vaxo::ParseUecpElements(std::vector<std::uint8_t>(data, data + size)));
    fuzz.host.RunPending();
    return 0;
}
