// Any bytes as a language file: the section reader and the entry splitter
// never crash, and what they give keeps their limits.
#include <cstdint>
#include <cstdlib>

#include "formats/language_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t names = 1;
    for (const std::string& entry : vaxo::ReadIniSection(text, vaxo::kTranslationsSection)) {
        const std::size_t equals = entry.find('=');
        names += equals + 1;
        if (equals == std::string::npos || names > vaxo::kIniKeyNamesLimit ||
            entry.size() - equals - 1 > vaxo::kIniValueLimit) {
            std::abort();
        }
        const vaxo::TranslationEntry split = vaxo::SplitTranslationEntry(entry);
        if (split.form.size() + split.control.size() + split.property.size() > equals) {
            std::abort();
        }
    }
    return 0;
}
