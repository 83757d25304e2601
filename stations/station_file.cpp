#include "stations/station_file.h"

#include <functional>
#include <map>
#include <vector>

#include "base/file_io.h"
#include "base/product.h"
#include "base/text_lines.h"

namespace vaxo {
namespace {

constexpr std::size_t kResetLineLimit = 128;

const char* Flag(bool on) {
    return on ? "1" : "0";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "One or two decimal digits" within [low, high]; anything else gives fallback.
int SmallNumber(std::string_view value, int low, int high, int fallback) {
    if (value.empty() || value.size() > 2 || !IsDigit(value[0]) ||
        (value.size() == 2 && !IsDigit(value[1]))) {
        return fallback;
    }
    int number = value[0] - '0';
    if (value.size() == 2) {
        number = number * 10 + (value[1] - '0');
    }
    return number >= low && number <= high ? number : fallback;
}

bool IsOn(std::string_view value) {
    return value == "1";
}

DecoderId ReadDecoderId(std::string_view value) {
    DecoderId di{};
    if (value.size() == 4) {
        for (std::size_t position = 0; position < 4; ++position) {
            di[3 - position] = value[position] == '1';
        }
    }
    return di;
}

int ReadSelectedRadiotext(std::string_view value) {
    if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') {
        return value[0] - '0';
    }
    return 0;
}

using FieldReader = std::function<void(RdsParameterSet&, std::string_view)>;

const std::map<std::string, FieldReader, std::less<>>& FieldReaders() {
    using S = RdsParameterSet;
    using V = std::string_view;
    static const std::map<std::string, FieldReader, std::less<>> readers = [] {
        std::map<std::string, FieldReader, std::less<>> r{
            {"PTY", [](S& s, V v) { s.PTY = SmallNumber(v, 0, 31, 0); }},
            {"MS", [](S& s, V v) { s.MS = IsOn(v) ? 1 : 0; }},
            {"TP", [](S& s, V v) { s.TP = IsOn(v) ? 1 : 0; }},
            {"TA", [](S& s, V v) { s.TA = IsOn(v) ? 1 : 0; }},
            {"PI", [](S& s, V v) { s.PI = v; }},
            {"DI", [](S& s, V v) { s.DI = ReadDecoderId(v); }},
            {"RT", [](S& s, V v) { s.RT = v; }},
            {"RT2", [](S& s, V v) { s.RT2 = v; }},
            {"RT3", [](S& s, V v) { s.RT3 = v; }},
            {"RT4", [](S& s, V v) { s.RT4 = v; }},
            {"SELRT", [](S& s, V v) { s.SELRT = ReadSelectedRadiotext(v); }},
            {"RTUSAB", [](S& s, V v) { s.ABSW = IsOn(v); }},
            {"RTFF", [](S& s, V v) { s.RTFF = IsOn(v); }},
            {"RTSC", [](S& s, V v) { s.UPCH = IsOn(v); }},
            {"PS", [](S& s, V v) { s.PS = v; }},
            {"DPSE", [](S& s, V v) { s.ENDPS = IsOn(v); }},
            {"DPSFF", [](S& s, V v) { s.PSFF = IsOn(v); }},
            {"DPSSC", [](S& s, V v) { s.UPCHPS = IsOn(v); }},
            {"DPSP", [](S& s, V v) { s.DPSP = SmallNumber(v, 7, 65, 13); }},
            {"DPSSA", [](S& s, V v) { s.DPSA = IsOn(v); }},
            {"DPSEF", [](S& s, V v) { s.DPSC = IsOn(v); }},
            {"RTSF", [](S& s, V v) { s.RTFILE = v; }},
            {"RTSAT", [](S& s, V v) { s.RTSAT = SmallNumber(v, 1, 30, 5); }},
            {"RTSA", [](S& s, V v) { s.RTSA = IsOn(v); }},
            {"DPSSF", [](S& s, V v) { s.PSFILE = v; }},
            {"EFCHAR", [](S& s, V v) { s.EFCHAR = v; }},
            {"STB", [](S& s, V v) { s.STB = IsOn(v) ? 1 : 2; }},
            {"MBS", [](S& s, V v) { s.AUTBSW = IsOn(v); }},
            {"SEND", [](S& s, V v) { s.SEND = s.SendPending = IsOn(v); }},
            {"EXIT", [](S& s, V v) { s.EXAL = IsOn(v); }},
        };
        for (std::size_t i = 0; i < 7; ++i) {
            r.emplace("AF" + std::to_string(i + 1), [i](S& s, V v) { s.AF[i] = v; });
        }
        for (std::size_t i = 0; i < 8; ++i) {
            r.emplace("DPS" + std::to_string(i + 1), [i](S& s, V v) { s.DPS[i] = v; });
        }
        return r;
    }();
    return readers;
}

void ApplyLine(RdsParameterSet& set, std::string_view line) {
    const std::size_t equals = line.find('=');
    if (line.size() < 2 || equals == std::string_view::npos || equals < 1 || equals > 8) {
        return;
    }
    const auto& readers = FieldReaders();
    const auto reader = readers.find(line.substr(0, equals));
    if (reader != readers.end()) {
        reader->second(set, line.substr(equals + 1));
    }
}

}  // namespace

std::string StationFileText(const RdsParameterSet& s) {
    std::vector<std::string> lines{
        "CLEAR",
        "PTY=" + std::to_string(s.PTY),
        std::string("MS=") + Flag(s.MS == 1),
        std::string("TP=") + Flag(s.TP == 1),
        std::string("TA=") + Flag(s.TA == 1),
        "PI=" + s.PI.str(),
        "DI=" + DecoderIdText(s.DI),
        "RT=" + s.RT.str(),
        "RT2=" + s.RT2.str(),
        "RT3=" + s.RT3.str(),
        "RT4=" + s.RT4.str(),
        "SELRT=" + std::to_string(s.SELRT >= 1 && s.SELRT <= 4 ? s.SELRT : 4),
        s.ABSW ? "RTUSAB=1" : "RTAB=0",
        std::string("RTFF=") + Flag(s.RTFF),
        std::string("RTSC=") + Flag(s.UPCH),
    };
    for (std::size_t i = 0; i < s.AF.size(); ++i) {
        lines.push_back("AF" + std::to_string(i + 1) + "=" + s.AF[i].str());
    }
    lines.push_back("PS=" + s.PS.str());
    lines.push_back(std::string("DPSE=") + Flag(s.ENDPS));
    lines.push_back(std::string("DPSFF=") + Flag(s.PSFF));
    lines.push_back(std::string("DPSSC=") + Flag(s.UPCHPS));
    lines.push_back("DPSP=" + std::to_string(s.DPSP));
    lines.push_back(std::string("DPSSA=") + Flag(s.DPSA));
    lines.push_back(std::string("DPSEF=") + Flag(s.DPSC));
    for (std::size_t i = 0; i < s.DPS.size(); ++i) {
        lines.push_back("DPS" + std::to_string(i + 1) + "=" + s.DPS[i].str());
    }
    lines.push_back("RTSF=" + s.RTFILE);
    lines.push_back("RTSAT=" + std::to_string(s.RTSAT));
    lines.push_back(std::string("RTSA=") + Flag(s.RTSA));
    lines.push_back("DPSSF=" + s.PSFILE);
    lines.push_back("EFCHAR=" + s.EFCHAR.str());
    lines.push_back(std::string("STB=") + Flag(s.STB == 1));
    lines.push_back(std::string("MBS=") + Flag(s.AUTBSW));
    lines.push_back(std::string("SEND=") + Flag(s.SEND));
    lines.push_back(std::string("EXIT=") + Flag(s.EXAL));
    lines.push_back(std::string("GEN=") + kProductName);
    return JoinLinesCrLf(lines);
}

void ApplyStationText(RdsParameterSet& set, std::string_view text) {
    std::string_view first;
    ForEachLine(text, [&](std::string_view line) {
        first = line;
        return false;
    });
    if (first == "CLEAR" && CountLines(text, kResetLineLimit) < kResetLineLimit) {
        set.ResetStation();
        set.RememberedFile = set.StationFileName;
    }
    ForEachLine(text, [&](std::string_view line) {
        ApplyLine(set, line);
        return true;
    });
}

void SaveStationFile(const RdsParameterSet& set) {
    SaveFile(set.StationFileName, StationFileText(set));
}

void LoadStationFile(RdsParameterSet& set) {
    const auto text = ReadFileIfExists(set.StationFileName);
    if (!text) {
        return;
    }
    ApplyStationText(set, *text);
    set.NotifyChanged();
}

}  // namespace vaxo
