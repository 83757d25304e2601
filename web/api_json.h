#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "record/field_schema.h"
#include "record/refusal.h"
#include "web/http_types.h"

namespace vaxo {

// The API's typed form of a field's value: texts and file names as UTF-8
// strings, numbers as integers, flags as booleans, PI as its four
// hexadecimal digits, the decoder identification as an object of four
// flags, a frequency in MHz (null for none), the bank as 1 or 2, the port
// as "LPT1" or "LPT2".
nlohmann::json FieldJson(const StationField& field, const FieldValue& value, char decimalSeparator);
// Every field of the set, by key.
nlohmann::json FieldsJson(const RdsParameterSet& set, char decimalSeparator);

// What the field's kind and range are, for the page's forms.
nlohmann::json SchemaJson();

// A typed value as the field takes it; the refusal when it is of another
// form (the field's own checks come after, at the program's door).
struct JsonValue {
    std::optional<FieldValue> value;
    Refusal refusal;
};
JsonValue FieldValueOf(const StationField& field, const nlohmann::json& value);

// "out_of_range", "not_allowed" ...
const char* RefusalName(RefusalCode code);
int HttpStatusOf(RefusalCode code);

// {"error": {"code": ..., "message": ...}} and what else it says.
WebResponse ErrorResponse(int status, const std::string& code, const std::string& message,
                          const nlohmann::json& more = nlohmann::json::object());
WebResponse RefusalResponse(const Refusal& refusal,
                            const nlohmann::json& more = nlohmann::json::object());
WebResponse JsonReply(int status, const nlohmann::json& body);

// The body of a call as a JSON object; none when it is no such thing.
std::optional<nlohmann::json> JsonBody(const WebRequest& request);

}  // namespace vaxo
