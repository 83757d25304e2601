// Any bytes as encoder memory, and any text as a memory dump: the decoder
// and its checks take them all, in bounded time.
#include <cstdint>
#include <span>
#include <string>

#include "encoding/memory_dump.h"
#include "encoding/receiver_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::size_t split = size > 0 ? data[0] % 193 : 0;
    const auto area1 = bytes.subspan(0, std::min(split, size));
    const auto area2 = bytes.subspan(area1.size(), std::min<std::size_t>(208, size - area1.size()));
    static_cast<void>(vaxo::ReceiverWarnings(vaxo::DecodeEncoderMemory(area1, area2)));

    std::string why;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto dump = vaxo::ParseMemoryDump(text, size % 2 ? 1 : 2, why)) {
        static_cast<void>(
            vaxo::ReceiverWarnings(vaxo::DecodeEncoderMemory(dump->area1, dump->area2)));
    }
    return 0;
}
