// Reading a field's value from text, leniently as a station file is read or
// strictly as a command is, and checking a typed value against its field.
#include <algorithm>
#include <optional>

#include "base/hex_digit.h"
#include "record/field_schema.h"
#include "record/frequencies.h"

namespace vaxo {
namespace {

using V = std::string_view;
bool IsHex(char c) {
    return HexDigitValue(c) >= 0;
}

// "One or two decimal digits", or nothing.
std::optional<int> SmallNumber(V text) {
    if (text.empty() || text.size() > 2 || !IsDecimalDigit(text[0]) ||
        (text.size() == 2 && !IsDecimalDigit(text[1]))) {
        return std::nullopt;
    }
    return text.size() == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
}

std::optional<DecoderId> DecoderIdOf(V text) {
    if (text.size() != 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '1'; })) {
        return std::nullopt;
    }
    DecoderId di{};
    for (std::size_t position = 0; position < 4; ++position) {
        di[3 - position] = text[position] == '1';
    }
    return di;
}

// Decimal digits only, at most nine of them.
std::optional<int> CountOf(V text) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), IsDecimalDigit)) {
        return std::nullopt;
    }
    return std::stoi(std::string(text));
}

// One digit within the range.
std::optional<int> SelectionOf(const FieldType& type, V text) {
    if (text.size() != 1 || !IsDecimalDigit(text[0]) || text[0] - '0' < type.low ||
        text[0] - '0' > type.high) {
        return std::nullopt;
    }
    return text[0] - '0';
}

