#include "encoding/receiver_words.h"

#include <cstdio>

namespace vaxo {

std::string Megahertz(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::vector<std::string> AfFrequencies(const ReceiverView& view) {
    std::vector<std::string> frequencies;
    for (const int code : view.afCodes) {
        if (code >= 1 && code <= 204) {
            frequencies.push_back(Megahertz(AfTenthsOfMhz(code)));
        }
    }
    return frequencies;
}

std::string DecoderIdWords(const ReceiverView& view) {
    static const char* const names[] = {"stereo", "artificial head", "compressed", "dynamic PTY"};
    std::string words;
    for (std::size_t d = 0; d < 4; ++d) {
        if (view.di[d].value_or(false)) {
            words += (words.empty() ? "" : ", ") + std::string(names[d]);
        }
    }
    return words.empty() ? "mono" : words;
}

std::string ShownPi(const ReceiverView& view) {
    char pi[8] = "?";
    if (view.pi) {
        std::snprintf(pi, sizeof pi, "%04X", static_cast<unsigned>(*view.pi));
    }
    return pi;
}

}  // namespace vaxo
