#include "encoding/receiver_checks.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "encoding/receiver_words.h"

namespace vaxo {
namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

void CheckBlocks(const ReceiverView& view, std::vector<std::string>& warnings) {
    for (const BadBlock& bad : view.badBlocks) {
        const std::string where =
            bad.area == 1 && bad.group >= 4
                ? "row " + std::to_string(bad.group - 4) + " of the dynamic PS table"
                : "group " + std::to_string(bad.group) + " of area " + std::to_string(bad.area);
        warnings.push_back(std::string("block ") + bad.block + " of " + where +
                           " fails its checkword: receivers drop it");
    }
}

void CheckIdentity(const ReceiverView& view, std::vector<std::string>& warnings) {
    if (view.ta.value_or(false) && !view.tp.value_or(false)) {
        warnings.emplace_back(
            "TA is on without TP: receivers take no traffic announcement from a station that "
            "carries no traffic programme");
    }
    if (!view.pi) {
        return;
    }
    const std::string pi = Hex(*view.pi, 4);
    if (*view.pi == 0x0000) {
        warnings.push_back("PI 0000 identifies no station");
    } else if (*view.pi == 0xFFFF) {
        warnings.push_back("PI FFFF is a new station's value, not this station's own");
    } else if ((*view.pi >> 12) == 0) {
        warnings.push_back("PI " + pi + " has country code 0: receivers cannot tell its country");
    }
}

void CheckAlternativeFrequencies(const ReceiverView& view, std::vector<std::string>& warnings) {
    const bool anyAfBlock = std::any_of(view.groups.begin(), view.groups.end(), [](const auto& g) {
        return g.area == 1 && g.IsZeroA() && g.intact[2];
    });
    if (!anyAfBlock) {
        return;
    }
    if (!view.afCount) {
        warnings.emplace_back("the AF list does not begin with a count (224 to 231)");
    }
    std::set<int> seen;
    int frequencies = 0;
    for (const int code : view.afCodes) {
        if (code < 1 || code > 204) {
            warnings.push_back("AF code " + std::to_string(code) +
                               " is no frequency from 87.6 to 107.9 MHz");
            continue;
        }
        ++frequencies;
        if (!seen.insert(code).second) {
            warnings.push_back("AF " + Megahertz(AfTenthsOfMhz(code)) + " MHz is listed twice");
        }
    }
    if (view.afCount && *view.afCount != frequencies) {
        warnings.push_back(*view.afCount == 0 || frequencies == 0
                               ? "the AF list announces " + std::to_string(*view.afCount) +
                                     " frequencies and carries " + std::to_string(frequencies)
                               : "the AF count (" + std::to_string(*view.afCount) +
                                     ") differs from the " + std::to_string(frequencies) +
                                     " frequencies listed");
    }
}

void CheckRadiotext(const ReceiverView& view, std::vector<std::string>& warnings) {
    if (view.radiotextFlagged != view.rt.has_value()) {
        warnings.push_back(view.radiotextFlagged
                               ? "the flag byte announces a radiotext but area 2 holds none"
                               : "the flag byte says there is no radiotext but area 2 holds one");
    }
    if (!view.rt) {
        return;
    }
    const std::string& bytes = view.rt->bytes;
    const auto control = std::find_if(bytes.begin(), bytes.end(),
                                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (control != bytes.end()) {
        warnings.push_back("the radiotext holds control characters (byte 0x" +
                           Hex(static_cast<unsigned char>(*control), 2) + " at position " +
                           std::to_string(control - bytes.begin() + 1) + ")");
    } else if (view.rt->Complete() && bytes.find_first_not_of(' ') == std::string::npos) {
        warnings.emplace_back("the radiotext is only spaces: receivers show it empty");
    }
}

void CheckDynamicPs(const ReceiverView& view, std::vector<std::string>& warnings) {
    if (!view.dps) {
        return;
    }
    const bool changing =
        std::any_of(view.dps->texts.begin(), view.dps->texts.end(),
                    [&](const ReceivedText& text) { return text.bytes != view.ps.bytes; });
    if (changing) {
        warnings.push_back(
            "dynamic PS is on: many receivers show a changing PS poorly (each text stays " +
            std::to_string(view.dps->stepSeconds) + " s)");
    }
    for (std::size_t k = 0; k < view.dps->texts.size(); ++k) {
        std::string which = "dynamic PS ";
        which += std::to_string(k + 1);
    }
}

}  // namespace

std::vector<std::string> ReceiverWarnings(const ReceiverView& view) {
    std::vector<std::string> warnings;
    CheckBlocks(view, warnings);
    CheckIdentity(view, warnings);
    CheckAlternativeFrequencies(view, warnings);
    CheckDynamicPs(view, warnings);
    CheckRadiotext(view, warnings);
    return warnings;
}

}  // namespace vaxo
