#include <cstdio>
#include <span>

#include "base/file_io.h"
#include "encoding/encoder_image.h"
#include "encoding/receiver_view.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/image_options.h"
#include "tools/station_loading.h"

namespace vaxo::ctl {
namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string HexBytes(std::span<const BitElement> area, std::size_t count) {
    std::string text;
    for (std::uint8_t byte : AreaBytes(area, count)) {
        text += Hex(byte, 2);
    }
    return text;
}

// Each group as its four information words, the form RDS decoders read: the
// four 0A groups of the first area, then the sixteen of the second.
void PrintGroups(const EncoderImage& image, std::ostream& out) {
    const auto area1 = AreaBytes(image.PsArea, 52);
    const auto area2 = AreaBytes(image.RtArea, kRtAreaBytes);
    for (const ReceivedGroup& group : DecodeEncoderMemory(area1, area2).groups) {
        for (std::size_t block = 0; block < 4; ++block) {
            out << (block ? " " : "") << Hex(group.words[block], 4);
        }
        out << '\n';
    }
}

void PrintImage(const RdsParameterSet& set, const EncoderImage& image, std::ostream& out) {
    out << "area1 " << HexBytes(image.PsArea, kPsAreaBytes) << '\n';
    out << "area2 " << HexBytes(image.RtArea, kRtAreaBytes) << '\n';
    out << "dps-table-present " << (image.DpsTablePresent() ? 1 : 0) << '\n';
    out << "pi " << set.PI.str() << '\n';
    out << "af";
    for (std::size_t i = 0; i < set.AF.size(); ++i) {
        out << (i ? "|" : " ") << set.AF[i].str();
    }
    out << '\n';
}

}  // namespace

int ImageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(
        args, {.valued = {"at", "ab", "decimal-separator"}, .switches = {"groups"}});
    if (options.Positional().size() != 1) {
        throw UsageError("image needs exactly one station file");
    }
    const ImageClock clock = ImageClockFrom(options);
    const int abFlag = AbFlagFrom(options);
    try {
        RdsParameterSet set =
            LoadStationOntoNewSet(options.Positional().front(), clock.decimalSeparator);
        EncodedFields fields;
        EncoderImage image;
        BuildEncoderImage(set, abFlag, clock, fields, image);
        if (options.Has("groups")) {
            PrintGroups(image, out);
        } else {
            PrintImage(set, image, out);
        }
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace vaxo::ctl
