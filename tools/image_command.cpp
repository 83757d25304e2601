#include <cstdio>
#include <span>

#include "base/file_io.h"
#include "encoding/checkword.h"
#include "encoding/encoder_image.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/locale_separator.h"
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

// Four information words of one group, the form RDS decoders read.
std::string GroupLine(std::span<const BitElement> group) {
    std::string line;
    for (std::size_t block = 0; block < 4; ++block) {
        if (block) {
            line += ' ';
        }
        line += Hex(GetBits(group, block * kBlockElements, 16), 4);
    }
    return line;
}

void PrintGroups(const EncoderImage& image, std::ostream& out) {
    const std::span<const BitElement> ps(image.PsArea);
    for (std::size_t g = 0; g < 4; ++g) {
        out << GroupLine(ps.subspan(g * kGroupElements, kGroupElements)) << '\n';
    }
    const std::span<const BitElement> rt(image.RtArea);
    for (std::size_t g = 0; g < 16; ++g) {
        out << GroupLine(rt.subspan(g * kGroupElements, kGroupElements)) << '\n';
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

ImageClock ClockFrom(const ParsedOptions& options) {
    ImageClock clock{LocalNow()};
    if (const auto at = options.Value("at")) {
        const auto parsed = ParseLocalTime(*at);
        if (!parsed) {
            throw UsageError("--at needs \"YYYY-MM-DD HH:MM:SS\"");
        }
        clock.now = *parsed;
    }
    const auto separator = options.Value("decimal-separator");
    if (separator && separator->size() != 1) {
        throw UsageError("--decimal-separator needs one character");
    }
    clock.decimalSeparator = separator ? separator->front() : LocaleDecimalSeparator();
    return clock;
}

int AbFlagFrom(const ParsedOptions& options) {
    const std::string ab = options.Value("ab").value_or("0");
    if (ab != "0" && ab != "1") {
        throw UsageError("--ab takes 0 or 1");
    }
    return ab == "1" ? 1 : 0;
}

}  // namespace

int ImageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(
        args, {.valued = {"at", "ab", "decimal-separator"}, .switches = {"groups"}});
    if (options.Positional().size() != 1) {
        throw UsageError("image needs exactly one station file");
    }
    const ImageClock clock = ClockFrom(options);
    const int abFlag = AbFlagFrom(options);
    try {
        RdsParameterSet set = LoadStationOntoNewSet(options.Positional().front());
        set.TextAbFlag = abFlag;
        EncodedFields fields;
        EncoderImage image;
        BuildEncoderImage(set, clock, fields, image);
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
