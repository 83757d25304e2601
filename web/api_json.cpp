#include "web/api_json.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/code_page.h"
#include "base/hex_digit.h"
#include "base/overloaded.h"
#include "record/frequencies.h"

namespace vaxo {
namespace {

using nlohmann::json;

constexpr const char* kDecoderIdFlags[] = {"stereo", "artificial_head", "compressed",
                                           "dynamic_pty"};  // DI flag 0 first

const char* KindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::Text:
            return "text";
        case FieldKind::FileName:
            return "file_name";
        case FieldKind::Number:
        case FieldKind::Count:
            return "number";
        case FieldKind::Flag:
            return "flag";
        case FieldKind::Pi:
            return "pi";
        case FieldKind::DecoderId:
            return "decoder_id";
        case FieldKind::Frequency:
            return "frequency";
        case FieldKind::Selection:
            return "selection";
        case FieldKind::Bank:
            return "bank";
        case FieldKind::Port:
            return "port";
    }
    return "text";
}

JsonValue Wrong(const StationField& field, const char* form) {
    return {std::nullopt,
            {RefusalCode::Malformed, std::string(field.key) + " takes " + form + " here"}};
}

JsonValue TextOf(const StationField& field, const json& value) {
    if (!value.is_string()) {
        return Wrong(field, "a string");
    }
    int missing = 0;
    const auto bytes = Utf8ToWindows1250(value.get<std::string>(), &missing);
    if (!bytes || missing > 0) {
        return {std::nullopt, {RefusalCode::Malformed, "a character Windows-1250 lacks"}};
    }
    return {*bytes, {}};
}

JsonValue PiOf(const StationField& field, const json& value) {
    const std::string text = value.is_string() ? value.get<std::string>() : "";
    if (text.size() != 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) >= 0; })) {
        return Wrong(field, "four hexadecimal digits");
    }
    return {static_cast<int>(std::stoul(text, nullptr, 16)), {}};
}

JsonValue DecoderIdOf(const StationField& field, const json& value) {
    if (!value.is_object()) {
        return Wrong(field, "an object of four flags");
    }
    DecoderId di{};
    for (std::size_t flag = 0; flag < di.size(); ++flag) {
        const auto found = value.find(kDecoderIdFlags[flag]);
        if (found == value.end() || !found->is_boolean()) {
            return Wrong(field, "stereo, artificial_head, compressed and dynamic_pty as flags");
        }
        di[flag] = found->get<bool>();
    }
    return {di, {}};
}

JsonValue FrequencyOf(const StationField& field, const json& value) {
    if (value.is_null()) {
        return {0, {}};
    }
    if (!value.is_number()) {
        return Wrong(field, "a frequency in MHz or null");
    }
    const double mhz = value.get<double>();
    if (!std::isfinite(mhz) || mhz < 0 || mhz > 1000) {
        return {
            std::nullopt,
            {RefusalCode::OutOfRange, std::string(field.key) + " takes a frequency from 87.6 to "
                                                               "107.9 MHz, or nothing"}};
    }
    return {static_cast<int>(std::lround(mhz * 10)), {}};
}

JsonValue IntegerOf(const StationField& field, const json& value) {
    if (!value.is_number_integer()) {
        return Wrong(field, "a whole number");
    }
    const auto number = value.get<long long>();
    if (number < -1'000'000'000LL || number > 1'000'000'000LL) {
        return {std::nullopt,
                {RefusalCode::OutOfRange, std::string(field.key) + " is out of range"}};
    }
    return {static_cast<int>(number), {}};
}

}  // namespace

json FieldJson(const StationField& field, const FieldValue& value, char decimalSeparator) {
    return std::visit(
        Overloaded{
            [](bool on) -> json { return on; },
            [&](int number) -> json {
                if (field.type.kind == FieldKind::Pi) {
                    return FormatFieldValue(field.type, value);
                }
                return number;
            },
            [&](const std::string& text) -> json {
                if (field.type.kind == FieldKind::Frequency) {
                    const int code = AfCode(text, decimalSeparator);
                    return code == 0 ? json(nullptr) : json((kFirstAfTenths - 1 + code) / 10.0);
                }
                return Windows1250ToUtf8(text);
            },
            [](const DecoderId& di) -> json {
                json flags = json::object();
                for (std::size_t flag = 0; flag < di.size(); ++flag) {
                    flags[kDecoderIdFlags[flag]] = di[flag];
                }
                return flags;
            },
            [](Bank bank) -> json { return static_cast<int>(bank); },
            [](PortChoice port) -> json { return port == PortChoice::Lpt2 ? "LPT2" : "LPT1"; },
        },
        value);
}

