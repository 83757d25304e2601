#include "record/station_fields.h"

#include <unordered_map>

namespace vaxo {
namespace {

using S = RdsParameterSet;
using V = std::string_view;

const S& NewSet() {
    static const S fresh;
    return fresh;
}

const char* Flag(bool on) {
    return on ? "1" : "0";
}

bool IsOn(V value) {
    return value == "1";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "One or two decimal digits" within [low, high]; anything else gives fallback.
int SmallNumber(V value, int low, int high, int fallback) {
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

template <auto Member>
void ResetToNew(S& s) {
    s.*Member = NewSet().*Member;
}

// Texts, kept as they stand (a bounded one cut to its limit).
template <auto Member>
StationField Text(const char* key) {
    return {key, [](const S& s) { return std::string(s.*Member); },
            [](S& s, V v) { s.*Member = std::string(v); }, ResetToNew<Member>};
}

template <auto Member, std::size_t Index>
StationField Element(const char* key) {
    return {key, [](const S& s) { return std::string((s.*Member)[Index]); },
            [](S& s, V v) { (s.*Member)[Index] = v; },
            [](S& s) { (s.*Member)[Index] = (NewSet().*Member)[Index]; }};
}

// Flags: "1" is on, anything else off.
template <auto Member>
StationField OnOff(const char* key) {
    return {key, [](const S& s) { return std::string(Flag(s.*Member)); },
            [](S& s, V v) { s.*Member = IsOn(v); }, ResetToNew<Member>};
}

// 0/1 choices kept as numbers (MS, TP, TA).
template <auto Member>
StationField ZeroOne(const char* key) {
    return {key, [](const S& s) { return std::string(Flag(s.*Member == 1)); },
            [](S& s, V v) { s.*Member = IsOn(v) ? 1 : 0; }, ResetToNew<Member>};
}

template <auto Member, int Low, int High, int Fallback>
StationField Number(const char* key) {
    return {key, [](const S& s) { return std::to_string(s.*Member); },
            [](S& s, V v) { s.*Member = SmallNumber(v, Low, High, Fallback); }, ResetToNew<Member>};
}

DecoderId ReadDecoderId(V value) {
    DecoderId di{};
    if (value.size() == 4) {
        for (std::size_t position = 0; position < 4; ++position) {
            di[3 - position] = value[position] == '1';
        }
    }
    return di;
}

std::vector<StationField> BuildFields() {
    std::vector<StationField> fields{
        Number<&S::PTY, 0, 31, 0>("PTY"),
        ZeroOne<&S::MS>("MS"),
        ZeroOne<&S::TP>("TP"),
        ZeroOne<&S::TA>("TA"),
        Text<&S::PI>("PI"),
        {"DI", [](const S& s) { return DecoderIdText(s.DI); },
         [](S& s, V v) { s.DI = ReadDecoderId(v); }, ResetToNew<&S::DI>},
        Text<&S::RT>("RT"),
        Text<&S::RT2>("RT2"),
        Text<&S::RT3>("RT3"),
        Text<&S::RT4>("RT4"),
        // No radiotext selected is written as the fourth.
        {"SELRT",
         [](const S& s) { return std::to_string(s.SELRT >= 1 && s.SELRT <= 4 ? s.SELRT : 4); },
         [](S& s, V v) { s.SELRT = v.size() == 1 && v[0] >= '1' && v[0] <= '4' ? v[0] - '0' : 0; },
         ResetToNew<&S::SELRT>},
        // "Use A/B" off is written as RTAB=0, a line no reader takes: a complete
        // file gets it off from the reset.
        {"RTUSAB", [](const S& s) { return std::string(Flag(s.ABSW)); },
         [](S& s, V v) { s.ABSW = IsOn(v); }, ResetToNew<&S::ABSW>,
         [](const S& s) { return s.ABSW ? "RTUSAB" : "RTAB"; }},
        OnOff<&S::RTFF>("RTFF"),
        OnOff<&S::UPCH>("RTSC"),
        Element<&S::AF, 0>("AF1"),
        Element<&S::AF, 1>("AF2"),
        Element<&S::AF, 2>("AF3"),
        Element<&S::AF, 3>("AF4"),
        Element<&S::AF, 4>("AF5"),
        Element<&S::AF, 5>("AF6"),
        Element<&S::AF, 6>("AF7"),
        {"PS", [](const S& s) { return s.PS.str(); }, [](S& s, V v) { s.PS = v; },
         [](S& s) { s.PS = "        "; }},
        OnOff<&S::ENDPS>("DPSE"),
        OnOff<&S::PSFF>("DPSFF"),
        OnOff<&S::UPCHPS>("DPSSC"),
        Number<&S::DPSP, 7, 65, 13>("DPSP"),
        OnOff<&S::DPSA>("DPSSA"),
        OnOff<&S::DPSC>("DPSEF"),
        Element<&S::DPS, 0>("DPS1"),
        Element<&S::DPS, 1>("DPS2"),
        Element<&S::DPS, 2>("DPS3"),
        Element<&S::DPS, 3>("DPS4"),
        Element<&S::DPS, 4>("DPS5"),
        Element<&S::DPS, 5>("DPS6"),
        Element<&S::DPS, 6>("DPS7"),
        Element<&S::DPS, 7>("DPS8"),
        Text<&S::RTFILE>("RTSF"),
        Number<&S::RTSAT, 1, 30, 5>("RTSAT"),
        OnOff<&S::RTSA>("RTSA"),
        Text<&S::PSFILE>("DPSSF"),
        Text<&S::EFCHAR>("EFCHAR"),
        // Bank 1 is written as 1, bank 2 as 0.
        {"STB", [](const S& s) { return std::string(Flag(s.STB == 1)); },
         [](S& s, V v) { s.STB = IsOn(v) ? 1 : 2; }, ResetToNew<&S::STB>},
        {"MBS", [](const S& s) { return std::string(Flag(s.AUTBSW)); },
         [](S& s, V v) { s.AUTBSW = IsOn(v); }, [](S& s) { s.AUTBSW = s.BothBanksDefault; }},
        {"SEND", [](const S& s) { return std::string(Flag(s.SEND)); },
         [](S& s, V v) { s.SEND = s.SendPending = IsOn(v); }, ResetToNew<&S::SEND>},
        OnOff<&S::EXAL>("EXIT"),
    };
    return fields;
}

}  // namespace

const std::vector<StationField>& StationFields() {
    static const std::vector<StationField> fields = BuildFields();
    return fields;
}

const StationField* FindStationField(std::string_view key) {
    static const auto byKey = [] {
        std::unordered_map<std::string_view, const StationField*> map;
        for (const StationField& field : StationFields()) {
            map.emplace(field.key, &field);
        }
        return map;
    }();
    const auto found = byKey.find(key);
    return found == byKey.end() ? nullptr : found->second;
}

std::string StationFieldLine(const RdsParameterSet& set, const StationField& field) {
    return std::string(field.writtenKey ? field.writtenKey(set) : field.key) + "=" +
           field.value(set);
}

std::string StationFieldLine(const RdsParameterSet& set, std::string_view key) {
    const StationField* field = FindStationField(key);
    return field ? StationFieldLine(set, *field) : "";
}

}  // namespace vaxo
