// What a listener's receiver gets from a station or from a memory dump.
#include <iostream>
#include <sstream>

#include "app/receiver_json.h"
#include "base/file_io.h"
#include "encoding/memory_dump.h"
#include "encoding/receiver_checks.h"
#include "encoding/receiver_words.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/image_options.h"
#include "tools/station_loading.h"

namespace vaxo::ctl {
namespace {

std::string Shown(const std::optional<bool>& on, const char* yes, const char* no) {
    return on ? (*on ? yes : no) : "?";
}

// As a receiver's display would show it, then the checks.
void PrintDisplay(const ReceiverView& view, std::ostream& out) {
    out << "PS    " << view.ps.Shown() << '\n';
    if (view.dps) {
        out << "      dynamic, each text " << view.dps->stepSeconds << " s:";
        for (const ReceivedText& text : view.dps->texts) {
            out << " [" << text.Shown() << ']';
        }
        out << '\n';
    }
    if (view.rt) {
        out << "RT    " << (view.ab.value_or(0) ? "B " : "A ") << view.rt->Shown() << '\n';
    } else {
        out << "RT    (no radiotext; area 2 holds " << view.zeroAGroupsInArea2 << " 0A groups)\n";
    }
    if (view.pty) {
        out << "PTY   " << *view.pty << ' ' << RdsProgrammeTypeName(*view.pty) << " (RBDS "
            << RbdsProgrammeTypeName(*view.pty) << ")\n";
    }
    out << "TP    " << Shown(view.tp, "1", "0") << "  TA " << Shown(view.ta, "1", "0") << "  "
        << Shown(view.music, "music", "speech") << "  " << DecoderIdWords(view) << '\n';
    out << "AF   ";
    for (const std::string& frequency : AfFrequencies(view)) {
        out << ' ' << frequency;
    }
    out << (view.afCodes.empty() ? " none\n" : " MHz\n");
    out << "PI    " << ShownPi(view) << "  both banks in loop: " << (view.bothBanks ? "yes" : "no")
        << '\n';
    out << "      " << view.totalBlocks << " blocks, " << view.badBlocks.size() << " bad\n";
    for (const std::string& warning : ReceiverWarnings(view)) {
        out << "warning: " << warning << '\n';
    }
}

MemoryDump DumpFrom(const std::string& name, int bank) {
    std::string text;
    if (name == "-") {
        std::ostringstream read;
        read << std::cin.rdbuf();
        text = read.str().substr(0, kSmallFileLimit);
    } else {
        const auto file = ReadFileIfExists(name);
        if (!file) {
            throw FileError(FileError::Kind::CannotOpen, "Cannot open file " + name);
        }
        text = *file;
    }
    std::string why;
    auto dump = ParseMemoryDump(text, bank, why);
    if (!dump) {
        throw UsageError(name + " is no memory dump: " + why);
    }
    return *dump;
}

MemoryDump DumpOfStation(const ParsedOptions& options) {
    const ImageClock clock = ImageClockFrom(options);
    RdsParameterSet set =
        LoadStationOntoNewSet(options.Positional().front(), clock.decimalSeparator);
    EncodedFields fields;
    EncoderImage image;
    BuildEncoderImage(set, AbFlagFrom(options), clock, fields, image);
    // As a send writes it: the table's pages only when there is a table.
    return {AreaBytes(image.PsArea, image.DpsTablePresent() ? kPsAreaBytes : 64),
            AreaBytes(image.RtArea, kRtAreaBytes)};
}

}  // namespace

int PreviewCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(
        args, {.valued = {"at", "ab", "decimal-separator", "image", "bank"}, .switches = {"json"}});
    const auto image = options.Value("image");
    if (image ? !options.Positional().empty() : options.Positional().size() != 1) {
        throw UsageError("preview needs exactly one station file, or --image FILE");
    }
    const std::string bank = options.Value("bank").value_or("1");
    if (bank != "1" && bank != "2") {
        throw UsageError("--bank takes 1 or 2");
    }
    MemoryDump dump;
    try {
        dump = image ? DumpFrom(*image, bank == "2" ? 2 : 1) : DumpOfStation(options);
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 1;
    }
    const ReceiverView view = DecodeEncoderMemory(dump.area1, dump.area2);
    if (options.Has("json")) {
        out << ReceiverJson(view).dump(2) << '\n';
    } else {
        PrintDisplay(view, out);
    }
    return view.AllBlocksIntact() ? 0 : 1;
}

}  // namespace vaxo::ctl
