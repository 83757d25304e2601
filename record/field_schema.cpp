#include "record/field_schema.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

#include "base/hex_digit.h"
#include "base/overloaded.h"
#include "record/frequencies.h"

namespace vaxo {
namespace {

using S = RdsParameterSet;
using V = std::string_view;

const S& NewSet() {
    static const S fresh;
    return fresh;
}

constexpr FieldType Text(std::size_t limit) {
    return {FieldKind::Text, limit};
}
constexpr FieldType Number(int low, int high, int fallback) {
    return {FieldKind::Number, 0, low, high, fallback};
}
constexpr FieldType Count(int low, int high, int fallback) {
    return {FieldKind::Count, 0, low, high, fallback};
}
constexpr FieldType Kind(FieldKind kind) {
    return {kind};
}
constexpr FieldType kFlag = Kind(FieldKind::Flag);

// How a member of the record is held as a field value.
template <typename Member>
FieldValue ValueOf(const Member& member) {
    if constexpr (std::is_same_v<Member, PiText>) {
        return PiNumber(member.str()).value_or(0xFFFF);  // what goes on air
    } else if constexpr (std::is_same_v<Member, bool> || std::is_same_v<Member, DecoderId> ||
                         std::is_same_v<Member, std::string>) {
        return member;
    } else {
        return std::string(member);  // a bounded text
    }
}

template <typename Member>
void Store(Member& member, const FieldValue& value) {
    if constexpr (std::is_same_v<Member, PiText>) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X",
                      static_cast<unsigned>(std::get<int>(value)) & 0xFFFFu);
        member = digits;
    } else if constexpr (std::is_same_v<Member, bool> || std::is_same_v<Member, DecoderId>) {
        member = std::get<Member>(value);
    } else {
        member = std::get<std::string>(value);
    }
}

template <auto Member>
StationField Held(FieldId id, const char* key, FieldType type,
                  FieldScope scope = FieldScope::Station) {
    return {id,
            key,
            type,
            scope,
            [](const S& s) { return ValueOf(s.*Member); },
            [](S& s, const FieldValue& v) { Store(s.*Member, v); },
            [](S& s) { s.*Member = NewSet().*Member; }};
}

template <auto Member, std::size_t Index>
StationField Element(FieldId id, const char* key, FieldType type) {
    return {id,
            key,
            type,
            FieldScope::Station,
            [](const S& s) { return ValueOf((s.*Member)[Index]); },
            [](S& s, const FieldValue& v) { Store((s.*Member)[Index], v); },
            [](S& s) { (s.*Member)[Index] = (NewSet().*Member)[Index]; }};
}

// Numbers kept as they are: PTY, DPSP, RTSAT, SELRT.
template <auto Member>
StationField Counted(FieldId id, const char* key, FieldType type) {
    return {id,
            key,
            type,
            FieldScope::Station,
            [](const S& s) { return FieldValue(s.*Member); },
            [](S& s, const FieldValue& v) { s.*Member = std::get<int>(v); },
            [](S& s) { s.*Member = NewSet().*Member; }};
}

// 0/1 choices kept as numbers: MS, TP, TA.
template <auto Member>
StationField ZeroOne(FieldId id, const char* key) {
    return {id,
            key,
            kFlag,
            FieldScope::Station,
            [](const S& s) { return FieldValue(s.*Member == 1); },
            [](S& s, const FieldValue& v) { s.*Member = std::get<bool>(v) ? 1 : 0; },
            [](S& s) { s.*Member = NewSet().*Member; }};
}

template <auto Member>
StationField Option(FieldId id, const char* key) {
    return Held<Member>(id, key, kFlag, FieldScope::ProgramOption);
}

// Settings kept as numbers.
template <auto Member>
StationField Setting(FieldId id, const char* key, FieldType type) {
    return {id,
            key,
            type,
            FieldScope::Setting,
            [](const S& s) { return FieldValue(s.*Member); },
            [](S& s, const FieldValue& v) { s.*Member = std::get<int>(v); },
            nullptr};
}

template <std::size_t... I>
std::vector<StationField> Afs(std::index_sequence<I...>) {
    static constexpr const char* kKeys[kAfCount] = {"AF1", "AF2", "AF3", "AF4",
                                                    "AF5", "AF6", "AF7"};
    return {Element<&S::AF, I>(AfField(I), kKeys[I], {FieldKind::Frequency, kAfTextLength})...};
}

template <std::size_t... I>
std::vector<StationField> Dps(std::index_sequence<I...>) {
    static constexpr const char* kKeys[kDpsCount] = {"DPS1", "DPS2", "DPS3", "DPS4",
                                                     "DPS5", "DPS6", "DPS7", "DPS8"};
    return {Element<&S::DPS, I>(DpsField(I), kKeys[I], Text(kPsLength))...};
}

