#include "window/on_air_texts.h"

#include "encoding/receiver_checks.h"
#include "encoding/receiver_view.h"
#include "encoding/receiver_words.h"

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

std::string Frequencies(const ReceiverView& view) {
    const std::vector<std::string> list = AfFrequencies(view);
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
    return "PI " + ShownPi(view) + "   both banks in loop: " + (view.bothBanks ? "yes" : "no") +
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