json FieldsJson(const RdsParameterSet& set, char decimalSeparator) {
    json fields = json::object();
    for (const StationField& field : AllFields()) {
        fields[field.key] = FieldJson(field, field.get(set), decimalSeparator);
    }
    return fields;
}

json SchemaJson() {
    json fields = json::object();
    for (const StationField& field : AllFields()) {
        json entry{{"kind", KindName(field.type.kind)}};
        if (field.type.limit > 0) {
            entry["limit"] = field.type.limit;
        }
        if (field.type.low != field.type.high) {
            entry["low"] = field.type.low;
            entry["high"] = field.type.high;
        }
        fields[field.key] = std::move(entry);
    }
    return {{"fields", fields}};
}

JsonValue FieldValueOf(const StationField& field, const json& value) {
    switch (field.type.kind) {
        case FieldKind::Text:
        case FieldKind::FileName:
            return TextOf(field, value);
        case FieldKind::Flag:
            return value.is_boolean() ? JsonValue{value.get<bool>(), {}}
                                      : Wrong(field, "true or false");
        case FieldKind::Pi:
            return PiOf(field, value);
        case FieldKind::DecoderId:
            return DecoderIdOf(field, value);
        case FieldKind::Frequency:
            return FrequencyOf(field, value);
        case FieldKind::Bank:
            if (const auto bank = value.is_number_integer() ? value.get<std::int64_t>() : 0;
                bank == 1 || bank == 2) {
                return {bank == 1 ? Bank::One : Bank::Two, {}};
            }
            return Wrong(field, "1 or 2");
        case FieldKind::Port:
            if (value == "LPT1" || value == "LPT2") {
                return {value == "LPT1" ? PortChoice::Lpt1 : PortChoice::Lpt2, {}};
            }
            return Wrong(field, "\"LPT1\" or \"LPT2\"");
        case FieldKind::Number:
        case FieldKind::Count:
        case FieldKind::Selection:
            return IntegerOf(field, value);
    }
    return Wrong(field, "another value");
}

const char* RefusalName(RefusalCode code) {
    switch (code) {
        case RefusalCode::OutOfRange:
            return "out_of_range";
        case RefusalCode::TooLong:
            return "too_long";
        case RefusalCode::Malformed:
            return "malformed";
        case RefusalCode::Unknown:
            return "unknown";
        case RefusalCode::NotCarried:
            return "not_carried";
        case RefusalCode::NotAllowed:
            return "not_allowed";
        case RefusalCode::Stale:
            return "stale";
        case RefusalCode::NotFound:
            return "not_found";
        case RefusalCode::Exists:
            return "exists";
        case RefusalCode::FileTrouble:
            return "file_trouble";
    }
    return "refused";
}

int HttpStatusOf(RefusalCode code) {
    switch (code) {
        case RefusalCode::Malformed:
            return 400;
        case RefusalCode::NotAllowed:
            return 403;
        case RefusalCode::NotFound:
            return 404;
        case RefusalCode::Stale:
        case RefusalCode::Exists:
            return 409;
        case RefusalCode::FileTrouble:
            return 500;
        default:
            return 422;
    }
}

WebResponse JsonReply(int status, const json& body) {
    return JsonResponse(status, body.dump(-1, ' ', false, json::error_handler_t::replace));
}

WebResponse ErrorResponse(int status, const std::string& code, const std::string& message,
                          const json& more) {
    json error{{"code", code}, {"message", message}};
    error.update(more);
    return JsonReply(status, {{"error", error}});
}

WebResponse RefusalResponse(const Refusal& refusal, const json& more) {
    return ErrorResponse(HttpStatusOf(refusal.code), RefusalName(refusal.code), refusal.why, more);
}

std::optional<json> JsonBody(const WebRequest& request) {
    if (!request.contentType.starts_with("application/json")) {
        return std::nullopt;
    }
    json body = json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        return std::nullopt;
    }
    return body;
}

}  // namespace vaxo
