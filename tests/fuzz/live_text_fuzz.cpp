// Any bytes as a live-text file, in pieces of any size: the reader and the
// shaping of radiotext and dynamic PS never crash, and what they give keeps
// its limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stations/live_text_file.h"
#include "stations/live_text_shaping.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    vaxo::LastLineScanner scanner;
    const std::size_t piece = data[0] % 7 + 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        scanner.Feed(bytes.substr(at, piece));
    }
    const std::string line = scanner.Finish();
    if (line != vaxo::LastLiveTextLine(bytes) || line.size() > vaxo::LastLineScanner::kLineLimit) {
        std::abort();
    }
    const std::string rt = vaxo::ProcessRadiotextLine(line);
    const vaxo::DpsShaping shaping{(data[0] & 0x10) != 0, (data[0] & 0x20) != 0,
                                   (data[0] & 0x40) ? "" : "#"};
    const std::string dps = vaxo::ProcessDpsLine(line, shaping);
    if (rt.size() > 64 || dps.size() > 64) {
        std::abort();
    }
    return 0;
}