StationField OffAir(StationField field) {
    field.offAir = true;
    return field;
}

StationField WhenSet(StationField field) {
    field.offAir = true;
    field.writtenWhenSet = true;
    return field;
}

std::vector<StationField> BuildFields() {
    using F = FieldId;
    std::vector<StationField> fields{
        Counted<&S::PTY>(F::PTY, "PTY", Number(0, 31, 0)),
        ZeroOne<&S::MS>(F::MS, "MS"),
        ZeroOne<&S::TP>(F::TP, "TP"),
        ZeroOne<&S::TA>(F::TA, "TA"),
        Held<&S::PI>(F::PI, "PI", {FieldKind::Pi, 4}),
        Held<&S::DI>(F::DI, "DI", Kind(FieldKind::DecoderId)),
        Held<&S::RT>(F::RT, "RT", Text(kRadiotextLength)),
        Held<&S::RT2>(F::RT2, "RT2", Text(kRadiotextLength)),
        Held<&S::RT3>(F::RT3, "RT3", Text(kRadiotextLength)),
        Held<&S::RT4>(F::RT4, "RT4", Text(kRadiotextLength)),
        Counted<&S::SELRT>(F::SELRT, "SELRT", {FieldKind::Selection, 0, 1, 4}),
        // "Use A/B" off is written as RTAB=0, a line no reader takes: a
        // complete file gets it off from the reset.
        [] {
            StationField field = Held<&S::ABSW>(F::RTUSAB, "RTUSAB", kFlag);
            field.writtenKey = [](const S& s) { return s.ABSW ? "RTUSAB" : "RTAB"; };
            return field;
        }(),
        OffAir(Held<&S::RTFF>(F::RTFF, "RTFF", kFlag)),
        OffAir(Held<&S::UPCH>(F::RTSC, "RTSC", kFlag)),
    };
    for (StationField& af : Afs(std::make_index_sequence<kAfCount>())) {
        fields.push_back(af);
    }
    fields.push_back([] {
        StationField ps = Held<&S::PS>(F::PS, "PS", Text(kPsLength));
        ps.reset = [](S& s) { s.PS = "        "; };
        return ps;
    }());
    for (StationField field : {
             Held<&S::ENDPS>(F::DPSE, "DPSE", kFlag),
             OffAir(Held<&S::PSFF>(F::DPSFF, "DPSFF", kFlag)),
             OffAir(Held<&S::UPCHPS>(F::DPSSC, "DPSSC", kFlag)),
             Counted<&S::DPSP>(F::DPSP, "DPSP", Number(7, 65, 13)),
             Held<&S::DPSA>(F::DPSSA, "DPSSA", kFlag),
             Held<&S::DPSC>(F::DPSEF, "DPSEF", kFlag),
         }) {
        fields.push_back(field);
    }
    for (StationField& dps : Dps(std::make_index_sequence<kDpsCount>())) {
        fields.push_back(dps);
    }
    StationField bank{
        F::STB,
        "STB",
        Kind(FieldKind::Bank),
        FieldScope::Station,
        [](const S& s) { return FieldValue(s.STB == 1 ? Bank::One : Bank::Two); },
        [](S& s, const FieldValue& v) { s.STB = static_cast<int>(std::get<Bank>(v)); },
        [](S& s) { s.STB = NewSet().STB; }};
    StationField bothBanks = Held<&S::AUTBSW>(F::MBS, "MBS", kFlag);
    bothBanks.reset = [](S& s) { s.AUTBSW = s.BothBanksDefault; };
    StationField port{
        F::PORT,
        "PORT",
        Kind(FieldKind::Port),
        FieldScope::ProgramOption,
        [](const S& s) { return FieldValue(static_cast<PortChoice>(s.PORT == 1)); },
        [](S& s, const FieldValue& v) { s.PORT = static_cast<int>(std::get<PortChoice>(v)); },
        nullptr};
    for (StationField field : {
             OffAir(Held<&S::RTFILE>(F::RTSF, "RTSF", Kind(FieldKind::FileName))),
             OffAir(Counted<&S::RTSAT>(F::RTSAT, "RTSAT", Number(1, 30, 5))),
             OffAir(Held<&S::RTSA>(F::RTSA, "RTSA", kFlag)),
             OffAir(Held<&S::PSFILE>(F::DPSSF, "DPSSF", Kind(FieldKind::FileName))),
             Held<&S::EFCHAR>(F::EFCHAR, "EFCHAR", Text(1)),
             WhenSet(Held<&S::RTFB>(F::RTFB, "RTFB", Text(kRadiotextLength))),
             WhenSet(Held<&S::DPSFB>(F::DPSFB, "DPSFB", Text(kDpsFallbackLength))),
             WhenSet(Counted<&S::RTSTALE>(F::RTSTALE, "RTSTALE", Count(0, 1440, 0))),
             WhenSet(Counted<&S::DPSSTALE>(F::DPSSTALE, "DPSSTALE", Count(0, 1440, 0))),
             OffAir(bank),
             bothBanks,
             OffAir(Held<&S::SEND>(F::SEND, "SEND", kFlag)),
             OffAir(Held<&S::EXAL>(F::EXIT, "EXIT", kFlag)),
             port,
             Option<&S::AUTOSAVE>(F::AUTOSAVE, "AUTOSAVE"),
             Option<&S::HIPRI>(F::HIPRI, "HIPRI"),
             Option<&S::ALONTOP>(F::ALONTOP, "ALONTOP"),
             Held<&S::WRITEALL>(F::WRITEALL, "WRITEALL", kFlag, FieldScope::Setting),
             Setting<&S::MINSEND>(F::MINSEND, "MINSEND", Count(1, 3600, 3)),
             Setting<&S::ENDURANCE>(F::ENDURANCE, "ENDURANCE", Count(1000, 100'000'000, 1'000'000)),
             Setting<&S::WEARYEARS>(F::WEARYEARS, "WEARYEARS", Count(0, 100, 5)),
             Setting<&S::TALIMIT>(F::TALIMIT, "TALIMIT", Count(0, 1440, 5)),
         }) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

FieldId RadiotextField(int number) {
    switch (number) {
        case 2:
            return FieldId::RT2;
        case 3:
            return FieldId::RT3;
        case 4:
            return FieldId::RT4;
        default:
            return FieldId::RT;
    }
}

const std::vector<StationField>& AllFields() {
    static const std::vector<StationField> fields = BuildFields();
    return fields;
}

const StationField& Field(FieldId id) {
    return AllFields()[static_cast<std::size_t>(id)];
}

const StationField* FindField(std::string_view key) {
    static const auto byKey = [] {
        std::unordered_map<std::string_view, const StationField*> map;
        for (const StationField& field : AllFields()) {
            map.emplace(field.key, &field);
        }
        return map;
    }();
    const auto found = byKey.find(key);
    return found == byKey.end() ? nullptr : found->second;
}

// Whichever alternative the value holds: a log may show a value no field took.
std::string FormatFieldValue(const FieldType& type, const FieldValue& value) {
    return std::visit(
        Overloaded{
            [](bool on) -> std::string { return on ? "1" : "0"; },
            [&](int number) -> std::string {
                switch (type.kind) {
                    case FieldKind::Pi: {
                        char digits[8];
                        std::snprintf(digits, sizeof digits, "%04X",
                                      static_cast<unsigned>(number) & 0xFFFFu);
                        return digits;
                    }
                    case FieldKind::Frequency:
                        return number == 0 ? "" : FrequencyText(number, '.');
                    case FieldKind::Selection:  // none is written as the last
                        return std::to_string(
                            number >= type.low && number <= type.high ? number : type.high);
                    default:
                        return std::to_string(number);
                }
            },
            [](const std::string& text) { return text; },
            [](const DecoderId& di) { return DecoderIdText(di); },
            // Bank 1 is written as 1, bank 2 as 0.
            [](Bank bank) -> std::string { return bank == Bank::One ? "1" : "0"; },
            [](PortChoice port) -> std::string { return port == PortChoice::Lpt2 ? "1" : "0"; },
        },
        value);
}

std::string FieldLine(const RdsParameterSet& set, const StationField& field) {
    return std::string(field.writtenKey ? field.writtenKey(set) : field.key) + "=" +
           FormatFieldValue(field.type, field.get(set));
}

bool WrittenInStationFile(const RdsParameterSet& set, const StationField& field) {
    return !field.writtenWhenSet || field.get(set) != field.get(NewSet());
}

std::string FieldLine(const RdsParameterSet& set, FieldId id) {
    return FieldLine(set, Field(id));
}

std::vector<FieldValue> FieldValues(const RdsParameterSet& set) {
    std::vector<FieldValue> values;
    values.reserve(kFieldCount);
    for (const StationField& field : AllFields()) {
        values.push_back(field.get(set));
    }
    return values;
}

FieldSet ChangedFields(const std::vector<FieldValue>& before, const RdsParameterSet& after) {
    FieldSet changed;
    const auto& fields = AllFields();
    for (std::size_t i = 0; i < fields.size() && i < before.size(); ++i) {
        if (fields[i].get(after) != before[i]) {
            changed.Add(fields[i].id);
        }
    }
    return changed;
}

const FieldSet& FieldsOf(FieldScope scope) {
    static const auto scopes = [] {
        std::array<FieldSet, 3> sets;
        for (const StationField& field : AllFields()) {
            sets[static_cast<std::size_t>(field.scope)].Add(field.id);
        }
        return sets;
    }();
    return scopes[static_cast<std::size_t>(scope)];
}

}  // namespace vaxo
