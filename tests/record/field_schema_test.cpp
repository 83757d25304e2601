// One table of fields: the lenient reading (station files) and the strict one
// (commands) agree with it, for every field, at the edges its type gives.
#include <gtest/gtest.h>

#include <set>

#include "record/field_schema.h"

namespace vaxo {
namespace {

struct Probe {
    std::string text;
    bool accepted;
};

// The texts at the edges of a field's type: its ends, one past them, empty,
// the wrong kind of text.
std::vector<Probe> ProbesFor(const FieldType& type) {
    const auto number = [](int value) { return std::to_string(value); };
    switch (type.kind) {
        case FieldKind::Text:
            return {{"", true},
                    {std::string(type.limit, 'x'), true},
                    {std::string(type.limit + 1, 'x'), false},
                    {"\t", false}};
        case FieldKind::FileName:
            return {{"", true}, {"news*.txt", true}, {"a\nb", false}};
        case FieldKind::Number:
            return {{number(type.low), true},
                    {number(type.high), true},
                    {number(type.high + 1), false},
                    {type.low > 0 ? number(type.low - 1) : "-1", false},
                    {"", false},
                    {"x", false},
                    {"00" + number(type.low), false}};
        case FieldKind::Count:
            return {{number(type.low), true},
                    {number(type.high), true},
                    {number(type.high + 1), false},
                    {type.low > 0 ? number(type.low - 1) : "-1", false},
                    {"", false},
                    {"1e3", false}};
        case FieldKind::Selection:
            return {{number(type.low), true},        {number(type.high), true},
                    {number(type.high + 1), false},  {number(type.low - 1), false},
                    {"0" + number(type.low), false}, {"", false}};
        case FieldKind::Flag:
            return {{"0", true}, {"1", true}, {"", false}, {"2", false}, {" 1", false}};
        case FieldKind::Pi:
            return {{"0000", true},   {"FFFF", true},  {"d3c2", true}, {"D3C", false},
                    {"D3C22", false}, {"GGGG", false}, {"", false}};
        case FieldKind::DecoderId:
            return {
                {"0000", true}, {"1001", true}, {"101", false}, {"00001", false}, {"2000", false}};
        case FieldKind::Frequency:
            return {{"", true},     {"87.6", true},   {"107.9", true}, {"87.5", false},
                    {"108", false}, {"87.60", false}, {"abc", false}};
        case FieldKind::Bank:
            return {{"1", true}, {"2", true}, {"0", true}, {"3", false}, {"", false}};
        case FieldKind::Port:
            return {{"0", true}, {"1", true}, {"2", false}, {"", false}};
    }
    return {};
}

// What a station file makes of a value the strict reading refuses.
FieldValue LenientFallback(const FieldType& type, const std::string& text) {
    switch (type.kind) {
        case FieldKind::Number:
        case FieldKind::Count:
            return type.fallback;
        case FieldKind::Selection:
            return 0;  // no radiotext selected
        case FieldKind::Flag:
            return false;
        case FieldKind::DecoderId:
            return DecoderId{};
        case FieldKind::Bank:
            return Bank::Two;  // only "1" means bank 1
        case FieldKind::Port:
            return PortChoice::Lpt1;
        case FieldKind::Pi:
            return text.starts_with("D3C2") ? 0xD3C2 : 0xFFFF;  // the first four characters
        case FieldKind::Text:
        case FieldKind::FileName:
        case FieldKind::Frequency:
            break;
    }
    return type.limit ? text.substr(0, type.limit) : text;
}

TEST(FieldSchema, LenientAndStrictReadingsAgreeWithTheTable) {
    for (const StationField& field : AllFields()) {
        for (const Probe& probe : ProbesFor(field.type)) {
            const std::string where = std::string(field.key) + "=" + probe.text;
            const StrictReading strict = ReadStrict(field, probe.text, '.');
            const FieldValue lenient = ReadLenient(field.type, probe.text);
            ASSERT_EQ(strict.value.has_value(), probe.accepted) << where;
            if (strict.value) {
                EXPECT_EQ(lenient, *strict.value) << where << ": both readings take it alike";
                const StrictReading typed = CheckFieldValue(field, *strict.value, '.');
                ASSERT_TRUE(typed.value) << where << ": its typed value is taken too";
                EXPECT_EQ(FormatFieldValue(field.type, *typed.value),
                          FormatFieldValue(field.type, *strict.value))
                    << where;
            } else {
                EXPECT_FALSE(strict.refusal.empty()) << where;
                EXPECT_EQ(lenient, LenientFallback(field.type, probe.text)) << where;
            }
        }
    }
}

TEST(FieldSchema, TypedNumbersAreHeldToTheSameRanges) {
    for (const StationField& field : AllFields()) {
        if (field.type.kind != FieldKind::Number && field.type.kind != FieldKind::Count &&
            field.type.kind != FieldKind::Selection) {
            continue;
        }
        EXPECT_TRUE(CheckFieldValue(field, field.type.low, '.').value) << field.key;
        EXPECT_TRUE(CheckFieldValue(field, field.type.high, '.').value) << field.key;
        EXPECT_FALSE(CheckFieldValue(field, field.type.low - 1, '.').value) << field.key;
        EXPECT_FALSE(CheckFieldValue(field, field.type.high + 1, '.').value) << field.key;
        EXPECT_FALSE(CheckFieldValue(field, std::string("1"), '.').value) << field.key;
    }
}

TEST(FieldSchema, OneEntryPerFieldInTheStationFilesOrder) {
    std::set<std::string> keys;
    std::size_t station = 0;
    for (std::size_t i = 0; i < AllFields().size(); ++i) {
        const StationField& field = AllFields()[i];
        EXPECT_EQ(static_cast<std::size_t>(field.id), i) << field.key;
        EXPECT_TRUE(keys.insert(field.key).second) << field.key << " twice";
        EXPECT_EQ(FindField(field.key), &field);
        station += field.scope == FieldScope::Station && !field.writtenWhenSet ? 1 : 0;
    }
    EXPECT_EQ(AllFields().size(), kFieldCount);
    EXPECT_EQ(station, 45u) << "the station file's lines between CLEAR and GEN";
}

TEST(FieldSchema, WrittenFormsAreTheStationFiles) {
    RdsParameterSet set;
    set.SELRT = 0;
    set.STB = 2;
    set.PI = "a1b2";
    set.DI = {true, false, false, true};
    EXPECT_EQ(FieldLine(set, FieldId::SELRT), "SELRT=4") << "none is written as the fourth";
    EXPECT_EQ(FieldLine(set, FieldId::STB), "STB=0") << "bank 2 is written as 0";
    EXPECT_EQ(FieldLine(set, FieldId::PI), "PI=A1B2");
    EXPECT_EQ(FieldLine(set, FieldId::DI), "DI=1001");
    EXPECT_EQ(FieldLine(set, FieldId::RTUSAB), "RTAB=0");
    set.ABSW = true;
    EXPECT_EQ(FieldLine(set, FieldId::RTUSAB), "RTUSAB=1");
}

}  // namespace
}  // namespace vaxo