bool HasControlCharacter(V text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string Range(int low, int high) {
    return std::to_string(low) + " to " + std::to_string(high);
}

// Why the field cannot hold the text as it stands.
std::string Problem(const StationField& field, char separator) {
    const std::string key = field.key;
    const FieldType& type = field.type;
    switch (type.kind) {
        case FieldKind::Text:
            return key + " holds at most " + std::to_string(type.limit) + " characters";
        case FieldKind::FileName:
            return key + " cannot hold control characters";
        case FieldKind::Number:
        case FieldKind::Count:
        case FieldKind::Selection:
            return key + " takes a number from " + Range(type.low, type.high);
        case FieldKind::Pi:
            return "PI takes four hexadecimal digits";
        case FieldKind::DecoderId:
            return "DI takes four digits 0 or 1 (dynamic PTY, compressed, artificial head, stereo)";
        case FieldKind::Frequency:
            return key + " takes a frequency from 87" + separator + "6 to 107" + separator +
                   "9 MHz, or nothing";
        case FieldKind::Bank:
            return key + " takes 1 (bank 1) or 2 (bank 2)";
        case FieldKind::Port:
            return key + " takes 0 (LPT1) or 1 (LPT2)";
        case FieldKind::Flag:
            break;
    }
    return key + " takes 0 or 1";
}

std::optional<FieldValue> StrictValue(const FieldType& type, V text, char separator) {
    switch (type.kind) {
        case FieldKind::Text:
            if (text.size() > type.limit || HasControlCharacter(text)) {
                return std::nullopt;
            }
            return std::string(text);
        case FieldKind::FileName:
            if (HasControlCharacter(text)) {
                return std::nullopt;
            }
            return std::string(text);
        case FieldKind::Number:
            if (const auto number = SmallNumber(text);
                number && *number >= type.low && *number <= type.high) {
                return *number;
            }
            return std::nullopt;
        case FieldKind::Count:
            if (const auto number = CountOf(text);
                number && *number >= type.low && *number <= type.high) {
                return *number;
            }
            return std::nullopt;
        case FieldKind::Selection:
            if (const auto number = SelectionOf(type, text)) {
                return *number;
            }
            return std::nullopt;
        case FieldKind::Flag:
            if (text == "0" || text == "1") {
                return text == "1";
            }
            return std::nullopt;
        case FieldKind::Pi:
            if (const auto pi = PiNumber(text)) {
                return *pi;
            }
            return std::nullopt;
        case FieldKind::DecoderId:
            if (const auto di = DecoderIdOf(text)) {
                return *di;
            }
            return std::nullopt;
        case FieldKind::Frequency:
            if (text.empty() || (text.size() <= type.limit && AfCode(text, separator) != 0)) {
                return std::string(text);
            }
            return std::nullopt;
        case FieldKind::Bank:
            if (text == "1" || text == "2" || text == "0") {
                return text == "1" ? Bank::One : Bank::Two;
            }
            return std::nullopt;
        case FieldKind::Port:
            if (text == "0" || text == "1") {
                return text == "1" ? PortChoice::Lpt2 : PortChoice::Lpt1;
            }
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> PiNumber(std::string_view text) {
    if (text.size() != 4 || !std::all_of(text.begin(), text.end(), IsHex)) {
        return std::nullopt;
    }
    return static_cast<int>(std::stoul(std::string(text), nullptr, 16));
}

FieldValue ReadLenient(const FieldType& type, std::string_view text) {
    switch (type.kind) {
        case FieldKind::Text:
            return std::string(text.substr(0, type.limit));
        case FieldKind::FileName:
            return std::string(text);
        case FieldKind::Number: {
            const auto number = SmallNumber(text);
            return number && *number >= type.low && *number <= type.high ? *number : type.fallback;
        }
        case FieldKind::Count: {
            const auto number = CountOf(text);
            return number && *number >= type.low && *number <= type.high ? *number : type.fallback;
        }
        case FieldKind::Flag:
            return text == "1";
        case FieldKind::Pi:
            // The first four characters; what is no PI goes on air as FFFF.
            return PiNumber(text.substr(0, type.limit)).value_or(0xFFFF);
        case FieldKind::DecoderId: {
            // Four characters, each "1" an on flag; any other length none.
            DecoderId di{};
            for (std::size_t position = 0; text.size() == 4 && position < 4; ++position) {
                di[3 - position] = text[position] == '1';
            }
            return di;
        }
        case FieldKind::Frequency:
            return std::string(text.substr(0, type.limit));
        case FieldKind::Selection:
            return SelectionOf(type, text).value_or(0);
        case FieldKind::Bank:
            return text == "1" ? Bank::One : Bank::Two;
        case FieldKind::Port:
            return text == "1" ? PortChoice::Lpt2 : PortChoice::Lpt1;
    }
    return std::string(text);
}

// What is wrong with a text the field does not take.
RefusalCode ProblemCode(const FieldType& type, std::string_view text) {
    switch (type.kind) {
        case FieldKind::Text:
            return text.size() > type.limit ? RefusalCode::TooLong : RefusalCode::Malformed;
        case FieldKind::Frequency:
            return text.size() > type.limit ? RefusalCode::TooLong : RefusalCode::OutOfRange;
        case FieldKind::Number:
        case FieldKind::Count:
        case FieldKind::Selection:
            return !text.empty() && std::all_of(text.begin(), text.end(), IsDecimalDigit)
                       ? RefusalCode::OutOfRange
                       : RefusalCode::Malformed;
        default:
            return RefusalCode::Malformed;
    }
}

StrictReading ReadStrict(const StationField& field, std::string_view text, char decimalSeparator) {
    if (auto value = StrictValue(field.type, text, decimalSeparator)) {
        return {std::move(value), ""};
    }
    return {std::nullopt, Problem(field, decimalSeparator), ProblemCode(field.type, text)};
}

StrictReading CheckFieldValue(const StationField& field, const FieldValue& value,
                              char decimalSeparator) {
    const FieldType& type = field.type;
    const auto refused = [&](RefusalCode code = RefusalCode::Malformed) {
        return StrictReading{std::nullopt, Problem(field, decimalSeparator), code};
    };
    switch (type.kind) {
        case FieldKind::Text:
        case FieldKind::FileName:
            if (const auto* text = std::get_if<std::string>(&value)) {
                return ReadStrict(field, *text, decimalSeparator);
            }
            return refused();
        case FieldKind::Frequency:
            if (const auto* text = std::get_if<std::string>(&value)) {
                return ReadStrict(field, *text, decimalSeparator);
            }
            if (const auto* tenths = std::get_if<int>(&value)) {
                if (*tenths == 0) {
                    return {std::string(), ""};
                }
                if (*tenths >= kFirstAfTenths && *tenths <= kLastAfTenths) {
                    return {FrequencyText(*tenths, decimalSeparator), ""};
                }
                return refused(RefusalCode::OutOfRange);
            }
            return refused();
        case FieldKind::Number:
        case FieldKind::Count:
        case FieldKind::Selection:
            if (const auto* number = std::get_if<int>(&value)) {
                return *number >= type.low && *number <= type.high
                           ? StrictReading{value, ""}
                           : refused(RefusalCode::OutOfRange);
            }
            return refused();
        case FieldKind::Pi:
            if (const auto* pi = std::get_if<int>(&value)) {
                return *pi >= 0 && *pi <= 0xFFFF ? StrictReading{value, ""}
                                                 : refused(RefusalCode::OutOfRange);
            }
            return refused();
        case FieldKind::Flag:
            return std::holds_alternative<bool>(value) ? StrictReading{value, ""} : refused();
        case FieldKind::DecoderId:
            return std::holds_alternative<DecoderId>(value) ? StrictReading{value, ""} : refused();
        case FieldKind::Bank:
            return std::holds_alternative<Bank>(value) ? StrictReading{value, ""} : refused();
        case FieldKind::Port:
            return std::holds_alternative<PortChoice>(value) ? StrictReading{value, ""} : refused();
    }
    return refused();
}

}  // namespace vaxo
