// Any bytes as a help file: the RTF reader neither crashes nor hangs, and its
// text never exceeds what the input could have written.
#include <cstdint>
#include <cstdlib>

#include "formats/rtf_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vaxo::RtfDocumentModel model =
        vaxo::ParseRtf({reinterpret_cast<const char*>(data), size});
    std::size_t characters = 0;
    for (const auto& paragraph : model.paragraphs) {
        for (const auto& run : paragraph.runs) {
            characters += run.text.size();
        }
    }
    if (characters > size || model.paragraphs.size() > size + 1) {
        std::abort();
    }
    return 0;
}
