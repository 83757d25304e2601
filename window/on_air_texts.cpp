#include "window/on_air_texts.h"

#include <cstdio>

#include "encoding/receiver_checks.h"
#include "encoding/receiver_view.h"

namespace vaxo {
namespace {

std::string Flag(const std::optional<bool>& on) {
    return on ? (*on ? "1" : "0") : "?";
}

std::string Joined(const std::vector<std::string>& parts, const std::string& between) {
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty()) {
            joined += between;
        }
        joined += part;
    }
    return joined;
}

std::string DecoderIdWords(const ReceiverView& view) {
    static const char* const names[] = {"stereo", "artificial head", "compressed", "dynamic PTY"};
    std::vector<std::string> words;
    for (std::size_t d = 0; d < 4; ++d) {
        if (view.di[d].value_or(false)) {
            words.emplace_back(names[d]);
        }
    }
    return words.empty() ? "mono" : Joined(words, ", ");
}

std::string Frequencies(const ReceiverView& view) {
    std::vector<std::string> list;
    for (const int code : view.afCodes) {
        if (code >= 1 && code <= 204) {
            const int tenths = AfTenthsOfMhz(code);
            list.push_back(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
        }
    }
    return list.empty() ? "none" : Joined(list, " ") + " MHz";
}

std::string ProgrammeType(const ReceiverView& view) {
    if (!view.pty) {
        return "PTY ?";
    }
    return "PTY " + std::to_string(*view.pty) + " " + RdsProgrammeTypeName(*view.pty) + " (RBDS " +
           RbdsProgrammeTypeName(*view.pty) + ")";
}

std::string Identification(const ReceiverView& view) {
    char pi[8] = "?";
    if (view.pi) {
        std::snprintf(pi, sizeof pi, "%04X", static_cast<unsigned>(*view.pi));
    }
    return std::string("PI ") + pi + "   both banks in loop: " + (view.bothBanks ? "yes" : "no") +
           "   " + std::to_string(view.totalBlocks) + " blocks, " +
           std::to_string(view.badBlocks.size()) + " bad";
}

}  // namespace

OnAirTexts DescribeOnAir(const std::optional<MemoryDump>& memory) {
    OnAirTexts texts;
    if (!memory) {
        texts.rt = "Nothing sent to this bank since the program started.";
        return texts;
    }
    const ReceiverView view = DecodeEncoderMemory(memory->area1, memory->area2);
    texts.ps = view.ps.Shown();
    texts.rt = view.rt ? std::string(view.ab.value_or(0) ? "[B] " : "[A] ") + view.rt->Shown()
                       : "(no radiotext)";
    texts.info = ProgrammeType(view) + "\nTP " + Flag(view.tp) + "  TA " + Flag(view.ta) + "  " +
                 (view.music ? (*view.music ? "music" : "speech") : "?") + "  " +
                 DecoderIdWords(view);
    std::vector<std::string> lines{"AF " + Frequencies(view), Identification(view)};
    if (view.dps) {
        std::vector<std::string> shown;
        for (const ReceivedText& text : view.dps->texts) {
            texts.dynamicTexts.push_back(text.Shown());
            shown.push_back("[" + text.Shown() + "]");
        }
        texts.stepSeconds = view.dps->stepSeconds;
        lines.push_back("Dynamic PS, each text " + std::to_string(texts.stepSeconds) +
                        " s: " + Joined(shown, " "));
        texts.ps = texts.dynamicTexts.front();  // the encoder plays the table's texts
    }
    const auto warnings = ReceiverWarnings(view);
    lines.emplace_back(warnings.empty() ? "No warnings." : "Warnings:");
    for (const std::string& warning : warnings) {
        lines.push_back("  - " + warning);
    }
    texts.details = Joined(lines, "\n");
    return texts;
}

}  // namespace vaxo
